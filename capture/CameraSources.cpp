#include "capture/CameraSources.h"

#include "platform/RegularFile.h"

#include <mutex>

namespace {

std::mutex gLock;
QString gFile;
QList<TCameraSource> gAdded;

// A file larger than this is no list of cameras; it is not read.
constexpr qint64 kMaxFileBytes = 1024 * 1024;

} // namespace

QList<TCameraSource> ParseCameraSources(const QByteArray& text)
{
    QList<TCameraSource> sources;
    for (const QByteArray& rawLine : text.split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed(); // also drops a CR before the LF
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#'))
            || line.startsWith(QLatin1Char('[')))
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            continue;
        const QString name = line.left(equals).trimmed();
        if (name.isEmpty())
            continue;
        sources.append({name, line.mid(equals + 1).trimmed()});
    }
    return sources;
}

void TCameraSources::SetFile(const QString& path)
{
    std::lock_guard lock(gLock);
    gFile = path;
}

QString TCameraSources::File()
{
    std::lock_guard lock(gLock);
    return gFile;
}

void TCameraSources::Add(const QString& name, const QString& description)
{
    std::lock_guard lock(gLock);
    gAdded.append({name, description});
}

void TCameraSources::Remove(const QString& name)
{
    std::lock_guard lock(gLock);
    gAdded.removeIf([&](const TCameraSource& source) { return source.name == name; });
}

void TCameraSources::Clear()
{
    std::lock_guard lock(gLock);
    gAdded.clear();
}

QList<TCameraSource> TCameraSources::Added()
{
    std::lock_guard lock(gLock);
    return gAdded;
}

QList<TCameraSource> TCameraSources::List()
{
    QString path;
    QList<TCameraSource> added;
    {
        std::lock_guard lock(gLock);
        path = gFile;
        added = gAdded;
    }
    QList<TCameraSource> sources;
    // Only a regular file is read: a FIFO of that name would wait for a
    // writer. Anything else, and a file over the limit, lists no source.
    const TFileRead file = ReadRegularFile(path, kMaxFileBytes);
    if (file.status == TFileReadStatus::Read)
        sources = ParseCameraSources(file.bytes);
    sources.append(added);
    return sources;
}
