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

// Reads the picture after the size checks. Raises PictureError.
QImage ReadChecked(QImageReader& reader)
{
    // Qt refuses larger allocations itself; the size checks below give the
    // clearer message. Set once: pictures may be read on several threads.
    static const bool limitSet = [] {
        QImageReader::setAllocationLimit(static_cast<int>(kMaxPictureBytes / (1024 * 1024)));
        return true;
    }();
    (void)limitSet;
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

// The format named by the file's extension; raises PictureError when no reader knows it.
QByteArray FormatOfExtension(const QString& fileName)
{
    const QString extension = QFileInfo(fileName).suffix();
    const QByteArray format = extension.toLower().toLatin1();
    if (!QImageReader::supportedImageFormats().contains(format))
        throw PictureError(QStringLiteral("Unknown picture file extension (.%1)").arg(extension).toStdString());
    return format;
}

} // namespace

QImage LoadPicture(const QString& fileName)
{
    FormatOfExtension(fileName);

    // A named pipe would be waited on for ever; a folder or a device holds no picture.
    const QFileInfo file(fileName);
    if (file.exists() && !file.isFile())
        throw PictureError(
            QStringLiteral("Cannot open file \"%1\". It is not a regular file.").arg(fileName).toStdString());

    QImageReader reader(fileName);
    return ReadChecked(reader);
}

QImage LoadPicture(QIODevice& file, const QString& fileName)
{
    // The extension must be a picture's, as for a file opened by name; the
    // type is taken from the content (a JPEG picture named .png is read).
    FormatOfExtension(fileName);
    QImageReader reader(&file);
    return ReadChecked(reader);
}

QImage LoadPictureData(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        throw PictureError("Cannot read the picture.");
    QImageReader reader(&buffer);
    return ReadChecked(reader);
}
