#include "capture/CameraSettings.h"

#include "capture/GstSupport.h"
#include "capture/VideoSample.h"

#include <gst/video/video.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

// ---------------------------------------------------------------------------
// Capability list

namespace {

std::array<char, 4> FourCCChars(std::uint32_t fourCC)
{
    return {static_cast<char>(fourCC & 0xFF), static_cast<char>(fourCC >> 8 & 0xFF), static_cast<char>(fourCC >> 16 & 0xFF),
            static_cast<char>(fourCC >> 24 & 0xFF)};
}

QByteArray CapsText(GstStructure* structure) // takes the structure
{
    GstCapsPtr caps(gst_caps_new_full(structure, nullptr));
    gchar* text = gst_caps_to_string(caps.get());
    QByteArray result(text);
    g_free(text);
    return result;
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
        if (format == GST_VIDEO_FORMAT_BGR) {
            entry.FourCC = {'R', 'G', 'B', ' '};
        } else if (const std::uint32_t fourCC = gst_video_format_to_fourcc(format)) {
            entry.FourCC = FourCCChars(fourCC);
        } else {
            entry.FourCC = {' ', ' ', ' ', ' '};
            for (int i = 0; i < 4 && name[i]; ++i)
                entry.FourCC[i] = name[i];
        }
        GstStructure* single = gst_structure_copy(structure);
        gst_structure_set(single, "format", G_TYPE_STRING, name, nullptr);
        entry.Caps = CapsText(single);
        list.push_back(std::move(entry));
    }
}

} // namespace

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
        if (!gst_structure_get_int(structure, "width", &width) || !gst_structure_get_int(structure, "height", &height) || width <= 0 ||
            height <= 0)
            continue;
        if (gst_structure_has_name(structure, "video/x-raw")) {
            AppendRawEntries(structure, static_cast<int>(i), width, height, list);
        } else if (gst_structure_has_name(structure, "image/jpeg")) {
            TFormatInfo entry;
            entry.Width = width;
            entry.Height = height;
            entry.OIndex = static_cast<int>(i);
            entry.FourCC = {'M', 'J', 'P', 'G'};
            entry.Caps = CapsText(gst_structure_copy(structure));
            list.push_back(std::move(entry));
        }
    }
    std::stable_sort(list.begin(), list.end(), [](const TFormatInfo& a, const TFormatInfo& b) {
        return a.Width != b.Width ? a.Width < b.Width : a.Height < b.Height;
    });
    return list;
}

// ---------------------------------------------------------------------------
// Image controls

namespace {

// The V4L2 control of each image control, and the control that switches its
// automatic mode (0: none).
struct TProcAmpControl {
    std::uint32_t Id;
    std::uint32_t AutoId;
};
constexpr TProcAmpControl kProcAmp[kVideoPropertyCount] = {
    {V4L2_CID_BRIGHTNESS, V4L2_CID_AUTOBRIGHTNESS},
    {V4L2_CID_CONTRAST, 0},
    {V4L2_CID_HUE, V4L2_CID_HUE_AUTO},
    {V4L2_CID_SATURATION, 0},
    {V4L2_CID_SHARPNESS, 0},
    {V4L2_CID_GAMMA, 0},
    {0, 0}, // colour enable: V4L2 has no such control
    {V4L2_CID_WHITE_BALANCE_TEMPERATURE, V4L2_CID_AUTO_WHITE_BALANCE},
    {V4L2_CID_BACKLIGHT_COMPENSATION, 0},
    {V4L2_CID_GAIN, V4L2_CID_AUTOGAIN},
};

class TV4L2Controls final : public TImageControls {
public:
    explicit TV4L2Controls(int fd) : fFd(fd) {}
    ~TV4L2Controls() override { ::close(fFd); }

    HRESULT Query(std::uint32_t id, TControlRange& range) override
    {
        v4l2_queryctrl query{};
        query.id = id;
        if (Ioctl(VIDIOC_QUERYCTRL, &query) < 0)
            return HResultFromErrno(errno);
        if (query.flags & V4L2_CTRL_FLAG_DISABLED)
            return E_PROP_ID_UNSUPPORTED;
        range = {query.minimum, query.maximum, query.step, query.default_value};
        return S_OK;
    }

    HRESULT Get(std::uint32_t id, std::int32_t& value) override
    {
        v4l2_control control{id, 0};
        if (Ioctl(VIDIOC_G_CTRL, &control) < 0)
            return HResultFromErrno(errno);
        value = control.value;
        return S_OK;
    }

    HRESULT Set(std::uint32_t id, std::int32_t value) override
    {
        v4l2_control control{id, value};
        return Ioctl(VIDIOC_S_CTRL, &control) < 0 ? HResultFromErrno(errno) : S_OK;
    }

private:
    int Ioctl(unsigned long request, void* argument)
    {
        int result;
        do
            result = ::ioctl(fFd, request, argument);
        while (result < 0 && errno == EINTR);
        return result;
    }

    int fFd;
};

bool ValidProperty(int prop)
{
    return prop >= 0 && prop < kVideoPropertyCount;
}

bool IsAuto(TImageControls& controls, std::uint32_t autoId)
{
    std::int32_t on = 0;
    return autoId && Succeeded(controls.Get(autoId, on)) && on != 0;
}

} // namespace

QString VideoPropertyName(int prop)
{
    static const char* const names[kVideoPropertyCount] = {"Brightness", "Contrast",    "Hue",           "Saturation",
                                                           "Sharpness",  "Gamma",       "Color Enable",  "White Balance",
                                                           "Backlight Compensation", "Gain"};
    return ValidProperty(prop) ? QString::fromLatin1(names[prop]) : QString();
}

std::unique_ptr<TImageControls> OpenV4L2Controls(const QString& nodePath)
{
    const int fd = ::open(nodePath.toLocal8Bit().constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    return std::make_unique<TV4L2Controls>(fd);
}

// The control behind an image property: S_OK, or 1 without controls, or the
// failure for a property that is out of range or that V4L2 lacks.
static HRESULT FindControl(TImageControls* controls, int prop, TProcAmpControl& control)
{
    if (!controls)
        return S_FALSE;
    if (!ValidProperty(prop))
        return E_INVALIDARG;
    control = kProcAmp[prop];
    return control.Id ? S_OK : E_PROP_ID_UNSUPPORTED;
}

HRESULT GetVideoPropAmpEx(TImageControls* controls, int prop, std::int32_t& min, std::int32_t& max, std::int32_t& step,
                          std::int32_t& defaultValue, std::int32_t& flags, std::int32_t& value)
{
    TProcAmpControl control;
    if (const HRESULT hr = FindControl(controls, prop, control); hr != S_OK)
        return hr;
    TControlRange range;
    const HRESULT hr = controls->Query(control.Id, range);
    min = range.Min;
    max = range.Max;
    step = range.Step;
    defaultValue = value = range.Default;
    flags = VideoProcAmp_Flags_Manual | (VideoPropertyHasAuto(controls, prop) ? VideoProcAmp_Flags_Auto : 0);
    if (hr != S_OK)
        return hr;
    const HRESULT read = controls->Get(control.Id, value);
    flags = IsAuto(*controls, control.AutoId) ? VideoProcAmp_Flags_Auto : VideoProcAmp_Flags_Manual;
    return read;
}

bool VideoPropertyHasAuto(TImageControls* controls, int prop)
{
    TControlRange range;
    return controls && ValidProperty(prop) && kProcAmp[prop].AutoId && Succeeded(controls->Query(kProcAmp[prop].AutoId, range));
}

HRESULT SetVideoPropAmpEx(TImageControls* controls, int prop, std::int32_t flags, std::int32_t value)
{
    TProcAmpControl control;
    if (const HRESULT hr = FindControl(controls, prop, control); hr != S_OK)
        return hr;
    if (flags & VideoProcAmp_Flags_Auto)
        return control.AutoId ? controls->Set(control.AutoId, 1) : E_INVALIDARG;
    // The manual value is read-only while the camera controls it itself.
    if (IsAuto(*controls, control.AutoId))
        if (const HRESULT hr = controls->Set(control.AutoId, 0); Failed(hr))
            return hr;
    return controls->Set(control.Id, value);
}

int PercentFromRaw(std::int32_t value, std::int32_t min, std::int32_t max)
{
    if (max <= min)
        return 0;
    const double quotient = static_cast<double>((std::int64_t{value} - min) * 100) / static_cast<double>(std::int64_t{max} - min);
    return static_cast<int>(std::clamp(std::nearbyint(quotient), double{INT_MIN}, double{INT_MAX}));
}

std::int32_t RawFromPercent(int acPerCent, const TControlRange& range)
{
    if (acPerCent < 0 || acPerCent > 100)
        return range.Default;
    if (range.Max <= range.Min)
        return range.Min;
    // span x percent / 100 is exact in a double, so ties round to even as meant.
    const std::int64_t span = std::int64_t{range.Max} - range.Min;
    auto v = static_cast<std::int64_t>(std::nearbyint(static_cast<double>(span * acPerCent) / 100.0));
    if (range.Step != 0)
        v = v / range.Step * range.Step;
    return static_cast<std::int32_t>(range.Min + v);
}

void GetVideoPropAmpPercent(TImageControls* controls, int prop, int& acPerCent)
{
    std::int32_t min = 0, max = 0, step = 0, defaultValue = 0, flags = 0, value = 0;
    if (GetVideoPropAmpEx(controls, prop, min, max, step, defaultValue, flags, value) != S_OK) {
        acPerCent = -1;
        return;
    }
    acPerCent = PercentFromRaw(value, min, max);
}

void SetVideoPropAmpPercent(TImageControls* controls, int prop, int acPerCent)
{
    TControlRange range;
    std::int32_t flags = 0, value = 0;
    if (GetVideoPropAmpEx(controls, prop, range.Min, range.Max, range.Step, range.Default, flags, value) != S_OK)
        return;
    SetVideoPropAmpEx(controls, prop, flags, RawFromPercent(acPerCent, range));
}

HRESULT GetVideoPropertySettings(TVideoSample* capture, int VP, int& MinVal, int& MaxVal, int& StepSize, int& Default, int& Actual,
                                 bool& AutoMode)
{
    MinVal = MaxVal = -1;
    StepSize = Default = Actual = 0;
    AutoMode = true;
    if (!capture || !ValidProperty(VP))
        return S_FALSE;
    std::int32_t min = 0, max = 0, step = 0, defaultValue = 0, flags = 0, value = 0;
    const HRESULT hr = capture->GetVideoPropAmpEx(VP, min, max, step, defaultValue, flags, value);
    if (hr != S_OK)
        return hr;
    MinVal = min;
    MaxVal = max;
    StepSize = step;
    Default = defaultValue;
    Actual = value;
    AutoMode = (flags & VideoProcAmp_Flags_Auto) != 0;
    return S_OK;
}

HRESULT SetVideoPropertySettings(TVideoSample* capture, int VP, int Actual, bool AutoMode)
{
    if (!ValidProperty(VP))
        return S_FALSE;
    if (!capture)
        return S_OK;
    return capture->SetVideoPropAmpEx(VP, AutoMode ? VideoProcAmp_Flags_Auto : VideoProcAmp_Flags_Manual, Actual);
}

// ---------------------------------------------------------------------------
// Dialogs

namespace {
TCameraDialogs* gDialogs = nullptr;
}

void SetCameraDialogs(TCameraDialogs* dialogs)
{
    gDialogs = dialogs;
}

TCameraDialogs* CameraDialogs()
{
    return gDialogs;
}
