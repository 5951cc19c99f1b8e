#include "app/ApplicationNames.h"
#include "app/widgets/AppForm.h"
#include "app/widgets/ErrorHandler.h"
#include "capture/PixbufLoader.h"
#include "capture/widgets/CameraDialogs.h"
#include "localization/QtTranslations.h"
#include "platform/InstanceLock.h"

#include <QTimer>

int main(int argc, char** argv)
{
    // Marks a running instance; a second one starts all the same.
    HoldInstanceLock(QStringLiteral("DASTREL_Lantrix"));

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
