// The update window (placement, texts, growing in, countdown, link colour,
// the link rule, dragging) and the update check's notice box, raised on the
// GUI thread by a checker that asks a TLS server on 127.0.0.1.

#include "localization/LanguageFiles.h"
#include "online/UpdateChecker.h"
#include "online/widgets/NewVer.h"
#include "online/widgets/NoticeBox.h"
#include "support/UrlCatcher.h"
#include "support/WebTestServers.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

const QUrl kHomePage(QStringLiteral("http://www.dastrel.invalid/"));

std::unique_ptr<TNewVer>
MakeWindow(const QString& latestVersion = QStringLiteral("1.3"),
           const QString& downloadLink = QStringLiteral("https://dl.dastrel.invalid/lantrix.zip"),
           QWidget* mainWindow = nullptr)
{
    TNewVerEnvironment environment;
    environment.appProductName = QStringLiteral("Lantrix");
    environment.latestVersion = latestVersion;
    environment.downloadLink = downloadLink;
    environment.homePage = kHomePage;
    auto window = std::make_unique<TNewVer>(environment, mainWindow);
    // The tests drive the timers' handlers themselves.
    window->TimerStart->stop();
    window->TimerLink->stop();
    window->TimerClose->stop();
    return window;
}

// Shows the window as its first TimerStart tick does and waits until it has
// grown to its full size.
bool ShowFully(TNewVer& window)
{
    window.TimerStartTimer();
    return QTest::qWaitFor([&window] { return !window.Animation() && window.geometry() == window.HomeGeometry(); },
                           10000);
}

QMessageBox* VisibleNoticeBox()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QLatin1String(TNoticeBox::kObjectName) && widget->isVisible())
            return qobject_cast<QMessageBox*>(widget);
    return nullptr;
}

QByteArray Reply(const QByteArray& version, const QByteArray& notice)
{
    return "<version>" + version + "</version>\r\n<url></url>\r\n\r\n<result>1</result>\r\n\r\n<important>" + notice
           + "</important>";
}

} // namespace

class UpdateWindowTest : public QObject {
    Q_OBJECT

    TTestCertificates certificates;
    QSslConfiguration tls;

private slots:
    void initTestCase()
    {
        tls = certificates.Server("trusted");
        TrustExtraAuthority(certificates.AuthorityPem("trusted"));
    }
    void cleanupTestCase() { TrustExtraAuthority({}); }
    void cleanup()
    {
        LanguageFilePath.clear();
        LanguageLines.clear();
    }

    void placementAndLook()
    {
        QWidget mainWindow;
        mainWindow.show();
        mainWindow.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&mainWindow));
        auto window = MakeWindow(QStringLiteral("1.3"), QString(), &mainWindow);
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        const QRect home(area.x() + area.width() - 320 - 5, area.y() + 5, 320, 68);
        QCOMPARE(window->HomeGeometry(), home);
        QVERIFY(!window->isVisible()); // created hidden
        const Qt::WindowFlags flags = window->windowFlags();
        QVERIFY(flags.testFlag(Qt::FramelessWindowHint));
        QVERIFY(flags.testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(window->testAttribute(Qt::WA_ShowWithoutActivating));

        QVERIFY(ShowFully(*window));
        QVERIFY(window->isVisible());
        QCOMPARE(window->geometry(), home);
        QCOMPARE(window->Panel1->geometry(), QRect(QPoint(0, 0), home.size()));
        // The keyboard focus stays with the main window, or goes back to it.
        QTRY_COMPARE(QApplication::activeWindow(), &mainWindow);
        QVERIFY(!window->Image1->pixmap().isNull() || QApplication::windowIcon().isNull());
    }

    void growsFromItsCentre()
    {
        auto window = MakeWindow();
        window->TimerStartTimer();
        QPropertyAnimation* animation = window->Animation();
        QVERIFY(animation);
        QCOMPARE(animation->propertyName(), QByteArray("geometry"));
        QCOMPARE(animation->duration(), 100);
        const QRect home = window->HomeGeometry();
        QCOMPARE(animation->startValue().toRect(), QRect(home.center(), QSize(1, 1)));
        QCOMPARE(animation->endValue().toRect(), home);
        QVERIFY(!window->TimerStart->isActive()); // one tick only
        QTRY_COMPARE(window->geometry(), home);
    }

    void texts()
    {
        LanguageFilePath = QStringLiteral("/opt/Lantrix/Languages/German.lang.txt");
        LanguageLines = {QStringLiteral("{UPDATE AVAILABLE}AKTUALISIERUNG VERF\u00DCGBAR"),
                         QStringLiteral("{Click to download}Herunterladen:")};
        // The version comes from the server: shown as it is.
        auto window = MakeWindow(QStringLiteral("<b>1.3</b><img src=x>"));
        QCOMPARE(window->Label1->text(), QStringLiteral("AKTUALISIERUNG VERF\u00DCGBAR"));
        QCOMPARE(window->Label2->text(), QStringLiteral("Herunterladen: Lantrix <b>1.3</b><img src=x>"));
        QCOMPARE(window->Label1->textFormat(), Qt::PlainText);
        QCOMPARE(window->Label2->textFormat(), Qt::PlainText);
        QVERIFY(window->Label2->font().underline());
        QVERIFY(window->Label1->font().bold());
        QCOMPARE(window->Label2->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(window->Button1->cursor().shape(), Qt::PointingHandCursor);
    }

    void countdown()
    {
        auto window = MakeWindow();
        QVERIFY(ShowFully(*window));
        CloseCountdown = 3;
        window->TimerCloseTimer();
        window->TimerCloseTimer();
        QCOMPARE(CloseCountdown, 1);
        QVERIFY(window->isVisible());
        window->TimerCloseTimer();
        QCOMPARE(CloseCountdown, 0);
        QVERIFY(window->Animation()); // shrinking to its centre
        QCOMPARE(window->Animation()->endValue().toRect(), QRect(window->HomeGeometry().center(), QSize(1, 1)));
        QTRY_VERIFY(!window->isVisible());
        QPointer<TNewVer> still(window.get());
        QTest::qWait(50);
        QVERIFY(still); // hidden, not destroyed

        // The count is the process's: a later window does not start it anew.
        auto later = MakeWindow();
        QCOMPARE(CloseCountdown, 0);
    }

    void closesByItselfOnTheRunningTimer()
    {
        CloseCountdown = 2;
        TNewVerEnvironment environment;
        environment.latestVersion = QStringLiteral("1.3");
        environment.homePage = kHomePage;
        TNewVer window(environment);
        QVERIFY(window.TimerClose->isActive());
        QCOMPARE(window.TimerClose->interval(), 1000);
        QTRY_VERIFY(window.isVisible()); // TimerStart shows it
        QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 30000);
        QCOMPARE(CloseCountdown, 0);
        QVERIFY(!window.TimerClose->isActive());
    }

    void linkColourUnderTheMouse()
    {
        auto window = MakeWindow();
        QVERIFY(ShowFully(*window));
        const QPalette standard = QApplication::palette();
        window->ShowLinkColour(window->Label2->mapToGlobal(window->Label2->rect().center()));
        QCOMPARE(window->Label2->palette().color(QPalette::WindowText), standard.color(QPalette::Highlight));
        window->ShowLinkColour(window->Label1->mapToGlobal(window->Label1->rect().center()));
        QCOMPARE(window->Label2->palette().color(QPalette::WindowText), standard.color(QPalette::WindowText));

        // The timer reads the pointer itself.
        QCursor::setPos(window->Label2->mapToGlobal(window->Label2->rect().center()));
        if (QCursor::pos() != window->Label2->mapToGlobal(window->Label2->rect().center()))
            QSKIP("The platform does not move the pointer");
        window->TimerLinkTimer();
        QCOMPARE(window->Label2->palette().color(QPalette::WindowText), standard.color(QPalette::Highlight));
        QCursor::setPos(window->geometry().bottomRight() + QPoint(50, 50));
        window->TimerLinkTimer();
        QCOMPARE(window->Label2->palette().color(QPalette::WindowText), standard.color(QPalette::WindowText));
    }

    void linkRule_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QUrl>("opened");
        QTest::newRow("https") << "https://dl.dastrel.invalid/lantrix-1.3.zip"
                               << QUrl("https://dl.dastrel.invalid/lantrix-1.3.zip");
        QTest::newRow("http") << "http://dl.dastrel.invalid/get?v=1.3" << QUrl("http://dl.dastrel.invalid/get?v=1.3");
        QTest::newRow("empty: the home page") << "" << kHomePage;
        QTest::newRow("file") << "file:///etc/passwd" << kHomePage;
        QTest::newRow("javascript") << "javascript:alert(1)" << kHomePage;
        QTest::newRow("ftp") << "ftp://dl.dastrel.invalid/x.zip" << kHomePage;
        QTest::newRow("no scheme") << "dl.dastrel.invalid/x.zip" << kHomePage;
    }

    void linkRule()
    {
        QFETCH(QString, link);
        QFETCH(QUrl, opened);
        TUrlCatcher catcher({"http", "https", "file", "javascript", "ftp", "mailto", "data"});
        auto window = MakeWindow(QStringLiteral("1.3"), link);
        QVERIFY(ShowFully(*window));
        QTest::mouseClick(window->Label2, Qt::RightButton);
        QCOMPARE(catcher.urls.size(), 0);
        QVERIFY(window->isVisible());
        QTest::mouseClick(window->Label2, Qt::LeftButton);
        QCOMPARE(catcher.urls, QList<QUrl>{opened});
        QVERIFY(!window->isVisible()); // the link closes the window
    }

    void closeButton()
    {
        TUrlCatcher catcher({"http", "https"});
        auto window = MakeWindow();
        QVERIFY(ShowFully(*window));
        QTest::mouseClick(window->Button1, Qt::LeftButton);
        QVERIFY(!window->isVisible());
        QVERIFY(catcher.urls.isEmpty());
        QVERIFY(!window->TimerClose->isActive());
    }

    void dragging_data()
    {
        QTest::addColumn<QString>("part"); // the object name; empty: the window itself
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("moves");
        QTest::newRow("Panel1, left button") << "Panel1" << int(Qt::LeftButton) << true;
        QTest::newRow("Panel1, middle button") << "Panel1" << int(Qt::MiddleButton) << true;
        QTest::newRow("Panel1, right button") << "Panel1" << int(Qt::RightButton) << false;
        QTest::newRow("Image1") << "Image1" << int(Qt::LeftButton) << true;
        QTest::newRow("Label1") << "Label1" << int(Qt::LeftButton) << true;
        QTest::newRow("Panel3") << "Panel3" << int(Qt::LeftButton) << true;
        QTest::newRow("Label2 does not drag") << "Label2" << int(Qt::LeftButton) << false;
        QTest::newRow("Panel2 does not drag") << "Panel2" << int(Qt::LeftButton) << false;
    }

    void dragging()
    {
        QFETCH(QString, part);
        QFETCH(int, button);
        QFETCH(bool, moves);
        TUrlCatcher catcher({"http", "https"}); // a press and release on Label2 is a click
        auto window = MakeWindow();
        QVERIFY(ShowFully(*window));
        auto* widget = window->findChild<QWidget*>(part);
        QVERIFY(widget);
        // A point of the part that no child of it covers.
        QPoint at = widget->rect().center();
        if (part == QLatin1String("Panel3"))
            at = QPoint(widget->width() / 2, widget->height() - 5);
        else if (part == QLatin1String("Panel1"))
            at = QPoint(1, widget->height() / 2);
        // Label1 and Label2 cover Panel2 wholly: the press is sent to it all
        // the same, as one that reached it would be.
        if (part != QLatin1String("Panel2"))
            QCOMPARE(widget->childAt(at), nullptr);

        const QPoint start = window->pos();
        const auto mouseButton = Qt::MouseButton(button);
        auto send = [&](QEvent::Type type, const QPoint& local, Qt::MouseButton which, Qt::MouseButtons held) {
            QMouseEvent event(type, local, widget->mapToGlobal(local), which, held, Qt::NoModifier);
            QApplication::sendEvent(widget, &event);
        };
        send(QEvent::MouseButtonPress, at, mouseButton, mouseButton);
        send(QEvent::MouseMove, at + QPoint(-30, 12), Qt::NoButton, mouseButton);
        // The window has moved under the pointer: the next point is where the
        // pointer is now, in the part's new coordinates.
        send(QEvent::MouseMove, at + QPoint(-30, 12) - (window->pos() - start) + QPoint(-10, 3), Qt::NoButton,
             mouseButton);
        send(QEvent::MouseButtonRelease, at, mouseButton, Qt::NoButton);
        QCOMPARE(window->pos(), moves ? start + QPoint(-40, 15) : start);
        QVERIFY(!window->drag.dragging);

        // After the release a move no longer drags.
        const QPoint after = window->pos();
        send(QEvent::MouseMove, at + QPoint(25, 25), Qt::NoButton, Qt::NoButton);
        QCOMPARE(window->pos(), after);
    }

    // ---- The notice box -----------------------------------------------------------

    void noticeShownAsPlainText_data()
    {
        QTest::addColumn<QByteArray>("notice");
        QTest::newRow("markup") << QByteArray("<b>Bold</b> <a href=\"http://evil.invalid/\">here</a><img src=\"x\">");
        QTest::newRow("entities") << QByteArray("Fish &amp; chips &lt;b&gt;");
        QTest::newRow("plain words") << QByteArray("Server maintenance on Monday.");
    }

    void noticeShownAsPlainText()
    {
        QFETCH(QByteArray, notice);
        QTemporaryDir root;
        TTestServer server(&tls, {.body = Reply("1.3", notice)});
        QWidget owner;
        owner.show();
        auto box = std::make_shared<TNoticeBox>(&owner);
        TCheckerEnvironment environment;
        environment.appVersion = QStringLiteral("1.2");
        environment.serverAddress = server.Address("/php/check2.php");
        environment.storeFile = UpdateCheckStore::FileIn(root.filePath("config"));
        environment.today = [] { return QStringLiteral("05/01/2026"); };
        environment.notice = box;
        TChecker checker(environment);
        checker.start();

        QTRY_VERIFY_WITH_TIMEOUT(VisibleNoticeBox(), 60000);
        QMessageBox* shown = VisibleNoticeBox();
        QCOMPARE(shown->windowTitle(), QStringLiteral("IMPORTANT"));
        QCOMPARE(shown->icon(), QMessageBox::Warning);
        QCOMPARE(shown->textFormat(), Qt::PlainText);
        QCOMPARE(shown->text(), QString::fromUtf8(notice));
        auto* label = shown->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        QVERIFY(label);
        QCOMPARE(label->textFormat(), Qt::PlainText);
        QCOMPARE(label->text(), QString::fromUtf8(notice));
        // The rest of the program stays usable while the checker waits.
        QCOMPARE(shown->windowModality(), Qt::NonModal);
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(!checker.Finished());

        shown->button(QMessageBox::Ok)->click();
        QTRY_VERIFY_WITH_TIMEOUT(checker.Finished(), 60000);
        QVERIFY(checker.UpdateAvailable);
        QVERIFY(checker.wait(QDeadlineTimer(60000)));
    }

    void noticeTakenAwayOnQuitting()
    {
        QTemporaryDir root;
        TTestServer server(&tls, {.body = Reply("1.3", "Read me")});
        QWidget owner;
        owner.show();
        auto box = std::make_shared<TNoticeBox>(&owner);
        TCheckerEnvironment environment;
        environment.appVersion = QStringLiteral("1.2");
        environment.serverAddress = server.Address("/php/check2.php");
        environment.storeFile = UpdateCheckStore::FileIn(root.filePath("config"));
        environment.notice = box;
        auto checker = std::make_unique<TChecker>(environment);
        checker->start();
        QTRY_VERIFY_WITH_TIMEOUT(VisibleNoticeBox(), 60000);
        QPointer<QMessageBox> shown = VisibleNoticeBox();

        checker.reset(); // gives the check up and waits for its thread
        QVERIFY(!shown || !shown->isVisible());
        QTRY_VERIFY(!shown);
    }
};

QTEST_MAIN(UpdateWindowTest)
#include "tst_update_window.moc"
