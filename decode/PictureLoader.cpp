#include "decode/PictureLoader.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// A TGA file declares its size in a header of 18 bytes, which Qt's reader
// does not report beforehand; an invalid size for a shorter `header`.
QSize TgaDeclaredSize(const QByteArray& header)
{
    if (header.size() < 18)
        return {};
    const auto word = [&header](int at) {
        return static_cast<unsigned char>(header[at]) | static_cast<unsigned char>(header[at + 1]) << 8;
    };
    return {word(12), word(14)};
}

// Qt's TGA reader reads the pixels a byte at a time and goes on past the
// file's end, so a few bytes that declare a large picture would take minutes.
// True when the rest of `device` is too short for the pixels the header
// declares: a byte per channel each, or for a run-length coded file a packet
// (a count byte and a pixel) for every 128 pixels at least.
bool TgaTooShort(QIODevice& device, const QByteArray& header, QSize size)
{
    if (header.size() < 18)
        return true;
    const int imageType = static_cast<unsigned char>(header[2]);
    const qint64 bytesPerPixel = (static_cast<unsigned char>(header[16]) + 7) / 8;
    const qint64 pixels = qint64(size.width()) * size.height();
    const qint64 needed = imageType >= 9 ? (pixels + 127) / 128 * (1 + bytesPerPixel) : pixels * bytesPerPixel;
    // Qt reads only files that end in the footer of 26 bytes that version 2
    // of the format added; it holds no pixels.
    const qint64 start = device.pos();
    qint64 rest = device.size() - start - 18;
    if (rest >= 26 && device.seek(device.size() - 18)) {
        if (device.read(18) == QByteArray("TRUEVISION-XFILE.\0", 18))
            rest -= 26;
        device.seek(start);
    }
    return rest < needed;
}

// Qt's BMP reader leaves the pixels that a file does not give as they were:
// the rows past the end of a cut file, and those that a run-length coded file
// skips or never reaches. It reads into a picture handed to it when its size
// and layout are those of the file, so it gets one filled beforehand: white,
// or a palette file's first colour (the usual ground of run-length coded
// files). Other readers get a null picture and make their own.
QImage BlankFor(const QImageReader& reader, QSize size)
{
    if (reader.format() != "bmp" || !size.isValid() || reader.imageFormat() == QImage::Format_Invalid)
        return QImage();
    QImage blank(size, reader.imageFormat());
    if (blank.isNull())
        return blank;
    if (blank.depth() <= 8)
        blank.fill(0u);
    else
        blank.fill(Qt::white);
    return blank;
}

// Reads the picture after the size checks, turned as its orientation says.
// Raises EPictureError.
QImage ReadChecked(QImageReader& reader)
{
    // Set once, unless SetMaxPicturePixels has: pictures may be read on several threads.
    static const bool limitSet = [] {
        SetAllocationLimit(MaxPicturePixels() * 4);
        return true;
    }();
    (void)limitSet;
    const bool tga = reader.format() == "tga" && reader.device();
    const QByteArray tgaHeader = tga ? reader.device()->peek(18) : QByteArray();
    QSize size = tga ? TgaDeclaredSize(tgaHeader) : reader.size();
    // Qt's BMP reader reports a file stored from the top down with the
    // negative height it declares: without this, such a file would pass the
    // size check unchecked and be read into memory as the allocator left it.
    if (reader.format() == "bmp" && size.height() < 0 && size.height() > INT_MIN)
        size.setHeight(-size.height());
    if (size.isValid()
        && (qint64(size.width()) * size.height() > MaxPicturePixels()
            || DecodedBytes(size, reader.imageFormat()) > MaxPictureBytes()))
        throw EPictureError(QStringLiteral("The picture is too large to open (%1 x %2 pixels).")
                                .arg(size.width())
                                .arg(size.height())
                                .toStdString());
    if (tga && TgaTooShort(*reader.device(), tgaHeader, size))
        throw EPictureError(QStringLiteral("The picture file ends before its picture does (%1 x %2 pixels declared).")
                                .arg(size.width())
                                .arg(size.height())
                                .toStdString());

    // A phone stores a photo taken sideways as the sensor saw it, with an
    // orientation that says how to show it; the code in it reads only upright.
    reader.setAutoTransform(true);
    QImage picture = BlankFor(reader, size);
    if (!reader.read(&picture) || picture.isNull())
        throw EPictureError(reader.errorString().toStdString());
    return picture;
}

// Reads the picture in `device` from its current position, which must be
// seekable. The format whose name `fileName`'s extension is comes first when
// its reader takes the content; otherwise the content decides.
QImage ReadPicture(QIODevice& device, const QString& fileName)
{
    const QString extension = fileName.isEmpty() ? QString() : QFileInfo(fileName).suffix();
    const QByteArray hint = extension.toLower().toLatin1();
    const bool hintKnown = !hint.isEmpty() && QImageReader::supportedImageFormats().contains(hint);
    const qint64 start = device.pos();

    QByteArray format;
    if (hintKnown) {
        QImageReader probe(&device, hint);
        if (probe.canRead())
            format = hint;
        device.seek(start);
    }
    if (format.isEmpty()) {
        format = QImageReader::imageFormat(&device);
        device.seek(start);
    }
    if (format.isEmpty() && !extension.isEmpty() && !hintKnown)
        throw EPictureError(QStringLiteral("Unknown picture file extension (.%1)").arg(extension).toStdString());

    // No format: the reader says that none takes the content.
    QImageReader reader(&device, format);
    return ReadChecked(reader);
}

QString SystemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Closes a descriptor when it goes, unless released.
struct TDescriptorGuard {
    int fd;
    ~TDescriptorGuard()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

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

EPictureFileError::EPictureFileError(const char* what, const QString& name, const QString& reason)
    : EPictureError(QStringLiteral("Cannot %1 file \"%2\". %3").arg(QLatin1String(what), name, reason).toStdString())
    , fReason(reason)
{
}

EPictureFileError::EPictureFileError(const char* what, const QString& name, int error)
    : EPictureFileError(what, name, SystemText(error))
{
}

int OpenPictureFile(const QByteArray& path, const QString& name)
{
    // Looked at before it is opened: a named pipe would be waited on for
    // ever, and opening a device may already do something; a folder or a
    // device holds no picture.
    struct stat status = {};
    if (::stat(path.constData(), &status) != 0)
        throw EPictureFileError("open", name, errno);
    if (S_ISDIR(status.st_mode))
        throw EPictureFileError("open", name, EISDIR);
    if (!S_ISREG(status.st_mode))
        throw EPictureFileError("open", name, QStringLiteral("Not a regular file"));

    TDescriptorGuard fd{::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    if (fd.fd < 0)
        throw EPictureFileError("open", name, errno);
    // The name may have been given to another file in between.
    if (::fstat(fd.fd, &status) != 0)
        throw EPictureFileError("read", name, errno);
    if (!S_ISREG(status.st_mode))
        throw EPictureFileError("open", name,
                                S_ISDIR(status.st_mode) ? SystemText(EISDIR) : QStringLiteral("Not a regular file"));
    return std::exchange(fd.fd, -1);
}

QImage LoadPictureFile(const QByteArray& path, const QString& name)
{
    TDescriptorGuard fd{OpenPictureFile(path, name)};
    QFile device;
    if (!device.open(fd.fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        throw EPictureFileError("read", name, device.errorString());
    fd.fd = -1; // closed with the device
    return ReadPicture(device, name);
}

QImage LoadPicture(const QString& fileName)
{
    return LoadPictureFile(QFile::encodeName(fileName), fileName);
}

QImage LoadPicture(QIODevice& file, const QString& fileName)
{
    return ReadPicture(file, fileName);
}

QImage LoadPictureData(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        throw EPictureError("Cannot read the picture.");
    return ReadPicture(buffer, QString());
}
