// One code read, as the scan history keeps it.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QMetaType>
#include <QString>

struct THistoryEntry {
    qint64 id = 0;       // the database's row id; 0 before it is stored
    QDateTime time;      // when it was read (stored as UTC milliseconds, given back in local time)
    QString source;      // the picture file's path, "Clipboard", "Screen", "Drop", the camera's name
    QString format;      // zxing's name: "QR_CODE"
    QString text;        // the decoded text
    QByteArray bytes;    // the raw bytes
    QString contentType; // ContentTypeName(ParseContent(text)): "url", "wifi", ...

    bool operator==(const THistoryEntry&) const = default;
};

Q_DECLARE_METATYPE(THistoryEntry)
