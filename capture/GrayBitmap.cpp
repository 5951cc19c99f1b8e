#include "capture/GrayBitmap.h"

namespace {

const QList<QRgb>& GrayColorTable()
{
    static const QList<QRgb> kTable = [] {
        QList<QRgb> colors(256);
        for (int i = 0; i < 256; ++i)
            colors[i] = qRgb(i, i, i);
        return colors;
    }();
    return kTable;
}

} // namespace

void MakeGrayBitmap(QImage& bitmap, int width, int height)
{
    if (width <= 0 || height <= 0) {
        bitmap = QImage();
        return;
    }
    if (bitmap.format() != QImage::Format_Indexed8 || bitmap.width() != width || bitmap.height() != height) {
        bitmap = QImage(width, height, QImage::Format_Indexed8);
        if (bitmap.isNull())
            return;
        bitmap.fill(0);
    }
    if (bitmap.colorTable() != GrayColorTable())
        bitmap.setColorTable(GrayColorTable());
}

bool HasGrayForm(const QImage& bitmap)
{
    return bitmap.format() == QImage::Format_Indexed8 && bitmap.colorTable() == GrayColorTable();
}
