// history.sqlite: the scan history's file.
//
// One file, SQLite through Qt's QSQLITE driver, on a connection of its own
// per store (so the window, its writer thread and lantrix-scan may each have
// one on the same file). The schema carries its version in PRAGMA
// user_version; a file of an earlier version is migrated in place, in one
// transaction. The journal is a write-ahead log with synchronous=NORMAL: a
// crash or a kill loses at most the last transaction (the record being
// written), never the file; the busy time-out (5 s) lets two programs write
// by turns. Each Add is one transaction. Nothing is shown from here: outcomes
// and messages are returned for the caller to show.
#pragma once

#include "history/HistoryEntry.h"

#include <QList>
#include <QMetaType>
#include <QString>

class THistoryStore {
public:
    // The schema this program writes. Version 1: table entries (id, time as
    // ISO 8601 UTC text, source, format, text, bytes); version 2: the time as
    // UTC milliseconds (time_ms, indexed) and the content type.
    static constexpr int kSchemaVersion = 2;
    static constexpr int kBusyTimeoutMs = 5000;

    enum class TOpenStatus {
        Opened,   // ready
        Replaced, // the file was damaged or foreign: moved aside as history.sqlite.damaged-<yyyyMMdd-HHmmss>, a fresh
                  // one started
        Failed,   // cannot be opened or created (read-only folder, no driver, a newer program's file): recording is off
    };
    struct TOpenOutcome {
        TOpenStatus status = TOpenStatus::Failed;
        QString message; // English, for the status bar/message; names the moved-aside file for Replaced
        QString movedTo; // Replaced: the path the damaged file was moved to
    };

    explicit THistoryStore(QString file); // does not open yet
    ~THistoryStore();
    THistoryStore(const THistoryStore&) = delete;
    THistoryStore& operator=(const THistoryStore&) = delete;

    // Opens the file, creating it (and its folder) when missing, migrating an
    // earlier schema. A file that SQLite cannot read or that holds no history
    // of ours is moved aside with its -wal and -shm files and a fresh one is
    // started (Replaced). A file of a newer schema is left as it is (Failed):
    // a newer Lantrix wrote it, and it is not ours to destroy.
    TOpenOutcome Open();
    bool IsOpen() const;
    const QString& File() const;

    // Appends one entry in one transaction and drops the oldest beyond `limit`
    // (0: no limit). False with `error` set on failure (full disk, read-only):
    // nothing half-written. The entry's id is not used; its time, when
    // invalid, is taken as now.
    bool Add(const THistoryEntry& entry, int limit, QString* error = nullptr);
    // The same, giving back the stored row id (0 on failure).
    qint64 AddEntry(const THistoryEntry& entry, int limit, QString* error = nullptr);
    // Every entry, newest first.
    QList<THistoryEntry> All(QString* error = nullptr) const;
    bool Remove(const QList<qint64>& ids, QString* error = nullptr);
    bool Clear(QString* error = nullptr);
    // The number of entries; -1 when the store is not open or cannot be read.
    qint64 Count() const;

private:
    QString fFile;
    QString fConnection; // the QSqlDatabase connection's name, unique per store
    bool fOpen = false;

    void Close();
};

Q_DECLARE_METATYPE(THistoryStore::TOpenOutcome)
