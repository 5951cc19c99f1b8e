#include "app/widgets/AppForm.h"
#include "app/widgets/ErrorHandler.h"
#include "platform/InstanceLock.h"

int main(int argc, char** argv)
{
    // Marks a running instance; a second one starts all the same.
    HoldInstanceLock(QStringLiteral("DASTREL_Lantrix"));

    TLantrixApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lantrix"));
    QApplication::setApplicationDisplayName(QStringLiteral("Lantrix"));

    TAppForm form(TAppEnvironment::ForThisProcess());
    form.show();
    return application.exec();
}
