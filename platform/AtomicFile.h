#pragma once

#include <QByteArray>
#include <QString>

// Replaces the file `path` with `bytes` as one step: the bytes go into a new
// file beside it, which is flushed to disk and then renamed over the old one.
// A failure at any point (full disk, file-size limit, missing folder) leaves
// the old file as it was and no temporary file behind. When `path` is a
// symbolic link, the link's final target is replaced and the link stays; the
// replaced file keeps its permission bits (a new one gets 0666 less the
// umask). Answers an empty text on success, else the reason.
QString WriteFileAtomically(const QString& path, const QByteArray& bytes);
