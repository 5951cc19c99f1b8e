#include "capture/JpegDecoder.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include <jpeglib.h>

namespace {

// libjpeg reports a fatal error by calling error_exit, which by default ends
// the process; ours jumps back to the decode call instead.
struct TErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo)
{
    auto* error = reinterpret_cast<TErrorManager*>(cinfo->err);
    error->pub.format_message(cinfo, error->message);
    std::longjmp(error->jump, 1);
}

// Warnings about corrupt data are not printed: the frame is shown as decoded.
void IgnoreMessage(j_common_ptr)
{
}

// Where and how decoded rows go.
struct TDestination {
    uint8_t* bits; // the target's first row; nullptr for an empty target
    qsizetype bytesPerLine;
    int width; // in pixels
    int height;
    bool grayTarget;   // 8-bit gray target
    bool grayDecode;   // decode luma only
    int64_t maxPixels; // 0: any size
};

} // namespace

struct TJpegDecoder::TState {
    jpeg_decompress_struct cinfo{};
    TErrorManager error{};
    bool created = false;
    std::vector<uint8_t> row; // a decoded row that does not go straight into the target
};

namespace {

void ExpandGray(const uint8_t* gray, uint8_t* bgr, int count)
{
    for (int x = 0; x < count; ++x, bgr += 3)
        bgr[0] = bgr[1] = bgr[2] = gray[x];
}

// The decode proper. Nothing in here owns resources that a jump out of
// libjpeg would leak: all state lives in the decoder, which outlives the call.
bool Decode(jpeg_decompress_struct& cinfo, TErrorManager& error, std::vector<uint8_t>& rowBuffer, const uint8_t* data,
            size_t size, const TDestination& to)
{
    if (setjmp(error.jump)) {
        jpeg_abort_decompress(&cinfo);
        return false;
    }
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    // The size the header declares decides before the library sets aside
    // anything for the picture.
    if (to.maxPixels > 0 && int64_t(cinfo.image_width) * cinfo.image_height > to.maxPixels) {
        std::snprintf(error.message, sizeof error.message, "The picture is too large (%u x %u pixels)",
                      unsigned(cinfo.image_width), unsigned(cinfo.image_height));
        jpeg_abort_decompress(&cinfo);
        return false;
    }
    cinfo.out_color_space = to.grayDecode ? JCS_GRAYSCALE : JCS_EXT_BGR;
    jpeg_start_decompress(&cinfo);

    const int pictureWidth = int(cinfo.output_width);
    const int rows = std::min(int(cinfo.output_height), to.bits ? to.height : 0);
    const int visibleWidth = std::min(pictureWidth, to.width);
    const int decodedPixelSize = to.grayDecode ? 1 : 3;
    // A decoded row goes straight into the target when it has the target's
    // pixel size and fits into the target's row.
    const bool direct = to.grayDecode == to.grayTarget && pictureWidth <= to.width;
    if (!direct)
        rowBuffer.resize(size_t(pictureWidth) * decodedPixelSize);

    while (int(cinfo.output_scanline) < rows) {
        uint8_t* targetRow = to.bits + qsizetype(cinfo.output_scanline) * to.bytesPerLine;
        JSAMPROW line = direct ? targetRow : rowBuffer.data();
        jpeg_read_scanlines(&cinfo, &line, 1);
        if (direct)
            continue;
        if (to.grayDecode == to.grayTarget)
            std::memcpy(targetRow, line, size_t(visibleWidth) * decodedPixelSize);
        else
            ExpandGray(line, targetRow, visibleWidth); // luma onto a colour target
    }
    // Rows below the target are not needed; abort instead of decoding them.
    jpeg_abort_decompress(&cinfo);
    return true;
}

} // namespace

TJpegDecoder::TJpegDecoder()
    : fState(std::make_unique<TState>())
{
    fState->cinfo.err = jpeg_std_error(&fState->error.pub);
    fState->error.pub.error_exit = ErrorExit;
    fState->error.pub.output_message = IgnoreMessage;
    if (setjmp(fState->error.jump))
        return; // could not even allocate the decoder: every DrawTo fails
    jpeg_create_decompress(&fState->cinfo);
    fState->created = true;
}

TJpegDecoder::~TJpegDecoder()
{
    if (fState->created)
        jpeg_destroy_decompress(&fState->cinfo);
}

bool TJpegDecoder::DrawTo(const uint8_t* data, size_t size, QImage& target)
{
    if (!fState->created) {
        std::strcpy(fState->error.message, "JPEG decoder not created");
        return false;
    }
    if (!target.isNull() && target.format() != QImage::Format_Indexed8 && target.format() != QImage::Format_BGR888)
        target = target.convertToFormat(QImage::Format_BGR888);
    const bool grayTarget = target.format() == QImage::Format_Indexed8;
    TDestination to{};
    to.bits = target.isNull() ? nullptr : target.bits();
    to.bytesPerLine = target.bytesPerLine();
    to.width = target.width();
    to.height = target.height();
    to.grayTarget = grayTarget;
    to.grayDecode = Grayscale || grayTarget;
    to.maxPixels = MaxPixels;
    try {
        if (Decode(fState->cinfo, fState->error, fState->row, data, size, to))
            return true;
    } catch (const std::bad_alloc&) {
        jpeg_abort_decompress(&fState->cinfo);
        std::strcpy(fState->error.message, "Out of memory");
    }
    return false;
}

QString TJpegDecoder::LastError() const
{
    return QString::fromLocal8Bit(fState->error.message);
}
