#include "support/Samples.h"

#include <QFile>
#include <QPainter>
#include <QRandomGenerator>
#include <QtEndian>

#include <zlib.h>

#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

QString SamplePath(const QString& name)
{
    return QStringLiteral(LANTRIX_SOURCE_DIR "/samples/") + name;
}

QImage LoadSample(const QString& name)
{
    QImage image(SamplePath(name));
    EXPECT_FALSE(image.isNull()) << "cannot load sample " << name.toStdString();
    return image;
}

QImage TransparentQrSample()
{
    const QImage code = LoadSample("qr_code.png").convertToFormat(QImage::Format_RGB32);
    QImage picture(code.size(), QImage::Format_ARGB32);
    for (int y = 0; y < code.height(); ++y)
        for (int x = 0; x < code.width(); ++x)
            picture.setPixel(x, y, qGray(code.pixel(x, y)) > 128 ? qRgba(0, 0, 0, 0) : qRgba(0, 0, 0, 255));
    return picture;
}

QImage StackPictures(std::initializer_list<QImage> pictures, int margin)
{
    int width = 0, height = margin;
    for (const QImage& p : pictures) {
        width = std::max(width, p.width());
        height += p.height() + margin;
    }
    QImage canvas(width + 2 * margin, height, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    int y = margin;
    for (const QImage& p : pictures) {
        painter.drawImage(margin, y, p);
        y += p.height() + margin;
    }
    return canvas;
}

QImage SceneWithCode(int width, int height, const QImage& code, int x, int y)
{
    QImage scene(width, height, QImage::Format_RGB32);
    QPainter painter(&scene);
    QLinearGradient gradient(0, 0, width, height);
    gradient.setColorAt(0, QColor(200, 190, 170));
    gradient.setColorAt(1, QColor(90, 110, 130));
    painter.fillRect(scene.rect(), gradient);
    // Soft blotches, like objects in a room; deterministic for repeatable figures.
    QRandomGenerator random(42);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 40; ++i) {
        painter.setBrush(QColor(random.bounded(60, 200), random.bounded(60, 200), random.bounded(60, 200)));
        const int w = random.bounded(20, std::max(21, width / 4));
        const int h = random.bounded(20, std::max(21, height / 4));
        painter.drawEllipse(random.bounded(width), random.bounded(height), w, h);
    }
    if (!code.isNull())
        painter.drawImage(x, y, code);
    return scene;
}

namespace {

void WriteChunk(QFile& file, const char* type, const QByteArray& data)
{
    char length[4];
    qToBigEndian(static_cast<quint32>(data.size()), length);
    file.write(length, 4);
    const QByteArray typed = QByteArray(type, 4) + data;
    file.write(typed);
    char crc[4];
    qToBigEndian(static_cast<quint32>(
                     crc32(0, reinterpret_cast<const Bytef*>(typed.constData()), static_cast<uInt>(typed.size()))),
                 crc);
    file.write(crc, 4);
}

} // namespace

bool WriteZeroPng(const QString& path, int width, int height, int bitDepth, int colourType)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write("\x89PNG\r\n\x1a\n", 8);
    QByteArray header(13, '\0');
    qToBigEndian(static_cast<quint32>(width), header.data());
    qToBigEndian(static_cast<quint32>(height), header.data() + 4);
    header[8] = static_cast<char>(bitDepth);
    header[9] = static_cast<char>(colourType);
    WriteChunk(file, "IHDR", header);

    // Each row: filter byte 0 and the pixels, all zero.
    const int channels = colourType == 6 ? 4 : colourType == 2 ? 3 : colourType == 4 ? 2 : 1;
    std::vector<Bytef> row(1 + (static_cast<std::size_t>(width) * channels * bitDepth + 7) / 8, 0);
    z_stream stream{};
    if (deflateInit(&stream, Z_BEST_COMPRESSION) != Z_OK)
        return false;
    std::vector<Bytef> out(1 << 16);
    for (int y = 0; y <= height; ++y) {
        const bool last = y == height;
        stream.next_in = row.data();
        stream.avail_in = last ? 0 : static_cast<uInt>(row.size());
        int status;
        do {
            stream.next_out = out.data();
            stream.avail_out = static_cast<uInt>(out.size());
            status = deflate(&stream, last ? Z_FINISH : Z_NO_FLUSH);
            if (status == Z_STREAM_ERROR) {
                deflateEnd(&stream);
                return false;
            }
            const auto produced = static_cast<qsizetype>(out.size() - stream.avail_out);
            if (produced > 0)
                WriteChunk(file, "IDAT", QByteArray(reinterpret_cast<const char*>(out.data()), produced));
        } while (stream.avail_out == 0 || (last && status != Z_STREAM_END));
    }
    deflateEnd(&stream);
    WriteChunk(file, "IEND", QByteArray());
    return file.error() == QFileDevice::NoError;
}
