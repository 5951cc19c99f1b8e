#include "online/widgets/UpdateNotifier.h"

#include "online/UpdateCheckStore.h"
#include "online/UpdateChecker.h"
#include "online/widgets/NewVer.h"
#include "online/widgets/NoticeBox.h"

#include <QAction>
#include <QTimer>
#include <QWidget>

TUpdateNotifier::TUpdateNotifier(TUpdateNotifierEnvironment environment, QWidget* window, QTimer* timer, QAction* entry)
    : fEnvironment(std::move(environment))
    , fWindow(window)
    , fTimer(timer)
    , fEntry(entry)
{
}

TUpdateNotifier::~TUpdateNotifier()
{
    // The checker goes first: its thread may still be showing the notice.
    fChecker.reset();
    fNotice.reset();
}

void TUpdateNotifier::TimerTick()
{
    if (!fStarted) {
        // The first tick starts the check; nothing else happens on it.
        Start();
        return;
    }
    if (fChecker && fChecker->Finished())
        Finish();
}

void TUpdateNotifier::Start()
{
    fStarted = true;
    TCheckerEnvironment environment;
    environment.appCaption = fEnvironment.appCaption;
    environment.appVersion = fEnvironment.appVersion;
    environment.serverAddress = fEnvironment.serverAddress;
    environment.storeFile = UpdateCheckStore::FileIn(fEnvironment.configFolder);
    fNotice = std::make_shared<TNoticeBox>(fWindow);
    environment.notice = fNotice;
    if (fEnvironment.adjustCheck)
        fEnvironment.adjustCheck(environment);
    fChecker = std::make_unique<TChecker>(std::move(environment));
    fChecker->start();
}

void TUpdateNotifier::Finish()
{
    // The check is complete: its results are read once, and the timer never
    // runs again.
    fTimer->stop();
    fEntry->setEnabled(true);
    if (fChecker->ShowUpdateValue == 0)
        fEntry->setChecked(false);
    if (fChecker->UpdateAvailable) {
        TNewVerEnvironment environment;
        environment.appProductName = fEnvironment.appProductName;
        environment.latestVersion = fChecker->LatestVersion;
        environment.downloadLink = fChecker->DownloadLink;
        environment.icon = fWindow->windowIcon();
        fNewVer = new TNewVer(std::move(environment), fWindow);
    }
}

void TUpdateNotifier::EntryToggled(bool checked)
{
    // The entry is usable only after the check has finished, so the store
    // is no longer the checker's.
    if (!fChecker || !fChecker->Finished())
        return;
    if (UpdateCheckStore* store = fChecker->Store())
        store->WriteInteger(QLatin1String(kUpdateSection), QLatin1String(kShowUpdate), checked ? 1 : 0);
}

TNewVer* TUpdateNotifier::NewVer() const
{
    return fNewVer;
}

void TUpdateNotifier::Abort()
{
    if (fChecker)
        fChecker->Abort();
}
