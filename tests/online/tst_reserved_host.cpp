// Requests to a host under the reserved domain ".invalid", the default host
// of a build that was not given the maker's: nothing is sent and the name is
// never looked up. The test watches the process's resolver by taking its
// place: this program's getaddrinfo() comes before the C library's for every
// caller (libcurl's resolver thread included), notes the name and answers
// the names of the test itself, so that none of them leaves the machine.

#include "online/Feedback.h"
#include "online/UpdateCheck.h"
#include "online/UpdateCheckStore.h"
#include "online/UpdateChecker.h"
#include "online/WebRequest.h"
#include "platform/WebHost.h"

#include <QTemporaryDir>
#include <QtTest>

#include <dlfcn.h>
#include <netdb.h>

#include <mutex>
#include <string>
#include <vector>

namespace {

std::mutex lookUpsMutex;
std::vector<std::string> lookUps;

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Names the test makes up: under the reserved domains ".invalid" and ".test".
bool IsTestName(std::string name)
{
    for (char& c : name)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    if (EndsWith(name, "."))
        name.pop_back();
    return name == "invalid" || EndsWith(name, ".invalid") || EndsWith(name, ".test");
}

QStringList LookUps()
{
    std::lock_guard lock(lookUpsMutex);
    QStringList names;
    for (const std::string& name : lookUps)
        names << QString::fromStdString(name);
    return names;
}

void ClearLookUps()
{
    std::lock_guard lock(lookUpsMutex);
    lookUps.clear();
}

} // namespace

extern "C" int getaddrinfo(const char* __restrict node, const char* __restrict service,
                           const struct addrinfo* __restrict hints, struct addrinfo** __restrict result)
{
    using Real = int (*)(const char*, const char*, const struct addrinfo*, struct addrinfo**);
    static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "getaddrinfo"));
    if (node) {
        std::lock_guard lock(lookUpsMutex);
        lookUps.emplace_back(node);
    }
    if (node && IsTestName(node))
        return EAI_NONAME;
    return real ? real(node, service, hints, result) : EAI_FAIL;
}

class ReservedHostTest : public QObject {
    Q_OBJECT

private slots:
    void init() { ClearLookUps(); }
    void hostCheck_data();
    void hostCheck();
    void resolverIsWatched();
    void noLookUpForReservedHost_data();
    void noLookUpForReservedHost();
    void updateCheckWithTheBuildsHost();
};

void ReservedHostTest::hostCheck_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("reserved");
    QTest::newRow("the default host") << "www.dastrel.invalid" << true;
    QTest::newRow("capitals") << "WWW.Dastrel.INVALID" << true;
    QTest::newRow("final dot") << "dastrel.invalid." << true;
    QTest::newRow("the domain itself") << "invalid" << true;
    QTest::newRow("the domain itself, final dot") << "Invalid." << true;
    QTest::newRow("invalid as a first label") << "invalid.dastrel.com" << false;
    QTest::newRow("longer top-level label") << "dastrel.invalidx" << false;
    QTest::newRow("label ending in invalid") << "notinvalid" << false;
    QTest::newRow("address") << "127.0.0.1" << false;
    QTest::newRow("localhost") << "localhost" << false;
    QTest::newRow("empty") << "" << false;
}

void ReservedHostTest::hostCheck()
{
    QFETCH(QString, host);
    QFETCH(bool, reserved);
    QCOMPARE(IsReservedInvalidHost(host), reserved);
}

// Without this, the tests below would pass with a resolver that is not
// watched at all.
void ReservedHostTest::resolverIsWatched()
{
    bool failed = false;
    try {
        PostForm("http://resolver-probe.lantrix.test:9/php/feedback.php", {"a=1"}, 5000);
    } catch (const TWebError&) {
        failed = true;
    }
    QVERIFY(failed);
    QVERIFY2(LookUps().contains("resolver-probe.lantrix.test"), qPrintable(LookUps().join(", ")));
}

void ReservedHostTest::noLookUpForReservedHost_data()
{
    QTest::addColumn<QString>("serverAddress");
    QTest::newRow("feedback page") << "www.dastrel.invalid" + QString(kFeedbackPath);
    QTest::newRow("check page") << "www.dastrel.invalid" + QString(kCheckPath);
    QTest::newRow("capitals and a final dot") << "Dastrel.INVALID./php/feedback.php";
    QTest::newRow("with a port") << "www.dastrel.invalid:8443/php/feedback.php";
}

void ReservedHostTest::noLookUpForReservedHost()
{
    QFETCH(QString, serverAddress);
    QString error;
    try {
        PostToServer(serverAddress, {"cmd=feedback", "feedback=words"}, 5000);
    } catch (const TWebError& failure) {
        error = failure.Message();
    }
    QVERIFY2(!error.isEmpty(), "The request did not fail");
    QVERIFY2(error.contains(".invalid"), qPrintable(error));
    QCOMPARE(LookUps(), QStringList());
}

// The update check of a build that was not given the maker's host ends as a
// failed request does, without a look-up.
void ReservedHostTest::updateCheckWithTheBuildsHost()
{
    if (!IsReservedInvalidHost(MakerWebHost()))
        QSKIP("This build was given the maker's host");
    QTemporaryDir root;
    QVERIFY(root.isValid());
    TCheckerEnvironment environment;
    environment.appCaption = "DASTREL - Lantrix";
    environment.appVersion = "1.2";
    environment.serverAddress = MakerWebHost() + kCheckPath;
    environment.storeFile = UpdateCheckStore::FileIn(root.filePath("config"));
    environment.today = [] { return QStringLiteral("05/01/2026"); };
    environment.machineId = [] { return QStringLiteral("0b8f6a3e-1c2d-4e5f-8a9b-0c1d2e3f4a5b"); };
    TChecker checker(environment);
    checker.start();
    QVERIFY2(checker.wait(QDeadlineTimer(60000)), "The check did not end");
    QVERIFY(checker.Finished());
    QVERIFY(!checker.UpdateAvailable);
    QVERIFY(checker.Errors.CheckError);
    QVERIFY2(checker.Errors.CheckErrorLog.startsWith("HTTPS Response:\r"), qPrintable(checker.Errors.CheckErrorLog));
    QVERIFY2(checker.Errors.CheckErrorLog.contains("HTTP Response:\r"), qPrintable(checker.Errors.CheckErrorLog));
    QCOMPARE(LookUps(), QStringList());
}

QTEST_GUILESS_MAIN(ReservedHostTest)
#include "tst_reserved_host.moc"
