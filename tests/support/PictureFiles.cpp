#include "support/PictureFiles.h"

#include "decode/ZXingCompat.h"

#include <QBuffer>
#include <QPainter>

#include <ZXing/BitMatrix.h>
#include <ZXing/MultiFormatWriter.h>

namespace {

// Where the pixel (x, y) of the picture as shown lies among the stored
// pixels (width x height of them), for each orientation as EXIF defines it.
QPoint StoredPoint(int orientation, int x, int y, int width, int height)
{
    switch (orientation) {
    case 2: return {width - 1 - x, y};              // mirrored left to right
    case 3: return {width - 1 - x, height - 1 - y}; // turned half round
    case 4: return {x, height - 1 - y};             // mirrored top to bottom
    case 5: return {y, x};                          // mirrored along the main diagonal
    case 6: return {y, height - 1 - x};             // to be turned a quarter clockwise
    case 7: return {width - 1 - y, height - 1 - x}; // mirrored along the other diagonal
    case 8: return {width - 1 - y, x};              // to be turned a quarter anticlockwise
    default: return {x, y};
    }
}

void Append16(QByteArray& bytes, quint16 value, bool bigEndian)
{
    if (bigEndian)
        bytes += char(value >> 8), bytes += char(value & 0xff);
    else
        bytes += char(value & 0xff), bytes += char(value >> 8);
}

void Append32(QByteArray& bytes, quint32 value, bool bigEndian)
{
    if (bigEndian) {
        Append16(bytes, quint16(value >> 16), true);
        Append16(bytes, quint16(value & 0xffff), true);
    } else {
        Append16(bytes, quint16(value & 0xffff), false);
        Append16(bytes, quint16(value >> 16), false);
    }
}

// An APP1 segment "Exif" with a TIFF header and one directory holding one
// entry: the orientation (tag 0x0112, type SHORT, one value).
QByteArray ExifSegment(int orientation, bool bigEndian)
{
    QByteArray tiff = bigEndian ? QByteArray("MM") : QByteArray("II");
    Append16(tiff, 42, bigEndian);
    Append32(tiff, 8, bigEndian); // the first directory, right after the header
    Append16(tiff, 1, bigEndian); // one entry
    Append16(tiff, 0x0112, bigEndian);
    Append16(tiff, 3, bigEndian);
    Append32(tiff, 1, bigEndian);
    Append16(tiff, quint16(orientation), bigEndian);
    Append16(tiff, 0, bigEndian); // the value's field is four bytes
    Append32(tiff, 0, bigEndian); // no further directory

    const QByteArray payload = QByteArray("Exif", 4) + QByteArray(2, '\0') + tiff;
    QByteArray segment("\xff\xe1", 2);
    Append16(segment, quint16(payload.size() + 2), true); // JPEG lengths are big-endian
    return segment + payload;
}

} // namespace

QImage StoredForOrientation(const QImage& upright, int orientation)
{
    const bool across = orientation >= 5;
    const int width = across ? upright.height() : upright.width();
    const int height = across ? upright.width() : upright.height();
    const QImage source = upright.convertToFormat(QImage::Format_RGB32);
    QImage stored(width, height, QImage::Format_RGB32);
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width(); ++x) {
            const QPoint at = StoredPoint(orientation, x, y, width, height);
            stored.setPixel(at, source.pixel(x, y));
        }
    return stored;
}

QByteArray SidewaysJpeg(const QImage& upright, int orientation, bool bigEndian)
{
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    if (!StoredForOrientation(upright, orientation).save(&buffer, "JPG", 95))
        return QByteArray();
    // The segment goes right after the start of image (FF D8).
    return jpeg.left(2) + ExifSegment(orientation, bigEndian) + jpeg.mid(2);
}

QImage FourColours(int width, int height)
{
    QImage picture(width, height, QImage::Format_RGB32);
    QPainter painter(&picture);
    const int w = width / 2, h = height / 2;
    painter.fillRect(0, 0, w, h, Qt::red);
    painter.fillRect(w, 0, width - w, h, Qt::green);
    painter.fillRect(0, h, w, height - h, Qt::blue);
    painter.fillRect(w, h, width - w, height - h, Qt::white);
    return picture;
}

QList<QRgb> QuarterColours(const QImage& picture)
{
    const int w = picture.width(), h = picture.height();
    return {picture.pixel(w / 4, h / 4), picture.pixel(3 * w / 4, h / 4), picture.pixel(w / 4, 3 * h / 4),
            picture.pixel(3 * w / 4, 3 * h / 4)};
}

QByteArray SvgDrawing(const QImage& picture, const QString& caption)
{
    const QImage grey = picture.convertToFormat(QImage::Format_Grayscale8);
    const int captionHeight = caption.isEmpty() ? 0 : 30;
    QByteArray svg = QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%2\">\n"
                                    "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n")
                         .arg(grey.width())
                         .arg(grey.height() + captionHeight)
                         .toUtf8();
    for (int y = 0; y < grey.height(); ++y) {
        const uchar* row = grey.constScanLine(y);
        for (int x = 0; x < grey.width();) {
            int end = x;
            while (end < grey.width() && row[end] < 128)
                ++end;
            if (end > x)
                svg += QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"1\"/>\n")
                           .arg(x)
                           .arg(y)
                           .arg(end - x)
                           .toUtf8();
            x = end + 1;
        }
    }
    if (!caption.isEmpty())
        svg += QStringLiteral("<text x=\"%1\" y=\"%2\" font-family=\"sans-serif\" font-size=\"16\" "
                              "text-anchor=\"middle\">%3</text>\n")
                   .arg(grey.width() / 2)
                   .arg(grey.height() + 20)
                   .arg(caption.toHtmlEscaped())
                   .toUtf8();
    return svg + "</svg>\n";
}

namespace {

quint32 Crc32(const QByteArray& bytes)
{
    quint32 crc = 0xffffffffu;
    for (const char c : bytes) {
        crc ^= static_cast<uchar>(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

} // namespace

QByteArray Gzip(const QByteArray& bytes)
{
    // qCompress gives a 4-byte length, then a zlib stream: a 2-byte header,
    // the deflate data and a 4-byte checksum. gzip wants the deflate data
    // between a header of its own and the CRC-32 and length of the bytes.
    const QByteArray zlib = qCompress(bytes, 9);
    const QByteArray deflate = zlib.mid(6, zlib.size() - 6 - 4);
    QByteArray gzip("\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03", 10);
    gzip += deflate;
    Append32(gzip, Crc32(bytes), false);
    Append32(gzip, quint32(bytes.size()), false);
    return gzip;
}

namespace {

// A QR code of `contents` as the writer takes them, 6 pixels a module.
QImage DrawQrCode(const std::wstring& contents, ZXing::CharacterSet encoding)
{
    const ZXing::BitMatrix bits = ZXing::MultiFormatWriter(ZXing::BarcodeFormat::QRCode)
                                      .setEncoding(encoding)
                                      .setMargin(4)
                                      .encode(contents, 0, 0);
    constexpr int kModule = 6;
    QImage picture(bits.width() * kModule, bits.height() * kModule, QImage::Format_Grayscale8);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.scanLine(y)[x] = bits.get(x / kModule, y / kModule) ? 0 : 255;
    return picture;
}

} // namespace

QImage QrCodePicture(const QString& text)
{
    return DrawQrCode(text.toStdWString(), ZXing::CharacterSet::UTF8);
}

QImage QrCodeOfBytes(const QByteArray& bytes)
{
    std::wstring contents;
    for (char byte : bytes)
        contents += static_cast<wchar_t>(static_cast<unsigned char>(byte));
    return DrawQrCode(contents, ZXingCompat::kWriterRawBytes);
}
