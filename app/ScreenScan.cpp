#include "app/ScreenScan.h"

#include "app/ScreenshotPortal.h"
#include "localization/LanguageFiles.h"

#include <QDBusConnection>
#include <QGuiApplication>
#include <QPixmap>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#include <exception>
#include <stdexcept>

QString PortalParentWindow(WId id, const QString& platformName)
{
    return platformName == QLatin1String("xcb") ? QStringLiteral("x11:%1").arg(id, 0, 16) : QString();
}

TScreenScanner::TScreenScanner(TScreenScanView& view, QString portalBusAddress, QObject* parent)
    : QObject(parent)
    , fView(view)
    , fBusAddress(std::move(portalBusAddress))
{
}

TScreenScanner::~TScreenScanner() = default;

void TScreenScanner::Start()
{
    QDBusConnection bus = fBusAddress.isEmpty()
                              ? QDBusConnection::sessionBus()
                              : QDBusConnection::connectToBus(fBusAddress, QStringLiteral("lantrix ") + fBusAddress);
    switch (ChooseScreenshotRoad(ScreenshotPortalPresent(bus), QGuiApplication::platformName())) {
    case TScreenshotRoad::Portal:
        if (!fPortal) {
            fPortal = new TScreenshotPortal(bus, this);
            connect(fPortal, &TScreenshotPortal::Finished, this, &TScreenScanner::PortalFinished);
        }
        fPortal->Request(PortalParentWindow(fView.WindowId(), QGuiApplication::platformName()));
        break;
    case TScreenshotRoad::ScreenGrab: GrabScreen(); break;
    case TScreenshotRoad::None:
        throw std::runtime_error(
            Translate(QStringLiteral("The screen cannot be read here: the desktop offers no screenshot portal."))
                .toStdString());
    }
}

void TScreenScanner::PortalFinished(const TScreenshotOutcome& outcome)
{
    switch (outcome.status) {
    case TScreenshotOutcome::TStatus::Taken: fView.ScreenFileScanned(outcome.file); break;
    case TScreenshotOutcome::TStatus::Cancelled: break; // the user changed their mind
    case TScreenshotOutcome::TStatus::Failed: fView.ScreenFailed(outcome.message); break;
    case TScreenshotOutcome::TStatus::NoPortal:
        // A portal without a screenshot service: on X11 the screen is grabbed.
        if (ChooseScreenshotRoad(false, QGuiApplication::platformName()) == TScreenshotRoad::ScreenGrab)
            GrabScreen();
        else
            fView.ScreenFailed(outcome.message);
        break;
    }
}

void TScreenScanner::GrabScreen()
{
    const QPointer<QScreen> screen = fView.WindowScreen();
    const bool wasVisible = fView.HideForGrab();
    QTimer::singleShot(kGrabDelayMs, this, [this, screen, wasVisible] {
        const QImage shot = screen ? screen->grabWindow(0).toImage() : QImage();
        fView.ShowAfterGrab(wasVisible);
        if (shot.isNull())
            fView.ScreenFailed(Translate(QStringLiteral("The screen could not be read.")));
        else
            fView.ScreenScanned(shot);
    });
}
