// The GUI application of the targets that load pictures: Qt's image plugins
// (SVG, TIFF, WebP, ...) and the text of an SVG drawing, which needs fonts,
// want one.
#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QString>

#include <cstdlib>

// Makes the application once, on the offscreen platform, and destroys it
// when the program exits, before Qt's own globals.
//
// The order matters: the application's destructor empties the font cache,
// which holds the fonts loaded for the fallback of a character (an SVG text
// in CJK) and their fontconfig patterns. The cache lives in a global that Qt
// makes when text is first laid out; a global's destructor runs at exit
// before those of everything made earlier, so an application made earlier
// (a function's static, or one destroyed by an exit handler registered at
// once) found the cache gone and its contents leaked. Here text is laid out
// once before the exit handler is registered, so the handler runs first.
inline void StartFuzzApplication(int* argc, char*** argv)
{
    static QGuiApplication* application = nullptr;
    if (application)
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    application = new QGuiApplication(*argc, *argv);
    QFontMetrics(QFont()).horizontalAdvance(QStringLiteral("Lantrix \u6F22"));
    std::atexit([] {
        delete application;
        application = nullptr;
    });
}
