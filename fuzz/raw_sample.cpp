// lantrix-scan --raw: a camera sample in a file, read and converted as the
// webcam tab converts a frame.
//
// Input: width and height less one (16-bit little-endian each), a byte
// choosing the sample format, a flags byte (bit 0: write the converted
// picture to a bitmap file, when it has at most 65536 pixels), then the
// file's bytes.
//
// Properties: the sample as read is the file's bytes; the conversion either
// raises EPictureError with a message or gives a picture of the given size
// (a motion-JPEG frame: of the picture's own size, within the bound of
// frames); converting again gives the same picture, and when it writes the
// bitmap, the file reads back as a picture of that size;
// a file that is not there raises EPictureError.
#include "support/FuzzApplication.h"
#include "support/FuzzCheck.h"

#include "capture/FrameConversion.h"
#include "capture/PixbufLoader.h"
#include "capture/SampleFormats.h"
#include "cli/RawSample.h"
#include "decode/PictureLoader.h"

#include <QFile>

#include <iterator>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // As lantrix-scan converts samples: motion JPEG through the run-time
    // picture loader when it is there.
    StartFuzzApplication(argc, argv);
    PixbufStartup();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 0x100000)
        return 0;
    TFuzzInput input(data, size);
    TRawFormat format;
    format.width = 1 + int(input.Word16());
    format.height = 1 + int(input.Word16());
    format.fourCC = kSampleFormats[input.Byte() % std::size(kSampleFormats)].FourCC;
    // Any size fits a motion-JPEG sample, and the converter makes and fills
    // two pictures of the stream's size before it decodes: up to 64
    // megapixels, a second a run, for no code that 65536 pixels do not reach
    // (a megapixel still held the runs to 140 a second). Sizes past the
    // converter's bound (refused, never allocated) still come through.
    constexpr int64_t kLargestFuzzedStream = int64_t(1) << 16;
    const int64_t pixels = int64_t(format.width) * format.height;
    const bool save = input.Byte() & 1;
    // A frame that does not fit its stream gets a message painted on it. Qt
    // keeps a few kilobytes of font data from the first text painted on a
    // picture wider or taller than 32767 pixels where this harness's
    // application, torn down at exit, no longer reaches it, and
    // LeakSanitizer reports it (once, whatever the number of runs). The
    // suite paints on such a frame (test_frame_conversion) with its
    // application torn down before exit, and nothing leaks there.
    if (format.width > 32767 || format.height > 32767)
        return 0;
    if (format.fourCC == FourCC::MJPG && pixels > kLargestFuzzedStream && pixels <= TFrameConverter::kMaxFramePixels)
        return 0;
    const QByteArray bytes = input.RestBytes();
    const QString path = WriteFuzzFile(QStringLiteral("sample.raw"), bytes);
    const QByteArray file = QFile::encodeName(path);

    FUZZ_CHECK(ReadSample(file) == bytes);

    try {
        const QImage picture = ConvertRawSample(file, format, QString());
        FUZZ_CHECK(!picture.isNull());
        if (format.fourCC == FourCC::MJPG)
            FUZZ_CHECK(qint64(picture.width()) * picture.height() <= TFrameConverter::kMaxFramePixels);
        else
            FUZZ_CHECK(picture.width() == format.width && picture.height() == format.height);
        // Written again with the bitmap when that is small: a motion-JPEG
        // picture has a size of its own, and writing and reading back
        // hundreds of kilobytes a run held the runs to a hundred a second.
        if (save && qint64(picture.width()) * picture.height() <= kLargestFuzzedStream) {
            const QString bitmap = FuzzFolder() + QStringLiteral("/converted.bmp");
            QFile::remove(bitmap);
            FUZZ_CHECK(ConvertRawSample(file, format, bitmap) == picture);
            const QImage written(bitmap, "BMP");
            FUZZ_CHECK(written.size() == picture.size());
        }
    } catch (const EPictureError& error) {
        FUZZ_CHECK(std::strlen(error.what()) > 0);
    }

    bool raised = false;
    try {
        ReadSample(file + ".missing");
    } catch (const EPictureError& error) {
        raised = std::strlen(error.what()) > 0;
    }
    FUZZ_CHECK(raised);
    return 0;
}
