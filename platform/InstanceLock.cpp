#include "platform/InstanceLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

bool HoldInstanceLock(const QString& name)
{
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::tempPath();
    const QByteArray path = QFile::encodeName(folder + QLatin1Char('/') + name);
    // The descriptor stays open for the life of the process; the lock goes with it.
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    return true;
}
