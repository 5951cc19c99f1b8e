// The screenshot portal's request and response, against a stand-in portal on
// a private session bus that the test starts: the client's side of the
// protocol, and File > Scan Screen in the main window with a taken, a
// cancelled and a failed screenshot.
#include "app/ScreenshotPortal.h"
#include "app/widgets/AppForm.h"
#include "support/MainWindowFixture.h"
#include "support/Samples.h"
#include "support/TestDesktop.h"

#include <QAction>
#include <QClipboard>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QUrl>

#include <memory>

namespace {
const QString kSamples = QStringLiteral(LANTRIX_SOURCE_DIR "/samples");
const QString kQrText = QStringLiteral("https://lantrix.invalid/hello?from=qr");
const QColor kLime(0, 255, 0);
} // namespace

// The desktop's side: org.freedesktop.portal.Screenshot as the portal
// documents it. A call gets the path of its Request object at once; the
// Response signal follows from that object.
class StandInPortal : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")
public:
    explicit StandInPortal(QDBusConnection bus)
        : fBus(std::move(bus))
    {
    }

    // How the next calls are answered.
    uint response = 0;
    QVariantMap results;
    QString errorName;               // non-empty: the call fails with this error
    bool ownRequestPath = false;     // reply with a path of its own, as portals before 0.9 did
    bool strayResponseFirst = false; // first a Response for another client's request
    bool holdResponse = false;       // the Response waits for ReleaseResponse(), as for a user's answer

    // What the calls brought.
    struct Call {
        QString sender, parentWindow, requestPath;
        QVariantMap options;
    };
    QList<Call> calls;
    int responsesSent = 0;

public slots:
    QDBusObjectPath Screenshot(const QString& parentWindow, const QVariantMap& options)
    {
        Call call{message().service(), parentWindow, QString(), options};
        if (!errorName.isEmpty()) {
            calls.append(call);
            sendErrorReply(errorName, QStringLiteral("The stand-in says no."));
            return {};
        }
        call.requestPath =
            ownRequestPath ? QStringLiteral("/org/freedesktop/portal/desktop/request/standin/r%1").arg(calls.size())
                           : PortalRequestPath(call.sender, options.value(QStringLiteral("handle_token")).toString());
        calls.append(call);
        fHeldPath = call.requestPath;
        if (!holdResponse)
            QTimer::singleShot(0, this, &StandInPortal::ReleaseResponse);
        return QDBusObjectPath(call.requestPath);
    }

public:
    void ReleaseResponse()
    {
        if (strayResponseFirst)
            SendResponse(PortalRequestPath(QStringLiteral(":1.9999"), QStringLiteral("other")), 2, {});
        SendResponse(fHeldPath, response, results);
    }

private:
    void SendResponse(const QString& path, uint code, const QVariantMap& values)
    {
        QDBusMessage signal = QDBusMessage::createSignal(path, QStringLiteral("org.freedesktop.portal.Request"),
                                                         QStringLiteral("Response"));
        signal << code << values;
        fBus.send(signal);
        ++responsesSent;
    }

    QDBusConnection fBus;
    QString fHeldPath;
};

class ScreenshotPortalTest : public QObject, TMainWindowFixture {
    Q_OBJECT

    TPrivateSessionBus bus;
    std::unique_ptr<QDBusConnection> portalSide;
    std::unique_ptr<StandInPortal> standIn;
    QString screenshotUri;

    // A window that looks for the screenshot portal at `portalBus`.
    std::unique_ptr<TAppForm> MakeForm(const QString& portalBus)
    {
        return TMainWindowFixture::MakeForm(
            [&portalBus](TAppEnvironment& environment) { environment.portalBusAddress = portalBus; });
    }

    QDBusConnection Client() { return QDBusConnection::connectToBus(bus.Address(), QStringLiteral("client")); }

    // Waits for the outcome of a Scan Screen in the window, whatever it is.
    static bool WaitForPortal(TAppForm& form)
    {
        auto* portal = form.findChild<TScreenshotPortal*>();
        if (!portal)
            return false;
        QSignalSpy finished(portal, &TScreenshotPortal::Finished);
        return finished.wait(10000);
    }

private slots:
    void initTestCase()
    {
        QString why;
        if (!bus.Start(why))
            QSKIP(qPrintable(why + QStringLiteral(": the portal is not tested (install the dbus-daemon package)")));
        portalSide = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(bus.Address(), QStringLiteral("stand-in portal")));
        QVERIFY(portalSide->isConnected());
        standIn = std::make_unique<StandInPortal>(*portalSide);
        QVERIFY(portalSide->registerObject(QLatin1String(kPortalPath), standIn.get(), QDBusConnection::ExportAllSlots));
        QVERIFY(portalSide->registerService(QLatin1String(kPortalService)));
        QVERIFY(Client().isConnected());
    }

    void init()
    {
        Init();
        // Where the desktop saved the screenshot: a screen with a code on it.
        const QString file = root->filePath(QStringLiteral("Screenshot from today.png"));
        QVERIFY(SceneWithCode(800, 600, LoadSample(QStringLiteral("qr_code.png")), 300, 150).save(file));
        screenshotUri = QUrl::fromLocalFile(file).toString();
        if (standIn) {
            standIn->response = 0;
            standIn->results = {{QStringLiteral("uri"), screenshotUri}};
            standIn->errorName.clear();
            standIn->ownRequestPath = false;
            standIn->strayResponseFirst = false;
            standIn->holdResponse = false;
            standIn->calls.clear();
            standIn->responsesSent = 0;
        }
    }

    void cleanup() { Cleanup(); }

    // ---- The client's side of the protocol --------------------------------

    void portalIsFound()
    {
        QVERIFY(ScreenshotPortalPresent(Client()));
        QVERIFY(!ScreenshotPortalPresent(
            QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("nowhere"))));
    }

    void requestAndResponse_data()
    {
        QTest::addColumn<bool>("ownRequestPath");
        QTest::addColumn<bool>("strayResponseFirst");
        QTest::newRow("path from the token") << false << false;
        QTest::newRow("another request's response is not ours") << false << true;
        QTest::newRow("portal chooses the path") << true << false;
    }

    void requestAndResponse()
    {
        QFETCH(bool, ownRequestPath);
        QFETCH(bool, strayResponseFirst);
        standIn->ownRequestPath = ownRequestPath;
        standIn->strayResponseFirst = strayResponseFirst;
        standIn->holdResponse = ownRequestPath;
        QDBusConnection client = Client();
        TScreenshotPortal portal(client);
        QSignalSpy finished(&portal, &TScreenshotPortal::Finished);
        portal.Request(QStringLiteral("x11:4a0001f"));
        QVERIFY(portal.Pending());
        const QString listenedFirst = portal.RequestPath();
        if (ownRequestPath) {
            // The client moves to the path that the reply names; the user answers after that.
            QTRY_VERIFY(!standIn->calls.isEmpty() && portal.RequestPath() == standIn->calls.first().requestPath);
            QVERIFY(client.interface()->isServiceRegistered(QLatin1String(kPortalService))); // a round trip
            standIn->ReleaseResponse();
        }

        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.size(), 1);
        QCOMPARE(standIn->calls.size(), 1);
        const StandInPortal::Call call = standIn->calls.first();
        QCOMPARE(call.sender, client.baseService());
        QCOMPARE(call.parentWindow, QStringLiteral("x11:4a0001f"));
        QCOMPARE(call.options.value(QStringLiteral("interactive")), QVariant(true));
        const QString token = call.options.value(QStringLiteral("handle_token")).toString();
        QVERIFY(!token.isEmpty());
        QVERIFY2(QRegularExpression(QStringLiteral("^[A-Za-z0-9_]+$")).match(token).hasMatch(), qPrintable(token));
        // Listening began before the call, on the path that the token gives.
        QCOMPARE(listenedFirst, PortalRequestPath(client.baseService(), token));
        QVERIFY(!portal.Pending());

        const auto outcome = finished.first().first().value<TScreenshotOutcome>();
        QCOMPARE(int(outcome.status), int(TScreenshotOutcome::TStatus::Taken));
        QCOMPARE(outcome.file, QUrl(screenshotUri).toLocalFile());
        QCOMPARE(standIn->responsesSent, strayResponseFirst ? 2 : 1);

        // A second request takes a token of its own.
        standIn->holdResponse = false;
        standIn->ownRequestPath = false;
        portal.Request(QString());
        QVERIFY(finished.wait(10000));
        const QString second = standIn->calls.last().options.value(QStringLiteral("handle_token")).toString();
        QVERIFY(second != token);
        QCOMPARE(standIn->calls.last().parentWindow, QString());
    }

    void outcomes_data()
    {
        QTest::addColumn<uint>("response");
        QTest::addColumn<QString>("errorName");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        using S = TScreenshotOutcome::TStatus;
        QTest::newRow("cancelled by the user") << 1u << "" << int(S::Cancelled) << "";
        QTest::newRow("failed") << 2u << "" << int(S::Failed) << "The screenshot could not be taken.";
        QTest::newRow("call refused") << 0u << "org.freedesktop.portal.Error.NotAllowed" << int(S::Failed)
                                      << "The screenshot could not be taken.\nThe stand-in says no.";
        QTest::newRow("no screenshot service") << 0u << "org.freedesktop.DBus.Error.UnknownMethod" << int(S::NoPortal)
                                               << "The screenshot could not be taken.\nThe stand-in says no.";
    }

    void outcomes()
    {
        QFETCH(uint, response);
        QFETCH(QString, errorName);
        QFETCH(int, status);
        QFETCH(QString, message);
        standIn->response = response;
        standIn->errorName = errorName;
        TScreenshotPortal portal(Client());
        QSignalSpy finished(&portal, &TScreenshotPortal::Finished);
        portal.Request(QString());
        QVERIFY(finished.wait(10000));
        const auto outcome = finished.first().first().value<TScreenshotOutcome>();
        QCOMPARE(int(outcome.status), status);
        QCOMPARE(outcome.message, message);
        QVERIFY(outcome.file.isEmpty());
        QVERIFY(!portal.Pending());
    }

    // ---- File > Scan Screen in the window ---------------------------------

    void scanScreenThroughThePortal()
    {
        auto form = MakeForm(bus.Address());
        form->PageControl1->blockSignals(true); // started from the webcam tab, without a camera search
        form->PageControl1->setCurrentIndex(1);
        form->PageControl1->blockSignals(false);
        form->ScanScreen1->trigger();
        QVERIFY(WaitForPortal(*form));
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
        QCOMPARE(standIn->calls.size(), 1);
        QCOMPARE(standIn->calls.first().options.value(QStringLiteral("interactive")), QVariant(true));
        QCOMPARE(form->PageControl1->currentIndex(), 0);
        QCOMPARE(form->Edit1->text(), QStringLiteral("[Screenshot]"));
        QCOMPARE(form->Image1->Picture().size(), QSize(800, 600));
        QCOMPARE(form->Memo1->toPlainText(), kQrText);
        QCOMPARE(form->Memo1->palette().color(QPalette::Base), kLime);
        QCOMPARE(QGuiApplication::clipboard()->text(), kQrText); // and on the clipboard, as the status bar says
        QCOMPARE(form->statusBar()->currentMessage(), QStringLiteral("The text is on the clipboard."));
        QVERIFY(form->isVisible());              // the portal takes the screen as the user sees it
        QVERIFY(!QFile::exists(SettingsFile())); // a pasted picture: nothing remembered
    }

    void cancelledOrFailedScanChangesNothing_data()
    {
        QTest::addColumn<uint>("response");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("cancelled") << 1u << QStringList();
        QTest::newRow("failed") << 2u << QStringList{QStringLiteral("The screenshot could not be taken.")};
    }

    void cancelledOrFailedScanChangesNothing()
    {
        QFETCH(uint, response);
        QFETCH(QStringList, messages);
        auto form = MakeForm(bus.Address());
        answers = {kSamples + QStringLiteral("/code_128.png")};
        form->ButtonBrowse->click();
        QCOMPARE(form->Memo1->toPlainText(), QStringLiteral("LANTRIX-128-Sample"));
        const QImage before = form->Image1->Picture();
        const QString path = form->Edit1->text();

        standIn->response = response;
        form->ScanScreen1->trigger();
        QVERIFY(WaitForPortal(*form));
        QCOMPARE(errors, messages);
        QCOMPARE(form->Edit1->text(), path);
        QCOMPARE(form->Image1->Picture(), before);
        QCOMPARE(form->Memo1->toPlainText(), QStringLiteral("LANTRIX-128-Sample"));
        QCOMPARE(form->Memo1->palette().color(QPalette::Base), kLime);
    }

    // The portal's picture file cannot be read: the loader's error.
    void screenshotFileThatCannotBeRead()
    {
        standIn->results = {{QStringLiteral("uri"), QUrl::fromLocalFile(root->filePath("gone.png")).toString()}};
        auto form = MakeForm(bus.Address());
        form->ScanScreen1->trigger();
        QVERIFY(WaitForPortal(*form));
        QCOMPARE(errors.size(), 1);
        QCOMPARE(form->Edit1->text(), QStringLiteral("[None]"));
    }

    // Without a portal, and with no X11 screen to grab (offscreen here), the
    // user is told why nothing happens.
    void noPortalAndNoScreenToGrab()
    {
        auto form = MakeForm(QStringLiteral("unix:path=/nonexistent/bus"));
        form->ScanScreen1->trigger();
        QCOMPARE(errors, QStringList{QStringLiteral(
                             "The screen cannot be read here: the desktop offers no screenshot portal.")});
        QVERIFY(form->isVisible());
        QCOMPARE(standIn->calls.size(), 0);
    }
};

QTEST_MAIN(ScreenshotPortalTest)
#include "tst_screenshot_portal.moc"
