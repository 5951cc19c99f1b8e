#include "platform/AtomicFile.h"

#include <QFile>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <optional>
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

// The file that writing to `path` reaches: symbolic links are followed, link by
// link, to the last name, which need not exist yet (a link into a dotfiles
// folder whose file was never written). Gives nothing on a loop of links.
std::optional<QByteArray> FinalTarget(QByteArray path)
{
    for (int hop = 0; hop < 40; ++hop) {
        struct stat status;
        if (::lstat(path.constData(), &status) != 0 || !S_ISLNK(status.st_mode))
            return path;
        QByteArray target(static_cast<qsizetype>(status.st_size > 0 ? status.st_size : PATH_MAX), Qt::Uninitialized);
        const ssize_t length = ::readlink(path.constData(), target.data(), static_cast<size_t>(target.size()));
        if (length < 0)
            return path;
        target.truncate(length);
        if (!target.startsWith('/')) {
            const qsizetype slash = path.lastIndexOf('/');
            target.prepend(slash < 0 ? QByteArray() : path.left(slash + 1));
        }
        path = target;
    }
    errno = ELOOP;
    return std::nullopt;
}

// The permission bits a file that does not exist yet gets, as any program's
// new file would: read and write for everyone, less the user's umask.
mode_t NewFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

QString WriteFileAtomically(const QString& path, const QByteArray& bytes)
{
    // Going past the file-size limit must end in an error, not in SIGXFSZ.
    static const bool kIgnoringFileSizeSignal = std::signal(SIGXFSZ, SIG_IGN) != SIG_ERR;
    Q_UNUSED(kIgnoringFileSizeSignal);

    // A link (settings.ini kept in a dotfiles folder) stays a link: the new
    // file goes beside the link's target and replaces the target, which keeps
    // its permission bits.
    const std::optional<QByteArray> target = FinalTarget(QFile::encodeName(path));
    if (!target)
        return ErrnoText(errno);
    struct stat existing;
    const mode_t mode = ::stat(target->constData(), &existing) == 0 ? (existing.st_mode & 07777) : NewFileMode();

    QByteArray temporary = *target + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return ErrnoText(errno);
    ::fchmod(fd, mode);

    bool ok = WriteAll(fd, bytes.constData(), bytes.size()) && ::fsync(fd) == 0;
    int error = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(temporary.constData(), target->constData()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(temporary.constData());
        return ErrnoText(error);
    }
    return {};
}
