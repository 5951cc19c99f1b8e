#pragma once
// Reaching a window's controls with the keyboard and seeing where the focus
// is, in widget tests. Header-only, for test programs that link Qt Widgets.

#include <QApplication>
#include <QImage>
#include <QTest>
#include <QWidget>

// Makes a shown window the active one, as a click on it would, and waits
// until the window system says it is: true once it is.
inline bool ActivateWindow(QWidget* window)
{
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}

// Presses Tab in `window` until `control` has the focus: the number of presses
// (0 when it has it already), or -1 when it does not come within `limit`.
inline int TabUntilFocused(QWidget* window, QWidget* control, int limit = 20)
{
    if (!ActivateWindow(window))
        return -1;
    for (int presses = 0; presses <= limit; ++presses) {
        if (control->hasFocus())
            return presses;
        QWidget* at = QApplication::focusWidget() ? QApplication::focusWidget() : window;
        QTest::keyClick(at, Qt::Key_Tab);
    }
    return -1;
}

// The window as shown in a band around `control`: `outside` pixels beyond its
// edges and `inside` pixels within them (where styles draw a focus frame); the
// rest of the control is left out (white), so a blinking text cursor counts
// for nothing.
inline QImage BandAround(QWidget* window, QWidget* control, int outside = 4, int inside = 2)
{
    const QRect around(control->mapTo(window, QPoint(0, 0)), control->size());
    QImage picture = window->grab(around.adjusted(-outside, -outside, outside, outside)).toImage();
    picture = picture.convertToFormat(QImage::Format_RGB32);
    const qreal scale = picture.devicePixelRatio();
    const QRect hole(
        QPoint(int((outside + inside) * scale), int((outside + inside) * scale)),
        QSize(int((control->width() - 2 * inside) * scale), int((control->height() - 2 * inside) * scale)));
    for (int y = hole.top(); y <= hole.bottom() && y < picture.height(); ++y)
        for (int x = hole.left(); x <= hole.right() && x < picture.width(); ++x)
            picture.setPixel(x, y, 0xFFFFFFFF);
    return picture;
}
