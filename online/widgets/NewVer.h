#pragma once

#include "about/WindowDrag.h"

#include <QIcon>
#include <QLabel>
#include <QUrl>
#include <QWidget>

#include <cstdint>

class QFrame;
class QPropertyAnimation;
class QPushButton;
class QTimer;

// The seconds left before the update window closes by itself: 11 when the
// program starts, counted down by the window and never reset. GUI thread only.
extern std::int64_t CloseCountdown;

// What the update window shows and opens.
struct TNewVerEnvironment {
    QString appProductName; // AppProductName
    QString latestVersion;  // the checker's LatestVersion
    QString downloadLink;   // the checker's DownloadLink
    // Opened instead of a link that is empty or not an http or https
    // address; empty: the maker's site on the maker's web host.
    QUrl homePage;
    // Shown on the left; null: the application's icon.
    QIcon icon;
};

// The update window's link: plain underlined text that reports a click of
// the left button released over it.
class TUpdateLinkLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// "UPDATE AVAILABLE": a small borderless window, always on top, in the top
// right corner of the primary screen's available area. It grows into view
// from its centre without taking the focus, shows the download link, can be
// dragged by its plain parts, and closes by itself when CloseCountdown runs
// out. Closing only hides it.
class TNewVer : public QWidget {
    Q_OBJECT
public:
    // `mainWindow` owns the window and gets the keyboard focus back after it
    // has appeared. The window is created hidden; TimerStart shows it.
    explicit TNewVer(TNewVerEnvironment environment, QWidget* mainWindow = nullptr);
    ~TNewVer() override;

    static constexpr QSize kClientSize{320, 68};
    static constexpr int kMargin = 5;        // from the screen's top and right edges
    static constexpr int kAnimationMs = 100; // growing in, shrinking out

    // Controls, named as the window's layout names them.
    QFrame* Panel1 = nullptr;
    QLabel* Image1 = nullptr;
    QFrame* Panel3 = nullptr;
    QPushButton* Button1 = nullptr;
    QFrame* Panel2 = nullptr;
    QLabel* Label1 = nullptr;
    TUpdateLinkLabel* Label2 = nullptr;
    QTimer* TimerStart = nullptr;
    QTimer* TimerLink = nullptr;
    QTimer* TimerClose = nullptr;

    // The window's drag by the mouse (its fields dragging, dx, dy).
    TWindowDrag drag;

    // Handlers.
    void TimerStartTimer();
    void TimerLinkTimer();
    void TimerCloseTimer();
    void Label2Click();
    void Button1Click();
    void FormMouseDown(QMouseEvent* event);
    void FormMouseMove(QMouseEvent* event);
    void FormMouseUp(QMouseEvent* event);

    // Where the window stands when shown: its full size in the top right
    // corner of the primary screen's available area.
    QRect HomeGeometry() const { return fHome; }
    // The link colour for a pointer at `globalPos`: the highlight colour over
    // Label2, the window-text colour elsewhere.
    void ShowLinkColour(const QPoint& globalPos);
    // The running grow or shrink animation; null when none runs.
    QPropertyAnimation* Animation() const { return fAnimation; }

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void GiveFocusBack();
    void Animate(bool in);

    TNewVerEnvironment fEnvironment;
    QWidget* fMainWindow = nullptr;
    QRect fHome;
    QPropertyAnimation* fAnimation = nullptr;
};
