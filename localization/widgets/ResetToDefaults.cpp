#include "localization/widgets/ResetToDefaults.h"

#include "localization/RestartScript.h"
#include "localization/widgets/CaptionedMessageDlg.h"
#include "platform/Folders.h"

#include <QCoreApplication>
#include <QFile>

void ResetToDefaults(const QString& dataFolder, QWidget* owner, const TResetActions& actions)
{
    if (!ConfirmRestart(owner))
        return;
    QFile::remove(WithTrailingSlash(dataFolder) + QStringLiteral("settings.ini"));
    QCoreApplication::processEvents();
    if (actions.startNewInstance)
        actions.startNewInstance();
    else
        StartNewInstance(QCoreApplication::applicationFilePath());
    if (actions.terminate)
        actions.terminate();
    else
        QCoreApplication::quit();
}
