#include "decode/PictureLoader.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>

namespace {

// The bytes of the picture once read, rows padded to 32 bits as QImage keeps
// them; 32 bits a pixel when the reader does not tell its layout beforehand.
qint64 DecodedBytes(QSize size, QImage::Format format)
{
    const qint64 bitsPerPixel = format == QImage::Format_Invalid ? 32 : QImage::toPixelFormat(format).bitsPerPixel();
    return (size.width() * bitsPerPixel + 31) / 32 * 4 * size.height();
}

// Reads the picture, refusing one whose size the reader tells beforehand is
// beyond the limits.
QImage ReadPicture(QImageReader& reader)
{
    // Qt refuses larger allocations itself; the size checks below give the clearer message.
    QImageReader::setAllocationLimit(static_cast<int>(kMaxPictureBytes / (1024 * 1024)));
    const QSize size = reader.size();
    if (size.isValid() && (qint64(size.width()) * size.height() > kMaxPicturePixels ||
                           DecodedBytes(size, reader.imageFormat()) > kMaxPictureBytes))
        throw PictureError(QStringLiteral("The picture is too large to open (%1 x %2 pixels).")
                               .arg(size.width())
                               .arg(size.height())
                               .toStdString());

    QImage picture = reader.read();
    if (picture.isNull())
        throw PictureError(reader.errorString().toStdString());
    return picture;
}

} // namespace

QImage LoadPicture(const QString& fileName)
{
    const QFileInfo file(fileName);
    const QString extension = file.suffix();
    if (!QImageReader::supportedImageFormats().contains(extension.toLower().toLatin1()))
        throw PictureError(QStringLiteral("Unknown picture file extension (.%1)").arg(extension).toStdString());

    // A named pipe would be waited on for ever; a folder or a device holds no picture.
    if (file.exists() && !file.isFile())
        throw PictureError(
            QStringLiteral("Cannot open file \"%1\". It is not a regular file.").arg(fileName).toStdString());

    QImageReader reader(fileName);
    return ReadPicture(reader);
}

QImage LoadPictureData(const QByteArray& bytes, const QByteArray& format)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    return ReadPicture(reader);
}
