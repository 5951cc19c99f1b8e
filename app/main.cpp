#include "app/ApplicationNames.h"
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

    TLantrixApplication application(argc, argv);
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
