#include "cli/LivePart.h"

#include <QDir>
#include <QFileInfo>

#include <dlfcn.h>

QStringList LivePartCandidates(const QString& executableFolder, const QString& libraryFolder)
{
    const QString name = QLatin1String(kLivePartName);
    return {
        QDir(executableFolder).filePath(name),
        QDir(QDir(executableFolder).filePath(QStringLiteral(".."))).filePath(libraryFolder + QLatin1Char('/') + name)};
}

TLiveEntry LoadLivePart(const QStringList& candidates, QString& error)
{
    for (const QString& candidate : candidates) {
        if (!QFileInfo(candidate).isFile())
            continue;
        void* part = ::dlopen(QFile::encodeName(candidate).constData(), RTLD_NOW | RTLD_LOCAL);
        if (!part) {
            error = QStringLiteral("Live scanning is not available: ") + QString::fromLocal8Bit(::dlerror());
            return nullptr;
        }
        if (void* entry = ::dlsym(part, kLiveEntryName))
            return reinterpret_cast<TLiveEntry>(entry);
        error = QStringLiteral("Live scanning is not available: %1 has no entry %2")
                    .arg(candidate, QLatin1String(kLiveEntryName));
        ::dlclose(part);
        return nullptr;
    }
    error = QStringLiteral("Live scanning is not available: %1 is not installed").arg(QLatin1String(kLivePartName));
    return nullptr;
}
