// The GUI application of the targets that load pictures: Qt's image plugins
// (SVG, TIFF, WebP, ...) and the text of an SVG drawing, which needs fonts,
// want one.
#pragma once

#include <QGuiApplication>

// Makes the application once, on the offscreen platform. It lives until the
// process ends and is never destroyed: Qt's own globals (the font database
// among them) are destroyed at exit in the order they were made, and the
// fonts that the fallback of a character loads are released through the
// application's platform, so the application must outlive them all.
inline void StartFuzzApplication(int* argc, char*** argv)
{
    static QGuiApplication* application = nullptr;
    if (application)
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    application = new QGuiApplication(*argc, *argv);
}
