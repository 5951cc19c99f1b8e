// The sample formats as GStreamer names them. Apart from the table, so that
// a program that converts samples without capturing them (lantrix-scan --raw)
// does not need GStreamer's libraries.
#include "capture/SampleFormats.h"

#include <gst/video/video.h>

#include <cstring>

std::optional<uint32_t> FourCCOfGstFormat(const char* gstFormat)
{
    if (!gstFormat)
        return std::nullopt;
    for (const TSampleFormatInfo& format : kSampleFormats)
        if (format.gstFormat && std::strcmp(format.gstFormat, gstFormat) == 0)
            return format.FourCC;
    if (const uint32_t code = gst_video_format_to_fourcc(gst_video_format_from_string(gstFormat)))
        return code;
    return std::nullopt;
}
