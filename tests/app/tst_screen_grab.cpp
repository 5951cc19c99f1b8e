// File > Scan Screen on X11 without a screenshot portal: the screen that
// holds the window is grabbed with Lantrix's own window hidden. Runs on an X
// server of its own (Xvfb, started before the application), with another
// window that shows a QR code right under the main window.
#include "app/AppState.h"
#include "app/widgets/AppForm.h"
#include "app/widgets/ErrorHandler.h"
#include "decode/DecodeBitmap.h"
#include "support/Samples.h"
#include "support/TestDesktop.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

#include <cstdlib>
#include <memory>

namespace {
const QString kQrText = QStringLiteral("https://lantrix.invalid/hello?from=qr");
QString gNoXvfb; // why the X11 grab cannot be tested here; empty when it can
} // namespace

class ScreenGrabTest : public QObject {
    Q_OBJECT

    QStringList errors;

private slots:
    void initTestCase()
    {
        if (!gNoXvfb.isEmpty())
            QSKIP(
                qPrintable(gNoXvfb + QStringLiteral(": the X11 screen grab is not tested (install the xvfb package)")));
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        SetExceptionSink([this](const QString& message) { errors.append(message); });
    }

    void grabsTheScreenUnderTheHiddenWindow()
    {
        QTemporaryDir root;
        QDir(root.path()).mkpath(QStringLiteral("program"));

        // Another program's window with a QR code on it.
        QLabel other;
        other.setWindowTitle(QStringLiteral("A code on the screen"));
        other.setPixmap(QPixmap::fromImage(StackPictures({LoadSample(QStringLiteral("qr_code.png"))})));
        other.setAutoFillBackground(true);
        other.setStyleSheet(QStringLiteral("background: white"));
        other.move(120, 120);
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));

        TAppEnvironment environment;
        environment.executableFile = QStringLiteral(LANTRIX_BIN_DIR "/lantrix");
        environment.executableFolder = root.filePath(QStringLiteral("program"));
        environment.configFolder = root.filePath(QStringLiteral("config"));
        environment.uiLanguage = [] { return quint16(1033); };
        environment.portalBusAddress = QStringLiteral("unix:path=/nonexistent/bus"); // no portal
        TAppForm form(environment);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.move(40, 40); // over the other window, which it covers whole
        form.raise();
        QTRY_VERIFY(form.frameGeometry().contains(other.frameGeometry()));

        // The code cannot be seen while the window is up (once it has been drawn there).
        const auto codeOnScreen = [&form] {
            QImage screen = form.screen()->grabWindow(0).toImage();
            return screen.isNull() || DecodeBitmap(screen, TBarcodeFormat::Auto).has_value();
        };
        QTRY_VERIFY_WITH_TIMEOUT(!codeOnScreen(), 10000);

        form.ScanScreen1->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!form.Memo1->toPlainText().isEmpty() || !errors.isEmpty(), 10000);
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
        QCOMPARE(form.Memo1->toPlainText(), kQrText);
        QCOMPARE(QGuiApplication::clipboard()->text(), kQrText); // and on the clipboard, as the status bar says
        QCOMPARE(form.statusBar()->currentMessage(), QStringLiteral("The text is on the clipboard."));
        QCOMPARE(form.Edit1->text(), QStringLiteral("[Screenshot]"));
        QCOMPARE(form.Image1->Picture().size(), form.screen()->size());
        QVERIFY(form.isVisible()); // back after the grab
        QVERIFY(form.ScanScreen1->isEnabled());
        QVERIFY(!QFile::exists(root.filePath(QStringLiteral("program/settings.ini"))));

        // The grab holds the other window where the main window stood.
        const QImage shot = form.Image1->Picture();
        const QPoint inside = other.geometry().topLeft() + QPoint(5, 5);
        QCOMPARE(QColor(shot.pixel(inside)), QColor(Qt::white));
    }

    void cleanupTestCase() { SetExceptionSink(nullptr); }
};

// The X server must be there before the application connects to it.
int main(int argc, char** argv)
{
    TXvfbServer xvfb;
    QString why;
    if (xvfb.Start(why)) {
        qputenv("DISPLAY", xvfb.Display().toLocal8Bit());
        qputenv("QT_QPA_PLATFORM", "xcb");
    } else {
        gNoXvfb = why;
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    ScreenGrabTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_screen_grab.moc"
