#include "cli/RawSample.h"

#include "capture/FileDescriptor.h"
#include "capture/FrameConversion.h"
#include "capture/SampleFormats.h"
#include "cli/PictureArgument.h"
#include "decode/PictureLoader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QByteArray ReadSample(const QByteArray& file)
{
    const QString path = DisplayName(file);
    // Standard input is opened anew, so that its first read can be made not to wait.
    const QByteArray openPath = file == kStandardInputName ? QByteArray("/proc/self/fd/0") : file;
    // Opened without waiting: opening a named pipe otherwise waits for a writer.
    const TFileDescriptor input(::open(openPath.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!input.Valid())
        ThrowFileError("open", path, errno);
    const int fd = input.Get();
    struct stat status = {};
    if (::fstat(fd, &status) != 0)
        ThrowFileError("read", path, errno);
    if (S_ISREG(status.st_mode) && status.st_size > kMaxSampleBytes)
        throw EPictureError(QStringLiteral("The sample is too large (%1 bytes).").arg(status.st_size).toStdString());

    // Room for a regular file's bytes and the read that finds its end; a
    // megabyte to start with for what has no size (a pipe, a terminal).
    const qint64 firstRoom = S_ISREG(status.st_mode) ? status.st_size + 1 : qint64(1) << 20;
    // The first read does not wait: a pipe without a writer answers it with its
    // end at once, a pipe whose writer has not written yet with EAGAIN. The
    // reads after it wait for data.
    QByteArray sample;
    qint64 length = 0;
    for (bool first = true;; first = false) {
        if (length == sample.size())
            sample.resize(std::min(kMaxSampleBytes + 1, std::max<qint64>(2 * length, firstRoom)));
        ssize_t count;
        do
            count = ::read(fd, sample.data() + length, static_cast<std::size_t>(sample.size() - length));
        while (count < 0 && errno == EINTR);
        if (count < 0 && !(first && errno == EAGAIN))
            ThrowFileError("read", path, errno);
        if (first) {
            if (count == 0 && S_ISFIFO(status.st_mode))
                throw EPictureFileError("read", path, QStringLiteral("The pipe is empty and no program writes to it."));
            if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
                ThrowFileError("read", path, errno);
        }
        if (count == 0)
            break;
        length += std::max<ssize_t>(count, 0);
        if (length > kMaxSampleBytes)
            throw EPictureError(
                QStringLiteral("The sample is too large (more than %1 bytes).").arg(kMaxSampleBytes).toStdString());
    }
    sample.truncate(length);
    return sample;
}

namespace {

// The bytes of one frame of the format: what an uncompressed sample must hold.
qint64 FrameBytes(const TRawFormat& format, const TSampleFormatInfo& info)
{
    const qint64 pixels = qint64(format.width) * format.height;
    switch (info.family) {
    case TSampleFamily::RGB24: return pixels * 3;
    case TSampleFamily::Planar420: return pixels * 3 / 2;
    case TSampleFamily::Packed422: return pixels * 2;
    case TSampleFamily::MotionJpeg: break;
    }
    return 0;
}

} // namespace

void CheckSampleSize(const TRawFormat& format, qint64 bytes)
{
    // A motion-JPEG sample is a picture of its own length.
    const TSampleFormatInfo* info = SampleFormatOf(format.fourCC);
    if (!info || info->family == TSampleFamily::MotionJpeg)
        return;
    if (TFrameConverter::SampleSizeFits(format.fourCC, format.width, format.height, bytes))
        return;
    throw EPictureError(QStringLiteral("The sample is %1 bytes long, but a %2x%3 %4 frame takes %5 bytes.")
                            .arg(bytes)
                            .arg(format.width)
                            .arg(format.height)
                            .arg(QLatin1String(info->name))
                            .arg(FrameBytes(format, *info))
                            .toStdString());
}

QImage ConvertRawSample(const QByteArray& file, const TRawFormat& format, const QString& saveBitmap)
{
    const QByteArray sample = ReadSample(file);
    CheckSampleSize(format, sample.size());

    TFrameConverter converter;
    converter.SetStreamFormat(format.width, format.height, format.fourCC);
    converter.UnpackFrame(sample.size(), reinterpret_cast<const std::uint8_t*>(sample.constData()));
    if (converter.Bitmap().isNull())
        throw EPictureError(
            QStringLiteral("The frame size %1 x %2 is too large.").arg(format.width).arg(format.height).toStdString());
    if (!saveBitmap.isEmpty() && !converter.Bitmap().save(saveBitmap, "BMP"))
        throw EPictureError(QStringLiteral("Cannot write the bitmap \"%1\".").arg(saveBitmap).toStdString());
    return converter.Bitmap();
}
