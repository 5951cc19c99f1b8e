// The main window's side of the update check, against servers on 127.0.0.1:
// the "Update Notifications" entry greyed until the check has finished, the
// update window when the check found an update, the entry writing
// "ShowUpdate", and quitting while the check is still under way.
#include "app/widgets/AppForm.h"
#include "online/UpdateChecker.h"
#include "online/widgets/NewVer.h"
#include "online/widgets/NoticeBox.h"
#include "support/MainWindowFixture.h"
#include "support/WebTestServers.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

const QString kToday = QStringLiteral("05/01/2026");

QByteArray Reply(const QByteArray& version, const QByteArray& notice = "")
{
    return "<version>" + version
           + "</version>\r\n<url>https://dl.dastrel.invalid/lantrix.zip</url>\r\n\r\n"
             "<result>1</result>\r\n\r\n<important>"
           + notice + "</important>\r\n";
}

QByteArray FileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QMessageBox* VisibleNoticeBox()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QLatin1String(TNoticeBox::kObjectName) && widget->isVisible())
            return qobject_cast<QMessageBox*>(widget);
    return nullptr;
}

} // namespace

Q_DECLARE_METATYPE(std::optional<int>)

class UpdateNotificationsTest : public QObject, TMainWindowFixture {
    Q_OBJECT

    TTestCertificates certificates;
    QSslConfiguration tls;

    QString StoreFile() const { return UpdateCheckStore::FileIn(configFolder); }

    // A main window whose update check asks `serverAddress` (empty: no
    // server), on the test's day, with each attempt bounded by `timeoutMs`.
    std::unique_ptr<TAppForm> MakeForm(const QString& serverAddress, int timeoutMs = kCheckTimeoutMs)
    {
        return TMainWindowFixture::MakeForm([&serverAddress, timeoutMs](TAppEnvironment& environment) {
            environment.updateCheckAddress = serverAddress;
            environment.adjustUpdateCheck = [timeoutMs](TCheckerEnvironment& check) {
                check.today = [] { return kToday; };
                check.timeoutMs = timeoutMs;
            };
        });
    }

    static bool WaitForTheCheck(TAppForm& form)
    {
        return QTest::qWaitFor([&form] { return !form.TimerChecker->isActive(); }, 90000);
    }

private slots:
    void initTestCase()
    {
        tls = certificates.Server("trusted");
        TrustExtraAuthority(certificates.AuthorityPem("trusted"));
    }
    void cleanupTestCase() { TrustExtraAuthority({}); }
    void init() { Init(); }
    void cleanup() { Cleanup(); }

    void entryAfterTheCheck_data()
    {
        QTest::addColumn<bool>("server"); // false: none
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<std::optional<int>>("showUpdate"); // stored by an earlier run
        QTest::addColumn<bool>("checked");                  // the entry's check mark afterwards
        QTest::addColumn<int>("requests");
        QTest::addColumn<bool>("window"); // the update window opened
        QTest::newRow("update found") << true << Reply("9.9") << std::optional<int>() << true << 1 << true;
        QTest::newRow("this version is current") << true << Reply("1.2") << std::optional<int>(1) << true << 1 << false;
        QTest::newRow("switched off in an earlier run")
            << true << Reply("9.9") << std::optional<int>(0) << false << 0 << false;
        QTest::newRow("no server") << false << QByteArray() << std::optional<int>() << true << 0 << false;
    }

    void entryAfterTheCheck()
    {
        QFETCH(bool, server);
        QFETCH(QByteArray, reply);
        QFETCH(std::optional<int>, showUpdate);
        QFETCH(bool, checked);
        QFETCH(int, requests);
        QFETCH(bool, window);
        if (showUpdate)
            UpdateCheckStore(StoreFile()).WriteInteger(kUpdateSection, kShowUpdate, *showUpdate);
        TTestServer secure(&tls, {.body = reply});
        auto form = MakeForm(server ? secure.Address(kCheckPath) : QString());

        // Right after the start: checked and greyed, the timer running.
        QVERIFY(form->UpdateNotifications1->isChecked());
        QVERIFY(!form->UpdateNotifications1->isEnabled());
        QVERIFY(form->TimerChecker->isActive());
        QCOMPARE(form->TimerChecker->interval(), 1000);
        QVERIFY(!form->Checker());

        QTRY_VERIFY_WITH_TIMEOUT(form->Checker(), 30000); // the first tick starts it
        QVERIFY(WaitForTheCheck(*form));
        QVERIFY(form->Checker()->Finished());
        QVERIFY(form->UpdateNotifications1->isEnabled());
        QCOMPARE(form->UpdateNotifications1->isChecked(), checked);
        QCOMPARE(secure.Requests().size(), requests);
        QCOMPARE(form->NewVer() != nullptr, window);
        if (window) {
            QTRY_VERIFY(form->NewVer()->isVisible());
            QCOMPARE(form->NewVer()->Label2->text(), QStringLiteral("Click to download Lantrix 9.9"));
        }
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
    }

    void entryWritesShowUpdate()
    {
        TTestServer secure(&tls, {.body = Reply("1.2")});
        auto form = MakeForm(secure.Address(kCheckPath));
        QTRY_VERIFY_WITH_TIMEOUT(form->UpdateNotifications1->isEnabled(), 90000);
        QVERIFY(form->UpdateNotifications1->isChecked());

        form->UpdateNotifications1->trigger();
        QVERIFY(!form->UpdateNotifications1->isChecked());
        QCOMPARE(UpdateCheckStore(StoreFile()).ReadInteger(kUpdateSection, kShowUpdate, -1), 0);
        form->UpdateNotifications1->trigger();
        QVERIFY(form->UpdateNotifications1->isChecked());
        QCOMPARE(UpdateCheckStore(StoreFile()).ReadInteger(kUpdateSection, kShowUpdate, -1), 1);
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));

        // The next start reads it.
        form->UpdateNotifications1->trigger();
        form.reset();
        auto next = MakeForm(secure.Address(kCheckPath));
        QVERIFY(WaitForTheCheck(*next));
        QVERIFY(!next->UpdateNotifications1->isChecked());
        QCOMPARE(secure.Requests().size(), 1); // only the first start asked
    }

    // Closing the program while the request waits for an answer that never
    // comes ends it long before the request's own time-outs would, and
    // nothing reaches the store.
    void quitDuringARequestThatNeverAnswers()
    {
        TTestServer silent(&tls, {.silent = true});
        const int timeoutMs = 120000; // only the quit can end the request within the test
        auto form = MakeForm(silent.Address(kCheckPath), timeoutMs);
        QTRY_COMPARE_WITH_TIMEOUT(silent.Requests().size(), 1, 60000);

        QElapsedTimer sinceQuit;
        sinceQuit.start();
        form->close();
        form.reset();
        const qint64 quitMs = sinceQuit.elapsed();
        qInfo("The window was gone %lld ms after closing", quitMs);
        QVERIFY2(quitMs < timeoutMs / 2, qPrintable(QString::number(quitMs)));
        QVERIFY(FileBytes(StoreFile()).isEmpty());
        QCOMPARE(silent.Requests().size(), 1);
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
    }

    // Closing the program while the notice waits takes the notice away; the
    // update window never comes.
    void quitWhileTheNoticeWaits()
    {
        TTestServer secure(&tls, {.body = Reply("9.9", "<b>Read me</b>")});
        auto form = MakeForm(secure.Address(kCheckPath));
        QTRY_VERIFY_WITH_TIMEOUT(VisibleNoticeBox(), 60000);
        QPointer<QMessageBox> notice = VisibleNoticeBox();
        QCOMPARE(notice->text(), QStringLiteral("<b>Read me</b>"));
        QVERIFY(!form->UpdateNotifications1->isEnabled()); // the check waits for the notice

        form->close();
        QVERIFY(!notice || !notice->isVisible());
        QElapsedTimer sinceQuit;
        sinceQuit.start();
        form.reset();
        qInfo("The window was gone %lld ms after closing", sinceQuit.elapsed());
        QVERIFY(!notice);
        for (QWidget* widget : QApplication::topLevelWidgets())
            QVERIFY2(!widget->isVisible(), qPrintable(widget->objectName()));
    }
};

QTEST_MAIN(UpdateNotificationsTest)
#include "tst_update_notifications.moc"
