// The picture loader and the decode of what it loads, as the "Image File" tab
// and lantrix-scan run them on a file of any content.
//
// Input: a byte choosing the file's extension, a byte choosing the code
// format, then the file's bytes.
//
// Properties: the loader raises EPictureError or gives a picture that is not
// empty and not larger than the bound of picture files; the decode leaves the
// picture's size and gives it 24 bits a pixel; decoding the same picture
// again gives the same answer; a code found under a restricted format is
// found under Auto too.
#include "support/FuzzApplication.h"
#include "support/FuzzCheck.h"

#include "decode/BarcodeFormat.h"
#include "decode/DecodeBitmap.h"
#include "decode/PictureLoader.h"

#include <iterator>

namespace {

const char* const kExtensions[] = {"png", "jpg", "gif", "bmp", "ico", "svg",  "tif",  "webp", "pbm",  "pgm",
                                   "ppm", "xbm", "xpm", "cur", "tga", "wbmp", "icns", "jpeg", "svgz", "txt"};

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    StartFuzzApplication(argc, argv);
    // The bound as lantrix-scan --max-megapixels=1 sets it: a few bytes may
    // declare a picture of 64 megapixels, and reading and decoding three times
    // as many pixels tells no more than a megapixel does, at a hundredth of
    // the runs a second. The refusal above the bound is the same code.
    SetMaxPicturePixels(1 << 20);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 0x100000)
        return 0;
    TFuzzInput input(data, size);
    const char* extension = kExtensions[input.Byte() % std::size(kExtensions)];
    const TCodeFormatInfo& format = kCodeFormats[input.Byte() % kCodeFormats.size()];
    const QString path = WriteFuzzFile(QStringLiteral("picture.") + QLatin1String(extension), input.RestBytes());

    QImage picture;
    try {
        picture = LoadPicture(path);
    } catch (const EPictureError& error) {
        FUZZ_CHECK(std::strlen(error.what()) > 0);
        return 0;
    }
    FUZZ_CHECK(!picture.isNull());
    FUZZ_CHECK(qint64(picture.width()) * picture.height() <= MaxPicturePixels());

    QImage copy = picture;
    const std::optional<QString> text = DecodeBitmap(copy, format.value);
    FUZZ_CHECK(copy.size() == picture.size());
    FUZZ_CHECK(copy.format() == QImage::Format_BGR888);

    QImage again = picture;
    FUZZ_CHECK(DecodeBitmap(again, format.value) == text);
    if (text && format.value != TBarcodeFormat::Auto) {
        QImage any = picture;
        FUZZ_CHECK(DecodeBitmap(any, TBarcodeFormat::Auto).has_value());
    }
    return 0;
}
