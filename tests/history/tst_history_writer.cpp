// The history's writer thread: the store opened there, records written in
// the order given and reported back on the caller's thread, pending records
// written before the writer ends, and failures reported.
#include "history/HistoryStore.h"
#include "history/HistoryWriter.h"

#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <memory>
#include <sys/resource.h>

class TstHistoryWriter : public QObject {
    Q_OBJECT

private:
    static THistoryEntry Entry(const QString& text, qint64 msecs)
    {
        THistoryEntry entry;
        entry.time = QDateTime::fromMSecsSinceEpoch(msecs);
        entry.source = QStringLiteral("HD Webcam");
        entry.format = QStringLiteral("QR_CODE");
        entry.text = text;
        entry.bytes = text.toUtf8();
        entry.contentType = QStringLiteral("text");
        return entry;
    }

    static QStringList StoredTexts(const QString& file)
    {
        THistoryStore store(file);
        if (store.Open().status != THistoryStore::TOpenStatus::Opened)
            return {QStringLiteral("<not opened>")};
        QStringList texts;
        for (const THistoryEntry& entry : store.All())
            texts.append(entry.text);
        return texts;
    }

private slots:
    void OpensAndRecordsInOrder()
    {
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("history.sqlite"));
        THistoryWriter writer(file);
        QCOMPARE(writer.File(), file);
        QSignalSpy opened(&writer, &THistoryWriter::Opened);
        QSignalSpy recorded(&writer, &THistoryWriter::Recorded);
        QSignalSpy failed(&writer, &THistoryWriter::Failed);
        QThread* const guiThread = QThread::currentThread();
        bool onGuiThread = true;
        connect(&writer, &THistoryWriter::Recorded, this,
                [&] { onGuiThread = onGuiThread && QThread::currentThread() == guiThread; });

        for (int i = 1; i <= 5; ++i)
            writer.Record(Entry(QString::number(i), i * 1000), 3);
        QVERIFY(recorded.wait(20000) || recorded.size() > 0);
        QTRY_COMPARE_WITH_TIMEOUT(recorded.size(), 5, 20000);
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened[0][0].value<THistoryStore::TOpenOutcome>().status, THistoryStore::TOpenStatus::Opened);
        QCOMPARE(failed.size(), 0);
        QVERIFY(onGuiThread);
        qint64 lastId = 0;
        for (int i = 0; i < 5; ++i) {
            const THistoryEntry entry = recorded[i][0].value<THistoryEntry>();
            QCOMPARE(entry.text, QString::number(i + 1));
            QVERIFY(entry.id > lastId);
            lastId = entry.id;
        }
        // The limit was kept on each write.
        QCOMPARE(StoredTexts(file), (QStringList{"5", "4", "3"}));
    }

    void FinishesPendingRecordsWhenDestroyed()
    {
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("history.sqlite"));
        {
            THistoryWriter writer(file);
            for (int i = 0; i < 300; ++i)
                writer.Record(Entry(QString::number(i), i), 0);
        } // no event loop ran: every record is still queued here
        const QStringList texts = StoredTexts(file);
        QCOMPARE(texts.size(), 300);
        QCOMPARE(texts.front(), QStringLiteral("299"));
        QCOMPARE(texts.back(), QStringLiteral("0"));
    }

    void ReportsADamagedFileReplaced()
    {
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("history.sqlite"));
        QFile damaged(file);
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write("not a database, just words");
        damaged.close();
        THistoryWriter writer(file);
        QSignalSpy opened(&writer, &THistoryWriter::Opened);
        QVERIFY(opened.wait(20000));
        const auto outcome = opened[0][0].value<THistoryStore::TOpenOutcome>();
        QCOMPARE(outcome.status, THistoryStore::TOpenStatus::Replaced);
        QVERIFY(QFile::exists(outcome.movedTo));
        QSignalSpy recorded(&writer, &THistoryWriter::Recorded);
        writer.Record(Entry(QStringLiteral("fresh"), 1), 0);
        QVERIFY(recorded.wait(20000));
    }

    void DropsRecordsWhenTheStoreCannotOpen()
    {
        QTemporaryDir folder;
        QFile plain(folder.filePath(QStringLiteral("plain")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        THistoryWriter writer(folder.filePath(QStringLiteral("plain/history.sqlite")));
        QSignalSpy opened(&writer, &THistoryWriter::Opened);
        QSignalSpy recorded(&writer, &THistoryWriter::Recorded);
        QSignalSpy failed(&writer, &THistoryWriter::Failed);
        writer.Record(Entry(QStringLiteral("lost"), 1), 0);
        QVERIFY(opened.wait(20000));
        const auto outcome = opened[0][0].value<THistoryStore::TOpenOutcome>();
        QCOMPARE(outcome.status, THistoryStore::TOpenStatus::Failed);
        QVERIFY(!outcome.message.isEmpty());
        // A record given after Opened comes, to be sure the first was handled.
        writer.Record(Entry(QStringLiteral("lost too"), 2), 0);
        QTest::qWait(0);
        QCOMPARE(recorded.size(), 0);
        QCOMPARE(failed.size(), 0);
    }

    void ReportsAFailedWrite()
    {
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("history.sqlite"));
        auto writer = std::make_unique<THistoryWriter>(file);
        QSignalSpy opened(writer.get(), &THistoryWriter::Opened);
        QSignalSpy recorded(writer.get(), &THistoryWriter::Recorded);
        QSignalSpy failed(writer.get(), &THistoryWriter::Failed);
        QVERIFY(opened.wait(20000));
        writer->Record(Entry(QStringLiteral("small"), 1), 0);
        QVERIFY(recorded.wait(20000));

        // The disk is full: no file may grow past a few kilobytes more.
        rlimit saved = {};
        getrlimit(RLIMIT_FSIZE, &saved);
        const auto handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit full = saved;
        full.rlim_cur = QFileInfo(file + QStringLiteral("-wal")).size() + 64 * 1024;
        setrlimit(RLIMIT_FSIZE, &full);
        writer->Record(Entry(QString(4 * 1024 * 1024, QChar(u'x')), 2), 0);
        const bool reported = failed.wait(20000);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, handler);
        QVERIFY(reported);
        QVERIFY(!failed[0][0].toString().isEmpty());
        QCOMPARE(recorded.size(), 1);
        writer.reset();
        QCOMPARE(StoredTexts(file), QStringList{"small"});
    }
};

QTEST_GUILESS_MAIN(TstHistoryWriter)
#include "tst_history_writer.moc"
