// Recording off the GUI thread.
#pragma once

#include "history/HistoryEntry.h"
#include "history/HistoryStore.h"

#include <QObject>
#include <QString>
#include <QThread>

class THistoryWriterWorker;

// A thread of its own that owns its own THistoryStore on the file. Record()
// may be called from the GUI thread and returns at once (queued); the store
// is opened on the thread as the writer starts. Signals are delivered to the
// thread the writer was made on. While the store is not open, records are
// dropped (Opened has said why).
class THistoryWriter : public QObject {
    Q_OBJECT
public:
    explicit THistoryWriter(QString file, QObject* parent = nullptr); // starts the thread, opens the store there
    ~THistoryWriter() override; // finishes pending writes, closes the store, ends the thread
    void Record(const THistoryEntry& entry, int limit);
    const QString& File() const;

signals:
    void Opened(const THistoryStore::TOpenOutcome& outcome);
    void Recorded(const THistoryEntry& entry); // with its id
    void Failed(const QString& message);       // a write failed: the caller turns recording off for the run

private:
    QString fFile;
    QThread fThread;
    THistoryWriterWorker* fWorker = nullptr; // lives on fThread
};
