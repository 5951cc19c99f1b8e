#pragma once

#include <QByteArray>
#include <QString>

// Reading files the program did not make (language files, the language table,
// cameras.ini, the licence text). Only a regular file (or a link to one) is
// opened: a FIFO, a socket, a device or a folder of that name is passed over
// as a missing file is, and nothing ever waits for a writer.

enum class TFileReadStatus {
    Read,     // the whole file is in `bytes`
    Missing,  // no such file, or not a regular file
    TooLarge, // larger than the limit; `bytes` holds its first `limit` bytes
    Failed,   // it could not be opened or read; `error` is the errno value
};

struct TFileRead {
    TFileReadStatus status = TFileReadStatus::Missing;
    QByteArray bytes;
    int error = 0;
};

// The content of `path` when it is a regular file of at most `limit` bytes.
TFileRead ReadRegularFile(const QString& path, qint64 limit);

// True when `path` names a regular file (or a link to one).
bool IsRegularFile(const QString& path);
