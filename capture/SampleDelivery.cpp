#include "capture/SampleDelivery.h"

#include "capture/SampleFormats.h"

#include <gst/video/video.h>

#include <climits>
#include <cstring>
#include <optional>

HRESULT SampleFormatFromCaps(const GstCaps* caps, TSampleFormat& format)
{
    format = {};
    if (!caps || gst_caps_is_empty(caps))
        return E_FAIL;
    const GstStructure* structure = gst_caps_get_structure(caps, 0);
    if (gst_structure_has_name(structure, "video/x-raw")) {
        GstVideoInfo info;
        if (!gst_video_info_from_caps(&info, caps))
            return S_OK;
        format.Width = GST_VIDEO_INFO_WIDTH(&info);
        format.Height = GST_VIDEO_INFO_HEIGHT(&info);
        format.FourCC = FourCCOfGstFormat(gst_video_format_to_string(GST_VIDEO_INFO_FORMAT(&info))).value_or(0);
    } else if (gst_structure_has_name(structure, "image/jpeg")) {
        int width = 0, height = 0;
        if (gst_structure_get_int(structure, "width", &width) && gst_structure_get_int(structure, "height", &height)
            && width > 0 && height > 0) {
            format.Width = width;
            format.Height = height;
            format.FourCC = FourCC::MJPG;
        }
    }
    return S_OK;
}

TEventConnection TSampleDelivery::SetCallBack(const TVideoSampleCallBack& callBack)
{
    return fCallBack.Connect(callBack);
}

void TSampleDelivery::ClearCallBack()
{
    fCallBack.Clear();
}

void TSampleDelivery::AdoptCaps(GstCaps* caps)
{
    fCaps.reset(caps ? gst_caps_ref(caps) : nullptr);
    if (!fInfo)
        fInfo.reset(gst_video_info_new());
    fRawVideo = caps && gst_video_info_from_caps(fInfo.get(), caps);
    SampleFormatFromCaps(caps, fFormat);
}

void TSampleDelivery::Deliver(GstSample* sample)
{
    GstBuffer* buffer = sample ? gst_sample_get_buffer(sample) : nullptr;
    if (!buffer)
        return;
    GstCaps* caps = gst_sample_get_caps(sample);
    if (caps != fCaps.get())
        AdoptCaps(caps);

    fCallBack.With([&](const TVideoSampleCallBack& callBack, std::uint64_t generation) {
        if (callBack.FormatRoutine && (fToldCallBack != generation || fToldFormat != fFormat)) {
            callBack.FormatRoutine(callBack.Target, fFormat);
            fToldFormat = fFormat;
            fToldCallBack = generation;
        }
        const TSampleBytes bytes(buffer, fRawVideo ? fInfo.get() : nullptr, fScratch);
        if (bytes.Size() > 0 && bytes.Size() <= INT_MAX) {
            int size = static_cast<int>(bytes.Size());
            callBack.Routine(callBack.Target, bytes.Data(), size);
        }
    });
}

bool TSampleBytes::FlipsRows(const GstVideoInfo& layout)
{
    return GST_VIDEO_INFO_FORMAT(&layout) == GST_VIDEO_FORMAT_BGR;
}

namespace {

// Where the frame conversion reads a plane of a sample: its offset from the
// sample's start, the bytes of each of its rows (no padding after them) and
// its number of rows.
struct TPackedPlane {
    std::size_t offset = 0;
    std::size_t rowBytes = 0;
    std::size_t rows = 0;
};

struct TPackedLayout {
    int planes = 0;
    TPackedPlane plane[3];
    std::size_t size = 0;  // of the whole sample
    bool bottomUp = false; // rows in reverse order (raw BGR)
};

// The layout in which the conversion reads samples of these caps, for the
// formats it reads; nothing for any other.
std::optional<TPackedLayout> PackedLayoutOf(const GstVideoInfo& info)
{
    const std::optional<std::uint32_t> fourCC =
        FourCCOfGstFormat(gst_video_format_to_string(GST_VIDEO_INFO_FORMAT(&info)));
    const TSampleFormatInfo* format = fourCC ? SampleFormatOf(*fourCC) : nullptr;
    const int width = GST_VIDEO_INFO_WIDTH(&info), height = GST_VIDEO_INFO_HEIGHT(&info);
    if (!format || width <= 0 || height <= 0)
        return std::nullopt;
    const auto w = static_cast<std::size_t>(width), h = static_cast<std::size_t>(height);
    TPackedLayout layout;
    switch (format->family) {
    case TSampleFamily::RGB24:
        layout.planes = 1;
        layout.plane[0] = {0, w * 3, h};
        layout.size = w * h * 3;
        layout.bottomUp = true;
        return layout;
    case TSampleFamily::Packed422:
        // Pixel pairs: an odd last column has none of its own here.
        layout.planes = 1;
        layout.plane[0] = {0, w / 2 * 4, h};
        layout.size = w * h * 2;
        return layout;
    case TSampleFamily::Planar420: {
        // The chroma planes in the order of the format (V first for YV12),
        // as GStreamer numbers its planes.
        const std::size_t luma = w * h;
        layout.planes = 3;
        layout.plane[0] = {0, w, h};
        layout.plane[1] = {luma, w / 2, h / 2};
        layout.plane[2] = {luma + luma / 4, w / 2, h / 2};
        layout.size = luma * 3 / 2;
        return layout;
    }
    case TSampleFamily::MotionJpeg: break;
    }
    return std::nullopt;
}

// True when the buffer's planes already lie where the layout has them: the
// offsets and strides of its video meta (what the buffer says of itself) or,
// without one, of the caps' video info.
bool InPackedLayout(const GstVideoInfo& info, GstBuffer* buffer, const TPackedLayout& packed)
{
    if (packed.bottomUp)
        return false;
    const GstVideoMeta* meta = gst_buffer_get_video_meta(buffer);
    if (meta && static_cast<int>(meta->n_planes) < packed.planes)
        return false;
    for (int p = 0; p < packed.planes; ++p) {
        const std::size_t offset = meta ? meta->offset[p] : GST_VIDEO_INFO_PLANE_OFFSET(&info, p);
        const gint stride = meta ? meta->stride[p] : GST_VIDEO_INFO_PLANE_STRIDE(&info, p);
        if (offset != packed.plane[p].offset || stride < 0
            || static_cast<std::size_t>(stride) != packed.plane[p].rowBytes)
            return false;
    }
    return gst_buffer_get_size(buffer) >= packed.size;
}

// Copies the planes of the mapped frame, row by row at its strides, into
// target in the packed layout. False when a plane's rows are shorter than the
// layout's (the frame then is not what its caps say).
bool CopyPacked(const GstVideoFrame& frame, const TPackedLayout& packed, std::uint8_t* target)
{
    if (static_cast<int>(GST_VIDEO_FRAME_N_PLANES(&frame)) < packed.planes)
        return false;
    for (int p = 0; p < packed.planes; ++p) {
        const TPackedPlane& plane = packed.plane[p];
        const gint stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, p);
        if (stride < 0 || static_cast<std::size_t>(stride) < plane.rowBytes)
            return false;
        const auto* source = static_cast<const std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, p));
        std::uint8_t* out = target + plane.offset;
        for (std::size_t row = 0; row < plane.rows; ++row, out += plane.rowBytes) {
            const std::size_t from = packed.bottomUp ? plane.rows - 1 - row : row;
            std::memcpy(out, source + from * static_cast<std::size_t>(stride), plane.rowBytes);
        }
    }
    return true;
}

} // namespace

TSampleBytes::TSampleBytes(GstBuffer* buffer, const GstVideoInfo* layout, std::vector<std::uint8_t>& scratch)
{
    if (!buffer)
        return;
    const std::optional<TPackedLayout> packed = layout ? PackedLayoutOf(*layout) : std::nullopt;
    if (packed && !InPackedLayout(*layout, buffer, *packed) && packed->size <= INT_MAX) {
        GstVideoFrame frame;
        if (gst_video_frame_map(&frame, const_cast<GstVideoInfo*>(layout), buffer, GST_MAP_READ)) {
            scratch.resize(packed->size);
            const bool copied = CopyPacked(frame, *packed, scratch.data());
            gst_video_frame_unmap(&frame);
            if (copied) {
                fData = scratch.data();
                fSize = packed->size;
                return;
            }
        }
        // A buffer that does not hold the frame its caps describe is handed
        // on as it came, and its size tells the conversion so.
    }
    if (gst_buffer_map(buffer, &fMap, GST_MAP_READ)) {
        fMapped = buffer;
        fData = fMap.data;
        fSize = fMap.size;
        // Bytes after the frame are not part of it.
        if (packed && InPackedLayout(*layout, buffer, *packed))
            fSize = packed->size;
    }
}

TSampleBytes::~TSampleBytes()
{
    if (fMapped)
        gst_buffer_unmap(fMapped, &fMap);
}
