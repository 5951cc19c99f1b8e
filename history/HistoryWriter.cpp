#include "history/HistoryWriter.h"

#include <QMetaObject>

#include <memory>
#include <utility>

// The writer's side on its thread: the store lives, opens, writes and closes there.
class THistoryWriterWorker : public QObject {
    Q_OBJECT
public:
    explicit THistoryWriterWorker(QString file)
        : fFile(std::move(file))
    {
    }

    void Open()
    {
        fStore = std::make_unique<THistoryStore>(fFile);
        emit Opened(fStore->Open());
    }

    void Record(THistoryEntry entry, int limit)
    {
        if (!fStore || !fStore->IsOpen())
            return;
        QString error;
        entry.id = fStore->AddEntry(entry, limit, &error);
        if (entry.id == 0)
            emit Failed(error);
        else
            emit Recorded(entry);
    }

    // The last event on the thread: the store closes where it was opened.
    void Finish()
    {
        fStore.reset();
        QThread::currentThread()->quit();
    }

signals:
    void Opened(const THistoryStore::TOpenOutcome& outcome);
    void Recorded(const THistoryEntry& entry);
    void Failed(const QString& message);

private:
    QString fFile;
    std::unique_ptr<THistoryStore> fStore;
};

THistoryWriter::THistoryWriter(QString file, QObject* parent)
    : QObject(parent)
    , fFile(std::move(file))
    , fWorker(new THistoryWriterWorker(fFile))
{
    qRegisterMetaType<THistoryEntry>();
    qRegisterMetaType<THistoryStore::TOpenOutcome>();
    fThread.setObjectName(QStringLiteral("History writer"));
    fWorker->moveToThread(&fThread);
    // Signal to signal: delivered on the thread this writer lives on.
    connect(fWorker, &THistoryWriterWorker::Opened, this, &THistoryWriter::Opened);
    connect(fWorker, &THistoryWriterWorker::Recorded, this, &THistoryWriter::Recorded);
    connect(fWorker, &THistoryWriterWorker::Failed, this, &THistoryWriter::Failed);
    fThread.start();
    THistoryWriterWorker* worker = fWorker;
    const auto open = [worker] { worker->Open(); };
    QMetaObject::invokeMethod(fWorker, open, Qt::QueuedConnection);
}

THistoryWriter::~THistoryWriter()
{
    // Queued after every Record: the pending writes are done first.
    THistoryWriterWorker* worker = fWorker;
    const auto finish = [worker] { worker->Finish(); };
    QMetaObject::invokeMethod(fWorker, finish, Qt::QueuedConnection);
    fThread.wait();
    delete fWorker;
}

void THistoryWriter::Record(const THistoryEntry& entry, int limit)
{
    THistoryWriterWorker* worker = fWorker;
    const auto record = [worker, entry, limit] { worker->Record(entry, limit); };
    QMetaObject::invokeMethod(fWorker, record, Qt::QueuedConnection);
}

const QString& THistoryWriter::File() const
{
    return fFile;
}

#include "HistoryWriter.moc"
