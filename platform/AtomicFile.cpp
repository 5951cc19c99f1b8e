#include "platform/AtomicFile.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString ErrnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// write(2) until everything is written; false with errno set on failure.
bool WriteAll(int fd, const char* data, qsizetype size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (written == 0) {
            errno = ENOSPC;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

} // namespace

QString WriteFileAtomically(const QString& path, const QByteArray& bytes)
{
    // Going past the file-size limit must end in an error, not in SIGXFSZ.
    static const bool ignoringFileSizeSignal = std::signal(SIGXFSZ, SIG_IGN) != SIG_ERR;
    Q_UNUSED(ignoringFileSizeSignal);

    QByteArray temporary = QFile::encodeName(path) + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return ErrnoText(errno);
    ::fchmod(fd, 0644);

    bool ok = WriteAll(fd, bytes.constData(), bytes.size()) && ::fsync(fd) == 0;
    int error = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(temporary.constData(), QFile::encodeName(path).constData()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(temporary.constData());
        return ErrnoText(error);
    }
    return {};
}
