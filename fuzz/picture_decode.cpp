// The picture loader and the decode of what it loads, through the decoder
// process's own entry point (TDecoderService::Handle), as the "Image File"
// tab and lantrix-scan have a file of any content read there.
//
// Input: a byte choosing the file's extension, a byte choosing the code
// format, then the file's bytes.
//
// Properties: the reply is an error with a text, or the picture (not empty,
// not larger than the bound of picture files, in shared memory that maps
// back); decoding the same content again gives the same codes; a code found
// under a restricted format is found under Auto too.
#include "support/FuzzApplication.h"
#include "support/FuzzCheck.h"

#include "decode/BarcodeFormat.h"
#include "decode/PictureLoader.h"
#include "decoder/DecoderService.h"
#include "decoder/PictureDecoder.h"
#include "decoder/SharedPixels.h"

#include <iterator>

namespace {

const char* const kExtensions[] = {"png", "jpg", "gif", "bmp", "ico", "svg",  "tif",  "webp", "pbm",  "pgm",
                                   "ppm", "xbm", "xpm", "cur", "tga", "wbmp", "icns", "jpeg", "svgz", "txt"};

TDecoderReply Read(TDecoderService& service, const QByteArray& bytes, const QString& name, TBarcodeFormat format,
                   TFileDescriptor& picture)
{
    std::vector<TFileDescriptor> descriptors;
    descriptors.push_back(ShareBytes(bytes));
    const TReadRequest read{.options = {.format = format}, .wantPicture = true};
    return service.Handle(PictureRequest(read, name), descriptors, picture);
}

std::vector<QString> Texts(const TDecoderReply& reply)
{
    std::vector<QString> texts;
    for (const TDecodedCode& code : reply.codes)
        texts.push_back(code.text);
    return texts;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    StartFuzzApplication(argc, argv);
    // The bound as lantrix-scan --max-megapixels=1 sets it: a few bytes may
    // declare a picture of 64 megapixels, and reading and decoding three times
    // as many pixels tells no more than a megapixel does, at a hundredth of
    // the runs a second. The refusal above the bound is the same code.
    SetMaxPicturePixels(1 << 20);
    PrepareDecoder(TDecoderReaders::All);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 0x100000)
        return 0;
    TFuzzInput input(data, size);
    const char* extension = kExtensions[input.Byte() % std::size(kExtensions)];
    const TCodeFormatInfo& format = kCodeFormats[input.Byte() % kCodeFormats.size()];
    const QByteArray bytes = input.RestBytes();
    const QString name = QStringLiteral("picture.") + QLatin1String(extension);

    static TDecoderService service(TDecoderReaders::All);
    TFileDescriptor pictureMemory;
    const TDecoderReply reply = Read(service, bytes, name, format.value, pictureMemory);
    FUZZ_CHECK(reply.status == TDecoderReply::TStatus::Read || reply.status == TDecoderReply::TStatus::Error);
    if (reply.status == TDecoderReply::TStatus::Error) {
        FUZZ_CHECK(!reply.error.isEmpty());
        FUZZ_CHECK(!pictureMemory.Valid());
        return 0;
    }
    FUZZ_CHECK(reply.hasPicture && pictureMemory.Valid());
    const QImage picture = MapSharedPixels(pictureMemory.Get(), reply.picture, reply.colorTable);
    FUZZ_CHECK(!picture.isNull());
    FUZZ_CHECK(qint64(picture.width()) * picture.height() <= MaxPicturePixels());
    FUZZ_CHECK(reply.codes.size() <= 1);

    TFileDescriptor again;
    const TDecoderReply second = Read(service, bytes, name, format.value, again);
    FUZZ_CHECK(second.status == TDecoderReply::TStatus::Read && Texts(second) == Texts(reply));
    if (!reply.codes.empty() && format.value != TBarcodeFormat::Auto) {
        TFileDescriptor any;
        FUZZ_CHECK(!Read(service, bytes, name, TBarcodeFormat::Auto, any).codes.empty());
    }
    return 0;
}
