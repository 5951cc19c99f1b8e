// The update checker's runs against servers on 127.0.0.1 that the test
// starts: TLS with a certificate of a test authority (trusted through
// TrustExtraAuthority), plain http, one that never answers, and a closed
// port. Each run gets a store file of its own and the day the test names.

#include "online/ClientDescription.h"
#include "online/UpdateChecker.h"
#include "support/WebTestServers.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <condition_variable>
#include <memory>
#include <mutex>

namespace {

const QString kAppCaption = QStringLiteral("DASTREL - Lantrix");
const QString kAppVersion = QStringLiteral("1.2");
const QString kMachineId = QStringLiteral("0b8f6a3e-1c2d-4e5f-8a9b-0c1d2e3f4a5b");
const QString kToday = QStringLiteral("05/01/2026");
const QString kYesterday = QStringLiteral("04/01/2026");
const QString kLink = QStringLiteral("https://www.dastrel.invalid/download/lantrix.zip");

// A reply of the server in its line layout.
QByteArray Reply(const QByteArray& version, const QByteArray& url, const QByteArray& result = "1",
                 const QByteArray& notice = "")
{
    return "<version>" + version + "</version>\r\n<url>" + url + "</url>\r\n\r\n<result>" + result
           + "</result>\r\n\r\n<important>" + notice + "</important>\r\n";
}

// Records the notices the checker shows; holds the checker while `hold` is
// set, until released or cancelled.
class FakeNotice : public TCheckNotice {
public:
    explicit FakeNotice(bool hold = false)
        : fHold(hold)
    {
    }

    void Show(const QString& caption, const QString& text) override
    {
        std::unique_lock lock(fMutex);
        fShown << caption + QLatin1Char('|') + text;
        if (fHold)
            fChanged.wait(lock, [this] { return fReleased || fCancelled; });
    }
    void Cancel() override
    {
        std::lock_guard lock(fMutex);
        fCancelled = true;
        fChanged.notify_all();
    }
    void Release()
    {
        std::lock_guard lock(fMutex);
        fReleased = true;
        fChanged.notify_all();
    }
    QStringList Shown() const
    {
        std::lock_guard lock(fMutex);
        return fShown;
    }

private:
    const bool fHold;
    mutable std::mutex fMutex;
    std::condition_variable fChanged;
    QStringList fShown;
    bool fReleased = false;
    bool fCancelled = false;
};

// Forged: TLS and plain http on one port, with a certificate of an authority
// the client does not trust.
enum class Server { Tls, Plain, Closed, None, Forged };

// What a store holds, read back from its file; "-" for an absent value.
struct Stored {
    QString day, count, version, link, showUpdate;
};

Stored ReadStore(const QString& file)
{
    UpdateCheckStore store(file);
    auto read = [&store](const char* name) { return store.ReadString(kUpdateSection, name, QStringLiteral("-")); };
    const QString link = read(kCurrentURL);
    return {read(kLastUpdateCheck), read(kLastUpdateCheckCount), read(kCurrentVersion),
            link == QLatin1String("-") ? link : UnscrambleText(link), read(kShowUpdate)};
}

QByteArray FileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

Q_DECLARE_METATYPE(Server)

class UpdateCheckerTest : public QObject {
    Q_OBJECT

    TTestCertificates certificates;
    QSslConfiguration tls;
    QSslConfiguration untrustedTls;
    std::unique_ptr<QTemporaryDir> root;
    QString storeFile;

    TCheckerEnvironment Environment(const QString& serverAddress, const QString& today)
    {
        TCheckerEnvironment environment;
        environment.appCaption = kAppCaption;
        environment.appVersion = kAppVersion;
        environment.serverAddress = serverAddress;
        environment.storeFile = storeFile;
        environment.today = [today] { return today; };
        environment.machineId = [] { return kMachineId; };
        return environment;
    }

    // Starts the checker and waits for its thread to end.
    static void RunToEnd(TChecker& checker)
    {
        checker.start();
        QVERIFY2(checker.wait(QDeadlineTimer(90000)), "The check did not end");
        QVERIFY(checker.Finished());
    }

    void WriteStore(const QString& day, int count, const QString& link, int showUpdate)
    {
        UpdateCheckStore store(storeFile);
        store.WriteString(kUpdateSection, kLastUpdateCheck, day);
        store.WriteInteger(kUpdateSection, kLastUpdateCheckCount, count);
        store.WriteString(kUpdateSection, kCurrentURL, ScrambleText(link));
        store.WriteInteger(kUpdateSection, kShowUpdate, showUpdate);
    }

private slots:
    void initTestCase()
    {
        qRegisterMetaType<Server>();
        tls = certificates.Server("trusted");
        untrustedTls = certificates.Server("untrusted");
        TrustExtraAuthority(certificates.AuthorityPem("trusted"));
    }
    void cleanupTestCase() { TrustExtraAuthority({}); }
    void init()
    {
        root = std::make_unique<QTemporaryDir>();
        storeFile = UpdateCheckStore::FileIn(root->filePath("config"));
    }

    void run_data();
    void run();
    void requestFields();
    void runsOverDays();
    void storeThatCannotBeOpened_data();
    void storeThatCannotBeOpened();
    void machineIdentifierFailure();
    void noticeHoldsTheChecker();
    void quitDuringARequestThatNeverAnswers();
    void quitWhileTheNoticeWaits();
};

// One run from a store that says "last valid reply yesterday, twice, show
// updates" (or what the row changes), against the row's server and reply.
void UpdateCheckerTest::run_data()
{
    QTest::addColumn<Server>("server");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("storedDay");    // before the run
    QTest::addColumn<int>("storedCount");      // before the run
    QTest::addColumn<int>("storedShowUpdate"); // before the run
    QTest::addColumn<int>("requests");         // what the server received
    QTest::addColumn<bool>("updateAvailable");
    QTest::addColumn<QString>("latestVersion");
    QTest::addColumn<QString>("downloadLink");
    QTest::addColumn<int>("showUpdateValue");
    QTest::addColumn<QString>("errorLog"); // its beginning; empty: no error
    QTest::addColumn<QString>("dayAfter");
    QTest::addColumn<QString>("countAfter");
    QTest::addColumn<QString>("versionAfter");
    QTest::addColumn<QStringList>("notices");

    const QString before = QStringLiteral("https://old.dastrel.invalid/");
    const QString day = kYesterday;
    auto row = [](const char* name) -> QTestData& { return QTest::newRow(name); };

    row("new version") << Server::Tls << Reply("1.3", kLink.toUtf8()) << day << 2 << 1 << 1 << true << "1.3" << kLink
                       << 1 << "" << kToday << "1"
                       << "1.3" << QStringList{};
    row("result 0 is valid as well") << Server::Tls << Reply("1.3", kLink.toUtf8(), "0") << day << 2 << 1 << 1 << true
                                     << "1.3" << kLink << 1 << "" << kToday << "1"
                                     << "1.3" << QStringList{};
    row("same version") << Server::Tls << Reply("1.2", kLink.toUtf8()) << day << 2 << 1 << 1 << false << "1.2" << kLink
                        << 1 << "" << kToday << "1"
                        << "1.2" << QStringList{};
    row("1.2.0 differs from 1.2") << Server::Tls << Reply("1.2.0", kLink.toUtf8()) << day << 2 << 1 << 1 << true
                                  << "1.2.0" << kLink << 1 << "" << kToday << "1"
                                  << "1.2.0" << QStringList{};
    row("1.2a is not a number") << Server::Tls << Reply("1.2a", kLink.toUtf8()) << day << 2 << 1 << 1 << false << "1.2a"
                                << kLink << 1 << "" << kToday << "1"
                                << "1.2a" << QStringList{};
    row("space after the version tag") << Server::Tls
                                       << QByteArray("<version>1.3</version> \r\n<url></url>\r\n\r\n<result>1</result>")
                                       << day << 2 << 1 << 1 << false << ""
                                       << "" << 1 << "" << kToday << "1"
                                       << "" << QStringList{};
    row("same day: counted on") << Server::Tls << Reply("1.3", kLink.toUtf8()) << kToday << 3 << 1 << 1 << true << "1.3"
                                << kLink << 1 << "" << kToday << "4"
                                << "1.3" << QStringList{};
    row("fifth reply of the day: stored, no window") << Server::Tls << Reply("1.3", kLink.toUtf8()) << kToday << 4 << 1
                                                     << 1 << false << "1.3" << kLink << 1 << "" << kToday << "5"
                                                     << "1.3" << QStringList{};
    row("after five replies today: no request") << Server::Tls << Reply("1.3", kLink.toUtf8()) << kToday << 5 << 1 << 0
                                                << false << "" << before << 1 << "" << kToday << "5"
                                                << "-" << QStringList{};
    row("five yesterday: a new day") << Server::Tls << Reply("1.3", kLink.toUtf8()) << day << 5 << 1 << 1 << true
                                     << "1.3" << kLink << 1 << "" << kToday << "1"
                                     << "1.3" << QStringList{};
    row("another date format: a new day") << Server::Tls << Reply("1.3", kLink.toUtf8()) << "2026-01-05" << 5 << 1 << 1
                                          << true << "1.3" << kLink << 1 << "" << kToday << "1"
                                          << "1.3" << QStringList{};
    row("ShowUpdate 0: no request") << Server::Tls << Reply("1.3", kLink.toUtf8()) << day << 2 << 0 << 0 << false << ""
                                    << before << 0 << "" << day << "2"
                                    << "-" << QStringList{};
    row("ERROR reply") << Server::Tls << QByteArray("ERROR: unknown application\r\n\r\n\r\n<result>1</result>") << day
                       << 2 << 1 << 1 << false << "" << before << 1 << "INVALIDSERVERRESPONSE" << day << "2"
                       << "-" << QStringList{};
    row("three lines") << Server::Tls << QByteArray("<version>1.3</version>\r\n<url></url>\r\n\r\n") << day << 2 << 1
                       << 1 << false << "" << before << 1 << "INVALIDSERVERRESPONSE" << day << "2"
                       << "-" << QStringList{};
    row("result 2") << Server::Tls << Reply("1.3", kLink.toUtf8(), "2") << day << 2 << 1 << 1 << false << "" << before
                    << 1 << "INVALIDSERVERRESPONSE" << day << "2"
                    << "-" << QStringList{};
    row("result tag in capitals") << Server::Tls
                                  << QByteArray("<version>1.3</version>\r\n<url></url>\r\n\r\n<RESULT>1</RESULT>")
                                  << day << 2 << 1 << 1 << false << "" << before << 1 << "INVALIDSERVERRESPONSE" << day
                                  << "2"
                                  << "-" << QStringList{};
    row("result value with a space") << Server::Tls << Reply("1.3", kLink.toUtf8(), " 1") << day << 2 << 1 << 1 << false
                                     << "" << before << 1 << "INVALIDSERVERRESPONSE" << day << "2"
                                     << "-" << QStringList{};
    row("empty reply") << Server::Tls << QByteArray() << day << 2 << 1 << 1 << false << "" << before << 1
                       << "INVALIDSERVERRESPONSE" << day << "2"
                       << "-" << QStringList{};
    row("notice") << Server::Tls << Reply("1.3", kLink.toUtf8(), "1", "Server moves on Monday.") << day << 2 << 1 << 1
                  << true << "1.3" << kLink << 1 << "" << kToday << "1"
                  << "1.3" << QStringList{"IMPORTANT|Server moves on Monday."};
    row("blank notice") << Server::Tls << Reply("1.3", kLink.toUtf8(), "1", "   ") << day << 2 << 1 << 1 << true
                        << "1.3" << kLink << 1 << "" << kToday << "1"
                        << "1.3" << QStringList{};
    row("notice without the other lines")
        << Server::Tls << QByteArray("\r\n\r\n\r\n<result>0</result>\r\n\r\n<important>Hello</important>") << day << 2
        << 1 << 1 << false << ""
        << "" << 1 << "" << kToday << "1"
        << "" << QStringList{"IMPORTANT|Hello"};
    row("empty link") << Server::Tls << Reply("1.3", "") << day << 2 << 1 << 1 << true << "1.3"
                      << "" << 1 << "" << kToday << "1"
                      << "1.3" << QStringList{};
    row("https fails, plain http used, the error wiped") << Server::Plain << Reply("1.3", kLink.toUtf8()) << day << 2
                                                         << 1 << 1 << true << "1.3" << kLink << 1 << "" << kToday << "1"
                                                         << "1.3" << QStringList{};
    row("both fail") << Server::Closed << QByteArray() << day << 2 << 1 << 0 << false << "" << before << 1
                     << "HTTPS Response:\r" << day << "2"
                     << "-" << QStringList{};
    // A reply longer than the limit fails the request: the https attempt
    // reads up to the limit, the plain one meets the TLS server.
    const QByteArray valid = Reply("1.3", kLink.toUtf8());
    row("reply up to the limit") << Server::Tls << valid + QByteArray(kReplyLimitBytes - valid.size(), ' ') << day << 2
                                 << 1 << 1 << true << "1.3" << kLink << 1 << "" << kToday << "1"
                                 << "1.3" << QStringList{};
    row("valid reply followed by more than the limit")
        << Server::Tls << valid + QByteArray(kReplyLimitBytes - valid.size() + 1, ' ') << day << 2 << 1 << 1 << false
        << "" << before << 1 << "HTTPS Response:\r" << day << "2"
        << "-" << QStringList{};
    row("certificate fails the check: nothing over plain http")
        << Server::Forged << Reply("1.3", kLink.toUtf8()) << day << 2 << 1 << 0 << false << "" << before << 1
        << "HTTPS Response:\r" << day << "2"
        << "-" << QStringList{};
    row("no server") << Server::None << QByteArray() << day << 2 << 1 << 0 << false << "" << before << 1
                     << "HTTPS Response:\r" << day << "2"
                     << "-" << QStringList{};
}

void UpdateCheckerTest::run()
{
    QFETCH(Server, server);
    QFETCH(QByteArray, reply);
    QFETCH(QString, storedDay);
    QFETCH(int, storedCount);
    QFETCH(int, storedShowUpdate);
    QFETCH(int, requests);
    QFETCH(bool, updateAvailable);
    QFETCH(QString, latestVersion);
    QFETCH(QString, downloadLink);
    QFETCH(int, showUpdateValue);
    QFETCH(QString, errorLog);
    QFETCH(QString, dayAfter);
    QFETCH(QString, countAfter);
    QFETCH(QString, versionAfter);
    QFETCH(QStringList, notices);

    WriteStore(storedDay, storedCount, QStringLiteral("https://old.dastrel.invalid/"), storedShowUpdate);
    TTestServer secure(&tls, {.body = reply});
    TTestServer plain(nullptr, {.body = reply});
    TTestServer forged(&untrustedTls, {.body = reply}, /*plainToo=*/true);
    const QString address = server == Server::Tls      ? secure.Address("/php/check2.php")
                            : server == Server::Plain  ? plain.Address("/php/check2.php")
                            : server == Server::Forged ? forged.Address("/php/check2.php")
                            : server == Server::Closed ? QString("127.0.0.1:%1/php/check2.php").arg(ClosedPort())
                                                       : QString();
    auto notice = std::make_shared<FakeNotice>();
    TCheckerEnvironment environment = Environment(address, kToday);
    environment.notice = notice;
    TChecker checker(environment);
    RunToEnd(checker);

    QCOMPARE(secure.Requests().size() + plain.Requests().size() + forged.Requests().size(), requests);
    QCOMPARE(forged.PlainConnections(), 0);
    if (server == Server::Forged) // no plain attempt was made
        QVERIFY2(!checker.Errors.CheckErrorLog.contains("HTTP Response:"), qPrintable(checker.Errors.CheckErrorLog));
    QCOMPARE(checker.UpdateAvailable, updateAvailable);
    QCOMPARE(checker.LatestVersion, latestVersion);
    QCOMPARE(checker.DownloadLink, downloadLink);
    QCOMPARE(checker.ShowUpdateValue, showUpdateValue);
    QCOMPARE(checker.Errors.CheckError, !errorLog.isEmpty());
    if (errorLog.isEmpty())
        QCOMPARE(checker.Errors.CheckErrorLog, QString());
    else
        QVERIFY2(checker.Errors.CheckErrorLog.startsWith(errorLog), qPrintable(checker.Errors.CheckErrorLog));
    QCOMPARE(notice->Shown(), notices);

    const Stored after = ReadStore(storeFile);
    QCOMPARE(after.day, dayAfter);
    QCOMPARE(after.count, countAfter);
    QCOMPARE(after.version, versionAfter);
    QCOMPARE(after.link,
             versionAfter == QLatin1String("-") ? QStringLiteral("https://old.dastrel.invalid/") : downloadLink);
    QCOMPARE(after.showUpdate, QString::number(storedShowUpdate)); // only the menu entry writes it
}

void UpdateCheckerTest::requestFields()
{
    TTestServer server(&tls, {.body = Reply("1.2", "")});
    TChecker checker(Environment(server.Address("/php/check2.php"), kToday));
    RunToEnd(checker);
    QCOMPARE(server.Requests().size(), 1);
    const QByteArray request = server.Requests()[0];
    QVERIFY(HeadOf(request).startsWith("post /php/check2.php http/1.1"));
    QStringList fields;
    for (QByteArray part : BodyOf(request).split('&'))
        fields << QString::fromUtf8(QByteArray::fromPercentEncoding(part.replace('+', ' ')));
    QCOMPARE(fields.size(), 6);
    QCOMPARE(fields[0], QString("cmd=check"));
    QCOMPARE(fields[1], "appname=" + kAppCaption);
    QCOMPARE(fields[2], "version=" + kAppVersion);
    QCOMPARE(fields[3], "os=" + OsDescription());
    QCOMPARE(fields[4], "local=" + LocaleTag());
    QCOMPARE(fields[5], "guid=" + kMachineId);
}

// Starts of the program over days, each with its own run, against a server
// that always has a new version: windows at the first four valid replies of
// a day, none at the fifth, no request after it; a new day starts again.
void UpdateCheckerTest::runsOverDays()
{
    struct Start {
        QString today;
        bool request;
        QString count; // stored after the run
        bool window;
    };
    const QString otherFormat = QStringLiteral("2026-01-05");
    const QList<Start> starts = {
        {kYesterday, true, "1", true},   {kToday, true, "1", true},   {kToday, true, "2", true},
        {kToday, true, "3", true},       {kToday, true, "4", true},   {kToday, true, "5", false},
        {kToday, false, "5", false},     {kToday, false, "5", false}, {otherFormat, true, "1", true},
        {"06/01/2026", true, "1", true},
    };
    TTestServer server(&tls, {.body = Reply("1.3", kLink.toUtf8())});
    qsizetype requests = 0;
    for (qsizetype i = 0; i < starts.size(); ++i) {
        const Start& start = starts[i];
        TChecker checker(Environment(server.Address("/php/check2.php"), start.today));
        RunToEnd(checker);
        const QString where = QString("start %1 on %2").arg(i + 1).arg(start.today);
        requests += start.request ? 1 : 0;
        QVERIFY2(server.Requests().size() == requests, qPrintable(where));
        QVERIFY2(checker.UpdateAvailable == start.window, qPrintable(where));
        const Stored stored = ReadStore(storeFile);
        QVERIFY2(stored.count == start.count, qPrintable(where + ": count " + stored.count));
        QVERIFY2(stored.day == start.today || !start.request, qPrintable(where + ": day " + stored.day));
        // The link of the last valid reply is known before the request.
        QVERIFY2(checker.DownloadLink == (i == 0 && !start.request ? QString() : kLink), qPrintable(where));
    }
}

void UpdateCheckerTest::storeThatCannotBeOpened_data()
{
    QTest::addColumn<bool>("secure");
    QTest::addColumn<bool>("updateAvailable");
    QTest::addColumn<QString>("errorLog");
    // The failure noted before the request makes an https reply unusable...
    QTest::newRow("https reply") << true << false << "Error: Registry open problem!";
    // ... while a plain reply after a failed https attempt wipes it.
    QTest::newRow("plain reply after an https failure") << false << true << "";
}

void UpdateCheckerTest::storeThatCannotBeOpened()
{
    QFETCH(bool, secure);
    QFETCH(bool, updateAvailable);
    QFETCH(QString, errorLog);
    QFile notAFolder(root->filePath("not-a-folder"));
    QVERIFY(notAFolder.open(QIODevice::WriteOnly));
    notAFolder.close();
    storeFile = UpdateCheckStore::FileIn(notAFolder.fileName() + "/config");

    TTestServer server(secure ? &tls : nullptr, {.body = Reply("1.3", kLink.toUtf8())});
    TChecker checker(Environment(server.Address("/php/check2.php"), kToday));
    RunToEnd(checker);
    QCOMPARE(checker.Store(), nullptr);
    QCOMPARE(checker.ShowUpdateValue, 1); // the default
    QCOMPARE(server.Requests().size(), 1);
    QCOMPARE(checker.UpdateAvailable, updateAvailable);
    QCOMPARE(checker.Errors.CheckErrorLog, errorLog);
}

void UpdateCheckerTest::machineIdentifierFailure()
{
    TTestServer server(&tls, {.body = Reply("1.3", kLink.toUtf8())});
    TCheckerEnvironment environment = Environment(server.Address("/php/check2.php"), kToday);
    environment.machineId = []() -> QString { throw std::runtime_error("no machine ID"); };
    TChecker checker(environment);
    RunToEnd(checker);
    QCOMPARE(server.Requests().size(), 1);
    QVERIFY(BodyOf(server.Requests()[0]).endsWith("&guid="));
    QCOMPARE(checker.Errors.CheckErrorLog, QString("Error: GUID generate problem!"));
    QVERIFY(!checker.UpdateAvailable);
    QCOMPARE(ReadStore(storeFile).count, QString("-"));
}

// The update window comes only after the check has finished, and the check
// finishes only once its notice is gone.
void UpdateCheckerTest::noticeHoldsTheChecker()
{
    TTestServer server(&tls, {.body = Reply("1.3", kLink.toUtf8(), "1", "Read me first")});
    auto notice = std::make_shared<FakeNotice>(true);
    TCheckerEnvironment environment = Environment(server.Address("/php/check2.php"), kToday);
    environment.notice = notice;
    TChecker checker(environment);
    checker.start();
    QTRY_COMPARE_WITH_TIMEOUT(notice->Shown().size(), 1, 60000);
    QVERIFY(!checker.Finished());
    QVERIFY(!checker.wait(QDeadlineTimer(200))); // held
    notice->Release();
    QVERIFY(checker.wait(QDeadlineTimer(60000)));
    QVERIFY(checker.Finished());
    QVERIFY(checker.UpdateAvailable);
}

// The program quits while the request waits for an answer that never comes:
// the check ends long before the request's own time-outs would end it, and
// nothing reaches the store.
void UpdateCheckerTest::quitDuringARequestThatNeverAnswers()
{
    TTestServer server(&tls, {.silent = true});
    TCheckerEnvironment environment = Environment(server.Address("/php/check2.php"), kToday);
    environment.timeoutMs = 120000; // only the abort can end the request within the test
    WriteStore(kYesterday, 2, kLink, 1);
    const QByteArray storeBefore = FileBytes(storeFile);
    auto checker = std::make_unique<TChecker>(environment);
    checker->start();
    QTRY_COMPARE_WITH_TIMEOUT(server.Requests().size(), 1, 60000);

    QElapsedTimer sinceQuit;
    sinceQuit.start();
    checker.reset(); // what the main window does on quitting: give up, wait for the thread
    const qint64 quitMs = sinceQuit.elapsed();
    qInfo("The check ended %lld ms after the quit", quitMs);
    QVERIFY2(quitMs < environment.timeoutMs / 2, qPrintable(QString::number(quitMs)));
    QCOMPARE(FileBytes(storeFile), storeBefore);
    QCOMPARE(server.Requests().size(), 1); // no second attempt
}

void UpdateCheckerTest::quitWhileTheNoticeWaits()
{
    TTestServer server(&tls, {.body = Reply("1.3", kLink.toUtf8(), "1", "Read me first")});
    auto notice = std::make_shared<FakeNotice>(true);
    TCheckerEnvironment environment = Environment(server.Address("/php/check2.php"), kToday);
    environment.notice = notice;
    TChecker checker(environment);
    checker.start();
    QTRY_COMPARE_WITH_TIMEOUT(notice->Shown().size(), 1, 60000);
    const QByteArray storeBefore = FileBytes(storeFile);
    QVERIFY(!storeBefore.isEmpty()); // the reply's values are stored before the notice

    checker.Abort();
    QVERIFY(checker.wait(QDeadlineTimer(60000)));
    QVERIFY(!checker.UpdateAvailable);
    QCOMPARE(FileBytes(storeFile), storeBefore);
}

QTEST_GUILESS_MAIN(UpdateCheckerTest)
#include "tst_update_checker.moc"
