// The conversion of camera samples: any stream size, any format, any byte
// count, colour or gray, and for motion JPEG both decoders.
//
// Input: width and height (32-bit little-endian, signed), the FourCC
// (32-bit), a flags byte (bit 0 gray mode, bit 1 libjpeg-turbo instead of
// GdkPixbuf), then the sample.
//
// Properties: a sample whose count does not fit the format is answered with
// the message naming its count and format; one that fits is converted into a
// picture of the stream's size in the mode's form, unless the stream's size
// cannot have a picture; uncompressed RGB comes out as its rows turned
// top-down, packed 4:2:2 gray as its luma bytes, planar 4:2:0 gray as its luma
// plane; converting the same sample twice gives the same picture. A motion-JPEG
// frame never gives a picture larger than the bound, GdkPixbuf's answer is
// always "converted", and libjpeg-turbo draws into the stream-sized picture.
#include "support/FuzzCheck.h"

#include "capture/FrameConversion.h"
#include "capture/GrayBitmap.h"
#include "capture/PixbufLoader.h"
#include "capture/SampleFormats.h"

#include <memory>

namespace {

using TUnpackResult = TFrameConverter::TUnpackResult;

constexpr int64_t kLargestFuzzedFrame = int64_t(1) << 20;

bool FrameSizeUsable(int32_t width, int32_t height)
{
    return width > 0 && height > 0 && int64_t(width) * height <= TFrameConverter::kMaxFramePixels;
}

// Binds or releases GdkPixbuf only when the wanted decoder changes.
void UseDecoder(bool pixbuf)
{
    static bool bound = false;
    static bool first = true;
    if (first || bound != pixbuf) {
        if (pixbuf)
            PixbufStartup();
        else
            PixbufShutdown();
        bound = pixbuf;
        first = false;
    }
}

void CheckConverted(const TFrameConverter& converter, const uint8_t* sample)
{
    const int32_t width = converter.Width();
    const int32_t height = converter.Height();
    const QImage& picture = converter.CurrentBitmap();
    FUZZ_CHECK(picture.width() == width && picture.height() == height);
    if (converter.Gray8Bit())
        FUZZ_CHECK(HasGrayForm(picture));
    else
        FUZZ_CHECK(picture.format() == QImage::Format_BGR888);

    const TSampleFormatInfo* format = SampleFormatOf(converter.FourCC());
    FUZZ_CHECK(format);
    const qsizetype rowBytes = qsizetype(width) * 3;
    switch (format->family) {
    case TSampleFamily::RGB24:
        if (!converter.Gray8Bit())
            for (int32_t row = 0; row < height; ++row)
                FUZZ_CHECK(
                    std::memcmp(picture.constScanLine(row), sample + (height - 1 - row) * rowBytes, size_t(rowBytes))
                    == 0);
        break;
    case TSampleFamily::Packed422:
        // Read without gaps, W div 2 pairs (Y0 U Y1 V) a row.
        if (converter.Gray8Bit())
            for (int32_t row = 0; row < height; ++row)
                for (int32_t pair = 0; pair < width / 2; ++pair) {
                    const uint8_t* in = sample + (qsizetype(row) * (width / 2) + pair) * 4;
                    FUZZ_CHECK(picture.constScanLine(row)[2 * pair] == in[0]);
                    FUZZ_CHECK(picture.constScanLine(row)[2 * pair + 1] == in[2]);
                }
        break;
    case TSampleFamily::Planar420:
        if (converter.Gray8Bit())
            for (int32_t row = 0; row < height; ++row)
                FUZZ_CHECK(std::memcmp(picture.constScanLine(row), sample + qsizetype(row) * width, size_t(width))
                           == 0);
        break;
    default: break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TFuzzInput input(data, size);
    const auto width = int32_t(input.Word32());
    const auto height = int32_t(input.Word32());
    const uint32_t fourCC = input.Word32();
    const uint8_t flags = input.Byte();
    const bool gray = flags & 1;
    const bool pixbuf = !(flags & 2);
    // A stream the converter takes gets two pictures of its size, made and
    // filled before any sample is looked at: a stream of 64 megapixels costs
    // a second a run and reaches no code that one of a megapixel does not.
    // Sizes past the converter's bound (never allocated) still come through.
    if (FrameSizeUsable(width, height) && int64_t(width) * height > kLargestFuzzedFrame)
        return 0;
    // The sample alone in memory of exactly its size.
    const size_t n = input.RestSize();
    const std::unique_ptr<uint8_t[]> sample(new uint8_t[n + (n == 0)]);
    std::memcpy(sample.get(), input.Rest(), n);

    UseDecoder(pixbuf);
    TFrameConverter converter;
    converter.SetStreamFormat(width, height, fourCC);
    converter.SetGray8Bit(gray);
    const QImage colourBefore = converter.Bitmap();

    const TUnpackResult result = converter.UnpackFrame(qsizetype(n), sample.get());
    FUZZ_CHECK(result != TUnpackResult::NoSample);

    const bool fits = TFrameConverter::SampleSizeFits(fourCC, width, height, qsizetype(n));
    const TSampleFormatInfo* format = SampleFormatOf(fourCC);
    if (!fits) {
        FUZZ_CHECK(result == TUnpackResult::Message);
        FUZZ_CHECK(converter.LastMessage()
                   == QStringList({QStringLiteral("Unknown compression"),
                                   QStringLiteral("DataSize: %1  FourCC: %2").arg(n).arg(FourCC::ToString(fourCC))}));
        return 0;
    }
    FUZZ_CHECK(format);
    if (format->family == TSampleFamily::MotionJpeg) {
        const QImage& target = gray ? converter.BitmapGray() : converter.Bitmap();
        FUZZ_CHECK(int64_t(target.width()) * target.height() <= TFrameConverter::kMaxFramePixels);
        if (pixbuf && PixbufAvailable()) {
            FUZZ_CHECK(result == TUnpackResult::Converted);
        } else {
            FUZZ_CHECK(result == TUnpackResult::Converted || result == TUnpackResult::Message);
            if (FrameSizeUsable(width, height))
                FUZZ_CHECK(target.width() == width && target.height() == height);
            if (result == TUnpackResult::Message)
                FUZZ_CHECK(converter.LastMessage().size() == 2);
        }
        return 0;
    }

    if (!FrameSizeUsable(width, height)) {
        FUZZ_CHECK(result == TUnpackResult::Failed);
        return 0;
    }
    FUZZ_CHECK(result == TUnpackResult::Converted);
    CheckConverted(converter, sample.get());
    // The same sample again: the same picture.
    const QImage once = converter.CurrentBitmap().copy();
    FUZZ_CHECK(converter.UnpackFrame(qsizetype(n), sample.get()) == TUnpackResult::Converted);
    FUZZ_CHECK(converter.CurrentBitmap() == once);
    return 0;
}
