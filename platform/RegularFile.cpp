#include "platform/RegularFile.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class TDescriptor {
public:
    explicit TDescriptor(int fd)
        : fFd(fd)
    {
    }
    ~TDescriptor()
    {
        if (fFd >= 0)
            ::close(fFd);
    }
    TDescriptor(const TDescriptor&) = delete;
    TDescriptor& operator=(const TDescriptor&) = delete;
    int Get() const { return fFd; }

private:
    int fFd;
};

bool IsMissingError(int error)
{
    return error == ENOENT || error == ENOTDIR || error == ENXIO || error == ELOOP;
}

} // namespace

TFileRead ReadRegularFile(const QString& path, qint64 limit)
{
    TFileRead result;
    if (path.isEmpty())
        return result;
    const QByteArray name = QFile::encodeName(path);
    // O_NONBLOCK: opening a FIFO must not wait for a writer. The descriptor's
    // type is checked before anything is read from it.
    const TDescriptor fd(::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.Get() < 0) {
        const int error = errno;
        if (!IsMissingError(error)) {
            result.status = TFileReadStatus::Failed;
            result.error = error;
        }
        return result;
    }
    struct stat status = {};
    if (::fstat(fd.Get(), &status) != 0) {
        result.status = TFileReadStatus::Failed;
        result.error = errno;
        return result;
    }
    if (!S_ISREG(status.st_mode))
        return result;

    // The size can change while the file is read: the limit holds for what is
    // read, not only for what fstat said.
    const qint64 wanted = limit < 0 ? 0 : limit;
    if (status.st_size > 0 && status.st_size <= wanted)
        result.bytes.reserve(qsizetype(status.st_size));
    char buffer[65536];
    for (;;) {
        const qint64 room = wanted + 1 - result.bytes.size(); // one byte more tells "too large"
        const ssize_t n = ::read(fd.Get(), buffer, size_t(std::min<qint64>(room, qint64(sizeof buffer))));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            result.status = TFileReadStatus::Failed;
            result.error = errno;
            result.bytes.clear();
            return result;
        }
        if (n == 0)
            break;
        result.bytes.append(buffer, n);
        if (result.bytes.size() > wanted) {
            result.bytes.truncate(qsizetype(wanted));
            result.status = TFileReadStatus::TooLarge;
            return result;
        }
    }
    result.status = TFileReadStatus::Read;
    return result;
}

bool IsRegularFile(const QString& path)
{
    if (path.isEmpty())
        return false;
    struct stat status = {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 && S_ISREG(status.st_mode);
}
