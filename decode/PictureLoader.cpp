#include "decode/PictureLoader.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>

#include <algorithm>
#include <atomic>
#include <climits>

namespace {

std::atomic<qint64> gMaxPicturePixels{kMaxPicturePixels};

// Qt refuses larger allocations itself; the size checks give the clearer message.
void SetAllocationLimit(qint64 bytes)
{
    QImageReader::setAllocationLimit(static_cast<int>(std::min<qint64>(bytes / (1024 * 1024), INT_MAX)));
}

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
    // Set once, unless SetMaxPicturePixels has: pictures may be read on several threads.
    static const bool limitSet = [] {
        SetAllocationLimit(MaxPicturePixels() * 4);
        return true;
    }();
    (void)limitSet;
    const QSize size = reader.size();
    if (size.isValid() && (qint64(size.width()) * size.height() > MaxPicturePixels() ||
                           DecodedBytes(size, reader.imageFormat()) > MaxPictureBytes()))
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

qint64 MaxPicturePixels()
{
    return gMaxPicturePixels.load(std::memory_order_relaxed);
}

qint64 MaxPictureBytes()
{
    return MaxPicturePixels() * 4;
}

void SetMaxPicturePixels(qint64 pixels)
{
    gMaxPicturePixels.store(pixels, std::memory_order_relaxed);
    SetAllocationLimit(pixels * 4);
}

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
