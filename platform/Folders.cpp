#include "platform/Folders.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

QString WithTrailingSlash(const QString& folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

bool IsFolderWritable(const QString& folder)
{
    const QByteArray path = QFile::encodeName(WithTrailingSlash(folder) + QStringLiteral("chk.tmp"));
    const int fd = ::open(path.constData(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    ::unlink(path.constData());
    ::close(fd);
    return true;
}

QString UserConfigFolder()
{
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    // The XDG rules ignore a relative path.
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return QDir::cleanPath(xdg);
    return QDir::homePath() + QStringLiteral("/.config");
}

QString ChooseDataFolder(const QString& executableFolder, const QString& configFolder, const QString& company,
                         const QString& product)
{
    if (!IsInstalledLayout(executableFolder) && IsFolderWritable(executableFolder))
        return WithTrailingSlash(executableFolder);
    const QString companyFolder = WithTrailingSlash(configFolder) + company;
    const QString productFolder = companyFolder + QLatin1Char('/') + product;
    // A fresh account may not have the configuration folder itself yet.
    QDir().mkpath(companyFolder);
    QDir().mkpath(productFolder);
    return productFolder + QLatin1Char('/');
}

namespace {

// <prefix>/share/lantrix of an executable in <prefix>/bin, when that folder
// exists and the executable's own folder holds no shipped files; else empty.
QString InstalledSharedFolder(const QString& executableFolder)
{
    if (QFileInfo(WithTrailingSlash(executableFolder) + QStringLiteral("samples")).isDir())
        return QString();
    if (QDir(executableFolder).dirName() != QLatin1String("bin"))
        return QString();
    const QString shared = QDir::cleanPath(executableFolder + QStringLiteral("/../share/lantrix"));
    return QFileInfo(shared).isDir() ? shared + QLatin1Char('/') : QString();
}

} // namespace

QString ShippedFilesFolder(const QString& executableFolder)
{
    const QString shared = InstalledSharedFolder(executableFolder);
    return shared.isEmpty() ? WithTrailingSlash(executableFolder) : shared;
}

bool IsInstalledLayout(const QString& executableFolder)
{
    return !InstalledSharedFolder(executableFolder).isEmpty();
}
