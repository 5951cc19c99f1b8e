#include "CaptureTestSupport.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace {

int gArgc = 1;
char gProgramName[] = "lantrix-test";
char* gArgv[] = {gProgramName, nullptr};

} // namespace

void TGuiApplicationEnvironment::SetUp()
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!QCoreApplication::instance())
        fApplication = std::make_unique<QGuiApplication>(gArgc, gArgv);
}

void TGuiApplicationEnvironment::TearDown()
{
    fApplication.reset();
}

TGuardedBuffer::TGuardedBuffer(size_t size)
    : fSize(size)
{
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    const size_t dataPages = (size + page - 1) / page;
    fMappingSize = (dataPages + 1) * page;
    void* mapping = mmap(nullptr, fMappingSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED)
        throw std::runtime_error("mmap failed");
    fMapping = static_cast<uint8_t*>(mapping);
    mprotect(fMapping + dataPages * page, page, PROT_NONE);
    fData = fMapping + dataPages * page - size;
}

TGuardedBuffer::~TGuardedBuffer()
{
    munmap(fMapping, fMappingSize);
}

const QColor kQuadrantColours[4] = {QColor(220, 30, 30), QColor(30, 200, 40), QColor(40, 40, 210),
                                    QColor(240, 240, 240)};

QImage QuadrantPicture(int width, int height)
{
    QImage picture(width, height, QImage::Format_RGB32);
    QPainter painter(&picture);
    const int halfWidth = width / 2;
    const int halfHeight = height / 2;
    painter.fillRect(0, 0, halfWidth, halfHeight, kQuadrantColours[0]);
    painter.fillRect(halfWidth, 0, width - halfWidth, halfHeight, kQuadrantColours[1]);
    painter.fillRect(0, halfHeight, halfWidth, height - halfHeight, kQuadrantColours[2]);
    painter.fillRect(halfWidth, halfHeight, width - halfWidth, height - halfHeight, kQuadrantColours[3]);
    return picture;
}

QByteArray EncodePicture(const QImage& picture, const char* format, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!picture.save(&buffer, format, quality))
        ADD_FAILURE() << "cannot encode a picture as " << format;
    return bytes;
}

QByteArray EncodeProgressiveJpeg(const QImage& picture)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QImageWriter writer(&buffer, "JPG");
    writer.setProgressiveScanWrite(true);
    if (!writer.write(picture))
        ADD_FAILURE() << "cannot encode a progressive JPEG";
    return bytes;
}

QByteArray WithDeclaredSize(QByteArray jpeg, uint16_t width, uint16_t height)
{
    // Segments after the start marker: FF, the marker, a big-endian length
    // that counts itself. A frame header (SOF0 to SOF15 but DHT, JPG and DAC)
    // holds precision, height and width.
    qsizetype at = 2;
    while (at + 4 <= jpeg.size() && uint8_t(jpeg[at]) == 0xFF) {
        const uint8_t marker = uint8_t(jpeg[at + 1]);
        const int length = (uint8_t(jpeg[at + 2]) << 8) | uint8_t(jpeg[at + 3]);
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            jpeg[at + 5] = char(height >> 8);
            jpeg[at + 6] = char(height & 0xFF);
            jpeg[at + 7] = char(width >> 8);
            jpeg[at + 8] = char(width & 0xFF);
            return jpeg;
        }
        at += 2 + length;
    }
    ADD_FAILURE() << "no frame header in the JPEG picture";
    return jpeg;
}

QColor PixelColour(const QImage& bitmap, int x, int y)
{
    const uint8_t* row = bitmap.constScanLine(y);
    if (bitmap.format() == QImage::Format_Indexed8) {
        const QRgb entry = bitmap.color(row[x]);
        return QColor(qRed(entry), qGreen(entry), qBlue(entry));
    }
    const uint8_t* pixel = row + 3 * x;
    return QColor(pixel[2], pixel[1], pixel[0]);
}

::testing::AssertionResult ColourNear(const QColor& actual, const QColor& expected, int tolerance)
{
    if (std::abs(actual.red() - expected.red()) <= tolerance && std::abs(actual.green() - expected.green()) <= tolerance
        && std::abs(actual.blue() - expected.blue()) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "colour (" << actual.red() << ", " << actual.green() << ", "
                                         << actual.blue() << ") is not within " << tolerance << " of ("
                                         << expected.red() << ", " << expected.green() << ", " << expected.blue()
                                         << ")";
}
