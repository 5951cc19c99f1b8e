#include "app/ApplicationNames.h"
#include "app/PictureInput.h"
#include "app/widgets/AppForm.h"
#include "app/widgets/ErrorHandler.h"
#include "capture/PixbufLoader.h"
#include "capture/widgets/CameraDialogs.h"
#include "localization/QtTranslations.h"
#include "platform/InstanceLock.h"
#include "platform/ProgramNames.h"

#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// An argument as it may go to a terminal: control characters (C0, DEL, C1)
// as the octal escapes of their bytes.
QByteArray TerminalSafe(const QString& text)
{
    QString safe;
    for (const QChar c : text) {
        if (c.category() != QChar::Other_Control) {
            safe += c; // a surrogate pair's halves stay together
            continue;
        }
        for (const char byte : QString(c).toUtf8())
            safe += u'\\' + QString::number(static_cast<unsigned char>(byte), 8).rightJustified(3, u'0');
    }
    return safe.toUtf8();
}

// An option the program does not know: said on standard error, exit 64.
int RefuseOption(const QString& option)
{
    std::fprintf(stderr, "lantrix: unknown option %s\nTry 'lantrix --help'.\n", TerminalSafe(option).constData());
    return 64;
}

// --help, -h and --version (before any "--") are answered on standard
// output without a window, as the manual page says: 0 after the text was
// written, 2 when it could not be, -1 for a run with the window.
int AnswerInformationOptions(int argc, char** argv)
{
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
            std::fputs("Usage: lantrix [PICTURE]\n"
                       "Reads QR codes and barcodes in picture files and in the frames of a webcam.\n"
                       "\n"
                       "  PICTURE        a picture file, scanned once the window is up as if\n"
                       "                 picked with Browse...\n"
                       "  -h, --help     show this text\n"
                       "  --version      show the version\n"
                       "\n"
                       "Qt's own options (-platform, -style, ...) are taken as well.\n"
                       "lantrix-scan(1) decodes pictures without a window.\n",
                       stdout);
        else if (std::strcmp(argv[i], "--version") == 0)
            std::fputs("lantrix " LANTRIX_RELEASE_VERSION "\n", stdout);
        else
            continue;
        const bool written = !std::ferror(stdout);
        if (std::fclose(stdout) == 0 && written)
            return 0;
        std::fprintf(stderr, "lantrix: write error: %s\n", std::strerror(written ? errno : EIO));
        return 2;
    }
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    if (const int answered = AnswerInformationOptions(argc, argv); answered >= 0)
        return answered;

    // Marks a running instance; a second one starts all the same.
    HoldInstanceLock(QLatin1String(kInstanceLockName));

    // An option neither Qt nor the program knows ends the run before a
    // display is needed; what is left once Qt has taken its own options is a
    // picture file, or an option that Qt's documentation lists and this Qt
    // does not take.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    if (const std::optional<QString> option = UnknownOptionBeforeQt(arguments))
        return RefuseOption(*option);
    TLantrixApplication application(argc, argv);
    if (const std::optional<QString> option = UnknownOption(QCoreApplication::arguments()))
        return RefuseOption(*option);
    NameApplication();
    QApplication::setWindowIcon(ApplicationIcon());

    // The picture loader for motion-JPEG frames is bound before the main window
    // exists and released after it has gone.
    PixbufStartup();
    InstallCameraDialogs();
    int result = 0;
    {
        TAppForm form(TAppEnvironment::ForThisProcess());
        // Qt's own dialogs and buttons in the language the window loaded.
        InstallQtTranslations();
        form.show();
        // "Open With": a picture file named on the command line is scanned
        // once the window is up. Qt has taken its own options out by now.
        QTimer::singleShot(0, &form, [&form] { form.OpenFromCommandLine(QCoreApplication::arguments()); });
        result = application.exec();
    }
    PixbufShutdown();
    return result;
}
