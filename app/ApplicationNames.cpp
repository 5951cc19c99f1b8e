#include "app/ApplicationNames.h"

#include <QGuiApplication>

void NameApplication()
{
    QGuiApplication::setApplicationName(QLatin1String(kApplicationName));
    QGuiApplication::setDesktopFileName(QLatin1String(kDesktopFileName));
}
