#include "app/PictureLoader.h"

#include <QFileInfo>
#include <QImageReader>

QImage LoadPicture(const QString& fileName)
{
    const QString extension = QFileInfo(fileName).suffix();
    if (!QImageReader::supportedImageFormats().contains(extension.toLower().toLatin1()))
        throw PictureError(QStringLiteral("Unknown picture file extension (.%1)").arg(extension).toStdString());

    QImageReader reader(fileName);
    // Qt refuses larger allocations itself; the size check below gives the clearer message.
    QImageReader::setAllocationLimit(static_cast<int>(kMaxPicturePixels * 4 / (1024 * 1024)));
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > kMaxPicturePixels)
        throw PictureError(QStringLiteral("The picture is too large to open (%1 x %2 pixels).")
                               .arg(size.width())
                               .arg(size.height())
                               .toStdString());

    QImage picture = reader.read();
    if (picture.isNull())
        throw PictureError(reader.errorString().toStdString());
    return picture;
}
