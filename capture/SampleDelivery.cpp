#include "capture/SampleDelivery.h"

#include "capture/SampleFormats.h"

#include <gst/video/video.h>

#include <climits>
#include <cstring>

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
        if (gst_structure_get_int(structure, "width", &width) && gst_structure_get_int(structure, "height", &height) && width > 0 && height > 0) {
            format.Width = width;
            format.Height = height;
            format.FourCC = FourCC::MJPG;
        }
    }
    return S_OK;
}

void TSampleDelivery::SetCallBack(const TVideoSampleCallBack& callBack)
{
    std::lock_guard lock(fLock);
    fCallBack = callBack;
    fFormatTold = false;
}

TVideoSampleCallBack TSampleDelivery::CallBack() const
{
    std::lock_guard lock(fLock);
    return fCallBack;
}

void TSampleDelivery::AdoptCaps(GstCaps* caps)
{
    fCaps.reset(caps ? gst_caps_ref(caps) : nullptr);
    fFlipRows = false;
    if (!fInfo)
        fInfo.reset(gst_video_info_new());
    if (caps && gst_video_info_from_caps(fInfo.get(), caps))
        fFlipRows = TSampleBytes::FlipsRows(*fInfo);
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

    std::lock_guard lock(fLock);
    if (!fCallBack.Assigned())
        return;
    if (fCallBack.FormatRoutine && (!fFormatTold || fToldFormat != fFormat)) {
        fCallBack.FormatRoutine(fCallBack.Target, fFormat);
        fToldFormat = fFormat;
        fFormatTold = true;
    }
    const TSampleBytes bytes(buffer, fFlipRows ? fInfo.get() : nullptr, fFlipped);
    if (bytes.Size() > 0 && bytes.Size() <= INT_MAX) {
        int size = static_cast<int>(bytes.Size());
        fCallBack.Routine(fCallBack.Target, bytes.Data(), size);
    }
}

bool TSampleBytes::FlipsRows(const GstVideoInfo& layout)
{
    return GST_VIDEO_INFO_FORMAT(&layout) == GST_VIDEO_FORMAT_BGR;
}

TSampleBytes::TSampleBytes(GstBuffer* buffer, const GstVideoInfo* flipLayout, std::vector<std::uint8_t>& scratch)
{
    if (!buffer)
        return;
    if (!flipLayout) {
        if (gst_buffer_map(buffer, &fMap, GST_MAP_READ)) {
            fMapped = buffer;
            fData = fMap.data;
            fSize = fMap.size;
        }
        return;
    }
    GstVideoFrame frame;
    if (!gst_video_frame_map(&frame, const_cast<GstVideoInfo*>(flipLayout), buffer, GST_MAP_READ))
        return;
    const auto stride = static_cast<std::size_t>(GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0));
    const auto rows = static_cast<std::size_t>(GST_VIDEO_FRAME_HEIGHT(&frame));
    const auto* top = static_cast<const std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
    const std::size_t total = stride * rows;
    if (total > 0 && total <= INT_MAX) {
        scratch.resize(total);
        for (std::size_t row = 0; row < rows; ++row)
            std::memcpy(scratch.data() + row * stride, top + (rows - 1 - row) * stride, stride);
        fData = scratch.data();
        fSize = total;
    }
    gst_video_frame_unmap(&frame);
}

TSampleBytes::~TSampleBytes()
{
    if (fMapped)
        gst_buffer_unmap(fMapped, &fMap);
}
