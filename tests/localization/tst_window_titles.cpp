// The titles of the secondary windows as the desktop sees them, on an X server
// of the test's own (Xvfb): exactly the window's own text, in English and in
// German, with nothing of Qt's added (no " — Lantrix" tail), while the
// application keeps the names the desktop knows it by.
#include "about/widgets/AboutBox.h"
#include "app/ApplicationNames.h"
#include "localization/LanguageFiles.h"
#include "localization/widgets/CaptionedMessageDlg.h"
#include "localization/widgets/TranslateForm.h"
#include "online/widgets/FeedbackForm.h"
#include "online/widgets/NoticeBox.h"
#include "support/ModalAnswers.h"
#include "support/TestDesktop.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <xcb/xcb.h>

#include <cstdlib>
#include <functional>
#include <memory>

namespace {

QString gNoXvfb; // why titles cannot be read from an X server here; empty when they can

xcb_atom_t Atom(xcb_connection_t* connection, const char* name)
{
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(connection, 0, uint16_t(strlen(name)), name);
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// The window's title as the X server holds it for the desktop (_NET_WM_NAME).
QString DesktopTitle(QWidget* window)
{
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !window->windowHandle())
        return QStringLiteral("<no X11 window>");
    xcb_connection_t* connection = x11->connection();
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(connection, 0, xcb_window_t(window->winId()), Atom(connection, "_NET_WM_NAME"),
                         Atom(connection, "UTF8_STRING"), 0, 1024);
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(connection, cookie, nullptr), &std::free);
    if (!reply)
        return QStringLiteral("<no title>");
    return QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(reply.get())),
                             xcb_get_property_value_length(reply.get()));
}

// The title of the next message box, read while it is shown; the box is then
// closed with its first button.
void ReadNextBoxTitle(QString& title)
{
    AnswerNextMessageBox([&title](QMessageBox* box) {
        title = DesktopTitle(box);
        box->buttons().constFirst()->click();
    });
}

} // namespace

class WindowTitleTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> shipped;

    // Opens one window and gives its title as the desktop sees it.
    using Opener = std::function<QString(QWidget* owner, const QString& shippedFolder)>;

    static QString ShownTitle(QWidget* window)
    {
        window->show();
        if (!QTest::qWaitForWindowExposed(window, 20000))
            return QStringLiteral("<not shown>");
        return DesktopTitle(window);
    }

    static TFeedbackFormEnvironment FeedbackEnvironment()
    {
        TFeedbackFormEnvironment environment;
        environment.appProductName = QStringLiteral("Lantrix");
        environment.appCaption = QStringLiteral("DASTREL - Lantrix");
        environment.appVersion = QStringLiteral("1.2");
        environment.beep = [] {};
        environment.post = [](const QString&, const FormFields&, int) { return QString(); };
        return environment;
    }

private slots:
    void initTestCase()
    {
        if (!gNoXvfb.isEmpty())
            QSKIP(qPrintable(gNoXvfb + QStringLiteral(": window titles are not read (install the xvfb package)")));
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    }

    void init() { shipped = std::make_unique<QTemporaryDir>(); }

    void cleanup()
    {
        ForgetMessageBoxAnswers();
        LanguageFolder.clear();
        LanguageFiles.clear();
        CurrentLanguage.clear();
        LanguageFilePath.clear();
        LanguageLines.clear();
        shipped.reset();
    }

    // The desktop still finds the program's entry and icon by these names.
    void applicationNames()
    {
        QCOMPARE(QGuiApplication::applicationName(), QStringLiteral("Lantrix"));
        QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral("com.dastrel.lantrix"));
    }

    void titleIsExactlyTheWindowsOwn_data()
    {
        QTest::addColumn<QString>("language"); // a shipped language file; empty: English
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("title");
        const struct {
            const char* window;
            const char* english;
            const char* german;
        } windows[] = {
            {"language window", "Language", "Sprache"},
            {"about window", "About Lantrix", "Über Lantrix"},
            {"restart question", "Confirmation", "Bestätigung"},
            {"licence not found", "License", "Lizenz"},
            {"feedback window", "Lantrix feedback", "Lantrix Feedback"},
            {"invalid e-mail address", "Failure", "Fehler"},
            {"update notice", "IMPORTANT", "WICHTIG"},
        };
        for (const auto& row : windows) {
            QTest::addRow("%s, English", row.window) << QString() << row.window << QString::fromUtf8(row.english);
            QTest::addRow("%s, German", row.window) << "German.lang.txt" << row.window << QString::fromUtf8(row.german);
        }
    }

    void titleIsExactlyTheWindowsOwn()
    {
        QFETCH(QString, language);
        QFETCH(QString, window);
        QFETCH(QString, title);
        LoadLanguage(language, LANTRIX_BIN_DIR, [] { return quint16(0); });
        QCOMPARE(CurrentLanguage, language.isEmpty() ? QString() : QStringLiteral("German"));

        QWidget owner;
        QString seen;
        if (window == "language window") {
            TTranslateFormEnvironment environment;
            TTranslateForm form(environment, &owner);
            seen = ShownTitle(&form);
        } else if (window == "about window") {
            TAboutBoxInfo info;
            info.productName = QStringLiteral("Lantrix");
            info.version = QStringLiteral("1.2");
            info.shippedFilesFolder = shipped->path();
            TAboutBox box(info, &owner);
            seen = ShownTitle(&box);
        } else if (window == "restart question") {
            ReadNextBoxTitle(seen);
            ConfirmRestart(&owner);
        } else if (window == "licence not found") {
            TAboutBoxInfo info;
            info.productName = QStringLiteral("Lantrix");
            info.version = QStringLiteral("1.2");
            info.shippedFilesFolder = shipped->path(); // no license.txt there
            TAboutBox box(info, &owner);
            box.show();
            ReadNextBoxTitle(seen);
            box.LicensePrivacyPolicy1Click();
        } else if (window == "feedback window") {
            TFeedbackForm form(FeedbackEnvironment(), &owner);
            seen = ShownTitle(&form);
        } else if (window == "invalid e-mail address") {
            TFeedbackForm form(FeedbackEnvironment(), &owner);
            form.show();
            form.Memo1->setPlainText(QStringLiteral("Reads every code I tried."));
            form.Edit1->setText(QStringLiteral("not an address"));
            ReadNextBoxTitle(seen);
            form.BitBtn1->click();
        } else if (window == "update notice") {
            TNoticeBox notice(&owner);
            ReadNextBoxTitle(seen);
            notice.Show(Translate(QStringLiteral("IMPORTANT")), QStringLiteral("A notice of the maker."));
        } else {
            QFAIL("unknown window");
        }
        QCOMPARE(seen, title);
    }
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
    NameApplication();
    WindowTitleTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_window_titles.moc"
