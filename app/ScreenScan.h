#pragma once

#include <QImage>
#include <QObject>
#include <QString>
#include <qwindowdefs.h>

class QScreen;
class TScreenshotPortal;
struct TScreenshotOutcome;

// The window that the portal's dialog belongs to, as the portal names it
// ("x11:<hex id>" on X11), for a window `id` on the platform `platformName`
// (QGuiApplication::platformName()); empty where the portal is not told.
QString PortalParentWindow(WId id, const QString& platformName);

// What a screen scan needs of the window that asked for it.
class TScreenScanView {
public:
    virtual ~TScreenScanView() = default;
    // The window's identifier in the window system, which the portal's
    // dialog belongs to.
    virtual WId WindowId() const = 0;
    // The screen that holds the window; null when there is none.
    virtual QScreen* WindowScreen() const = 0;
    // Takes the window off the screen for a grab, and greys the entry that
    // starts a scan; answers whether the window was shown.
    virtual bool HideForGrab() = 0;
    // After the grab: the window back if it was shown, the entry usable again.
    virtual void ShowAfterGrab(bool wasVisible) = 0;
    // Every screenshot ends in one of these, whichever way it was taken:
    // the picture (the grab's pixels, or the file the portal wrote, which
    // the decoder process reads), or why there is none, for the user. A
    // screenshot that the user cancelled ends in none of them.
    virtual void ScreenScanned(const QImage& screenshot) = 0;
    virtual void ScreenFileScanned(const QString& file) = 0;
    virtual void ScreenFailed(const QString& message) = 0;
};

// File > Scan Screen: through the desktop's screenshot portal when the bus
// offers one, else on X11 by a grab of the screen that holds the window,
// hidden for a moment.
class TScreenScanner : public QObject {
    Q_OBJECT
public:
    // `portalBusAddress`: where the portal is looked for; empty: the
    // session bus.
    TScreenScanner(TScreenScanView& view, QString portalBusAddress, QObject* parent = nullptr);
    ~TScreenScanner() override;

    // Starts a scan; its outcome comes to the view later. Raises an error
    // when the screen cannot be read on this desktop at all.
    void Start();

    // How long the window system gets to take the hidden window off the
    // screen (and a compositor to fade it out) before the screen is grabbed.
    static constexpr int kGrabDelayMs = 400;

private:
    void PortalFinished(const TScreenshotOutcome& outcome);
    void GrabScreen();

    TScreenScanView& fView;
    QString fBusAddress;
    TScreenshotPortal* fPortal = nullptr; // made at the first scan through the portal
};
