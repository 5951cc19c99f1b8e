#include "capture/CaptureFormats.h"

#include "capture/GstSupport.h"
#include "capture/SampleFormats.h"

#include <gst/video/video.h>

#include <algorithm>
#include <optional>

namespace {

constexpr std::array<char, 4> kRgbChars{'R', 'G', 'B', ' '};

// The four characters a capability with this code is listed with.
std::array<char, 4> ListedChars(std::uint32_t fourCC)
{
    if (fourCC == FourCC::RGB)
        return kRgbChars;
    return {static_cast<char>(fourCC & 0xFF), static_cast<char>(fourCC >> 8 & 0xFF),
            static_cast<char>(fourCC >> 16 & 0xFF), static_cast<char>(fourCC >> 24 & 0xFF)};
}

QByteArray CapsText(TGstStructurePtr structure)
{
    const TGstCapsPtr caps(gst_caps_new_full(structure.release(), nullptr));
    const TGCharPtr text(gst_caps_to_string(caps.get()));
    return QByteArray(text.get());
}

void AppendRawEntries(const GstStructure* structure, int index, int width, int height, std::vector<TFormatInfo>& list)
{
    const GValue* formats = gst_structure_get_value(structure, "format");
    std::vector<const char*> names;
    if (formats && G_VALUE_HOLDS_STRING(formats))
        names.push_back(g_value_get_string(formats));
    else if (formats && GST_VALUE_HOLDS_LIST(formats))
        for (guint i = 0; i < gst_value_list_get_size(formats); ++i)
            if (const GValue* item = gst_value_list_get_value(formats, i); G_VALUE_HOLDS_STRING(item))
                names.push_back(g_value_get_string(item));

    for (const char* name : names) {
        const GstVideoFormat format = gst_video_format_from_string(name);
        if (format == GST_VIDEO_FORMAT_UNKNOWN)
            continue;
        GstVideoInfo info;
        if (!gst_video_info_set_format(&info, format, width, height))
            continue;
        TFormatInfo entry;
        entry.Width = width;
        entry.Height = height;
        entry.SSize = static_cast<std::uint32_t>(GST_VIDEO_INFO_SIZE(&info));
        entry.OIndex = index;
        if (const std::optional<std::uint32_t> fourCC = FourCCOfGstFormat(name)) {
            entry.FourCC = ListedChars(*fourCC);
        } else {
            entry.FourCC = {' ', ' ', ' ', ' '};
            for (int i = 0; i < 4 && name[i]; ++i)
                entry.FourCC[i] = name[i];
        }
        TGstStructurePtr single(gst_structure_copy(structure));
        gst_structure_set(single.get(), "format", G_TYPE_STRING, name, nullptr);
        entry.Caps = CapsText(std::move(single));
        list.push_back(std::move(entry));
    }
}

} // namespace

std::uint32_t TFormatInfo::StreamFourCC() const
{
    return FourCC == kRgbChars ? ::FourCC::RGB : ::FourCC::Make(FourCC[0], FourCC[1], FourCC[2], FourCC[3]);
}

QString TFormatInfo::Text() const
{
    return QStringLiteral("%1*%2  (%3)").arg(Width).arg(Height).arg(QString::fromLatin1(FourCC.data(), 4));
}

std::vector<TFormatInfo> FormatListFromCaps(const GstCaps* caps)
{
    std::vector<TFormatInfo> list;
    if (!caps || gst_caps_is_any(caps))
        return list;
    for (guint i = 0; i < gst_caps_get_size(caps); ++i) {
        const GstStructure* structure = gst_caps_get_structure(caps, i);
        GstCapsFeatures* features = gst_caps_get_features(caps, i);
        if (features && !gst_caps_features_is_equal(features, GST_CAPS_FEATURES_MEMORY_SYSTEM_MEMORY))
            continue;
        int width = 0, height = 0;
        if (!gst_structure_get_int(structure, "width", &width) || !gst_structure_get_int(structure, "height", &height)
            || width <= 0 || height <= 0)
            continue;
        if (gst_structure_has_name(structure, "video/x-raw")) {
            AppendRawEntries(structure, static_cast<int>(i), width, height, list);
        } else if (gst_structure_has_name(structure, "image/jpeg")) {
            TFormatInfo entry;
            entry.Width = width;
            entry.Height = height;
            entry.OIndex = static_cast<int>(i);
            entry.FourCC = ListedChars(FourCC::MJPG);
            entry.Caps = CapsText(TGstStructurePtr(gst_structure_copy(structure)));
            list.push_back(std::move(entry));
        }
    }
    std::stable_sort(list.begin(), list.end(), [](const TFormatInfo& a, const TFormatInfo& b) {
        return a.Width != b.Width ? a.Width < b.Width : a.Height < b.Height;
    });
    return list;
}
