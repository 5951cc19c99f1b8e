#include "app/ApplicationNames.h"
#include "platform/ProgramNames.h"

#include <QGuiApplication>

void NameApplication()
{
    QGuiApplication::setApplicationName(QLatin1String(kProductName));
    QGuiApplication::setDesktopFileName(QLatin1String(kApplicationId));
}
