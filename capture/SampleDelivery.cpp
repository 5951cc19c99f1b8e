#include "capture/SampleDelivery.h"

#include <gst/video/video.h>

#include <climits>
#include <cstring>

TSampleDelivery::~TSampleDelivery()
{
    if (fCaps)
        gst_caps_unref(fCaps);
    if (fInfo)
        gst_video_info_free(fInfo);
}

void TSampleDelivery::SetCallBack(const TVideoSampleCallBack& callBack)
{
    std::lock_guard lock(fLock);
    fCallBack = callBack;
}

TVideoSampleCallBack TSampleDelivery::CallBack() const
{
    std::lock_guard lock(fLock);
    return fCallBack;
}

void TSampleDelivery::AdoptCaps(GstCaps* caps)
{
    if (fCaps)
        gst_caps_unref(fCaps);
    fCaps = caps ? gst_caps_ref(caps) : nullptr;
    fFlipRows = false;
    if (!fInfo)
        fInfo = gst_video_info_new();
    if (caps && gst_video_info_from_caps(fInfo, caps))
        fFlipRows = GST_VIDEO_INFO_FORMAT(fInfo) == GST_VIDEO_FORMAT_BGR;
}

void TSampleDelivery::Deliver(GstSample* sample)
{
    GstBuffer* buffer = sample ? gst_sample_get_buffer(sample) : nullptr;
    if (!buffer)
        return;
    GstCaps* caps = gst_sample_get_caps(sample);
    if (caps != fCaps)
        AdoptCaps(caps);

    std::lock_guard lock(fLock);
    if (!fCallBack.Assigned())
        return;

    if (fFlipRows) {
        GstVideoFrame frame;
        if (!gst_video_frame_map(&frame, fInfo, buffer, GST_MAP_READ))
            return;
        const auto stride = static_cast<std::size_t>(GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0));
        const auto rows = static_cast<std::size_t>(GST_VIDEO_FRAME_HEIGHT(&frame));
        const auto* top = static_cast<const std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
        const std::size_t total = stride * rows;
        if (total > 0 && total <= INT_MAX) {
            fFlipped.resize(total);
            for (std::size_t row = 0; row < rows; ++row)
                std::memcpy(fFlipped.data() + row * stride, top + (rows - 1 - row) * stride, stride);
            int size = static_cast<int>(total);
            fCallBack.Routine(fCallBack.Target, fFlipped.data(), size);
        }
        gst_video_frame_unmap(&frame);
        return;
    }

    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_READ))
        return;
    if (map.size > 0 && map.size <= INT_MAX) {
        int size = static_cast<int>(map.size);
        fCallBack.Routine(fCallBack.Target, map.data, size);
    }
    gst_buffer_unmap(buffer, &map);
}
