// What a drop or the clipboard offers the "Image File" tab: the MIME offer
// and the picture data in it.
//
// Input: entries of the offer, each a byte choosing its MIME type, a byte
// whose low bits put the path of an existing picture file in front of the
// data (as it is, as a file: URI, or not at all), two bytes of the data's
// length (little-endian) and the data; a type byte of 0xFF hands the data to
// Qt as a picture it holds, decoded already.
//
// Properties: what is offered, and only that, can be taken; a file taken is
// an absolute path, and one named by a text exists; picture data is taken as
// bytes, never read here (the decoder process reads it), and only where a
// reader's type was offered; a picture held by Qt is taken only without such
// data, and is not empty; nothing is raised; the same offer gives the same
// answer again.
#include "support/FuzzApplication.h"
#include "support/FuzzCheck.h"

#include "app/PictureInput.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>
#include <QMimeData>

#include <iterator>

namespace {

const char* const kTypes[] = {"text/uri-list",
                              "text/plain",
                              "text/plain;charset=utf-8",
                              "image/png",
                              "image/jpeg",
                              "image/bmp",
                              "image/gif",
                              "image/svg+xml",
                              "image/tiff",
                              "image/webp",
                              "image/x-portable-bitmap",
                              "text/html",
                              "application/x-qt-image",
                              "application/octet-stream",
                              "image/x-no-such-type"};

// A small picture file that texts and URIs of the offer can name.
const QString& ExistingPicture()
{
    static const QString kPath = [] {
        QImage picture(4, 4, QImage::Format_RGB32);
        picture.fill(Qt::white);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "PNG");
        return WriteFuzzFile(QStringLiteral("existing.png"), bytes);
    }();
    return kPath;
}

struct TOffer {
    bool pictureData = false; // data of a picture type that Qt reads
    bool heldPicture = false; // a picture handed to Qt
};

TOffer FillOffer(TFuzzInput& input, QMimeData& data)
{
    static const QList<QByteArray> kReadable = QImageReader::supportedMimeTypes();
    TOffer offer;
    for (int entry = 0; entry < 6 && input.RestSize() > 0; ++entry) {
        const uint8_t type = input.Byte();
        const uint8_t prefix = input.Byte();
        const size_t wanted = input.Word16();
        const size_t length = std::min(wanted, input.RestSize());
        QByteArray bytes(reinterpret_cast<const char*>(input.Rest()), qsizetype(length));
        for (size_t i = 0; i < length; ++i)
            input.Byte();
        switch (prefix % 4) {
        case 1: bytes.prepend(ExistingPicture().toUtf8()); break;
        case 2: bytes.prepend(QUrl::fromLocalFile(ExistingPicture()).toEncoded()); break;
        case 3: bytes.prepend("file:"); break;
        default: break;
        }
        if (type == 0xFF) {
            const QImage picture = QImage::fromData(bytes);
            data.setImageData(picture);
            offer.heldPicture = offer.heldPicture || !picture.isNull();
            continue;
        }
        const char* name = kTypes[type % std::size(kTypes)];
        data.setData(QString::fromLatin1(name), bytes);
    }
    for (const QString& format : data.formats())
        offer.pictureData = offer.pictureData || kReadable.contains(format.toLatin1());
    return offer;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    StartFuzzApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 0x40000)
        return 0;
    TFuzzInput input(data, size);
    QMimeData offer;
    const TOffer made = FillOffer(input, offer);

    const bool offered = OffersPictureInput(offer);
    const TPictureInput taken = PictureInputFromMime(offer);

    if (taken)
        FUZZ_CHECK(offered);
    switch (taken.kind) {
    case TPictureInput::TKind::None: FUZZ_CHECK(taken.file.isEmpty() && taken.picture.isNull()); break;
    case TPictureInput::TKind::File:
        FUZZ_CHECK(QFileInfo(taken.file).isAbsolute());
        if (!offer.hasUrls())
            FUZZ_CHECK(QFileInfo(taken.file).isFile());
        break;
    case TPictureInput::TKind::Data:
        FUZZ_CHECK(made.pictureData);
        FUZZ_CHECK(!taken.data.isEmpty() && taken.picture.isNull());
        break;
    case TPictureInput::TKind::Picture:
        FUZZ_CHECK(!taken.picture.isNull());
        FUZZ_CHECK(made.heldPicture && !made.pictureData);
        break;
    }

    // Asked again, the offer gives the same answer.
    FUZZ_CHECK(OffersPictureInput(offer) == offered);
    const TPictureInput again = PictureInputFromMime(offer);
    FUZZ_CHECK(again.kind == taken.kind && again.file == taken.file && again.data == taken.data);
    FUZZ_CHECK(again.picture.size() == taken.picture.size());
    return 0;
}
