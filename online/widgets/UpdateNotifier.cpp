#include "online/widgets/UpdateNotifier.h"

#include "online/UpdateCheckStore.h"
#include "online/UpdateChecker.h"
#include "online/widgets/NewVer.h"
#include "online/widgets/NoticeBox.h"

#include <QAction>
#include <QTimer>
#include <QWidget>

TUpdateNotifier::TUpdateNotifier(TUpdateNotifierEnvironment environment, QWidget* window, QTimer* timer, QAction* entry)
    : environment_(std::move(environment))
    , window_(window)
    , timer_(timer)
    , entry_(entry)
{
}

TUpdateNotifier::~TUpdateNotifier()
{
    // The checker goes first: its thread may still be showing the notice.
    checker_.reset();
    notice_.reset();
}

void TUpdateNotifier::TimerTick()
{
    if (!started_) {
        // The first tick starts the check; nothing else happens on it.
        Start();
        return;
    }
    if (checker_ && checker_->Finished())
        Finish();
}

void TUpdateNotifier::Start()
{
    started_ = true;
    TCheckerEnvironment environment;
    environment.appCaption = environment_.appCaption;
    environment.appVersion = environment_.appVersion;
    environment.serverAddress = environment_.serverAddress;
    environment.storeFile = UpdateCheckStore::FileIn(environment_.configFolder);
    notice_ = std::make_shared<TNoticeBox>(window_);
    environment.notice = notice_;
    if (environment_.adjustCheck)
        environment_.adjustCheck(environment);
    checker_ = std::make_unique<TChecker>(std::move(environment));
    checker_->start();
}

void TUpdateNotifier::Finish()
{
    // The check is complete: its results are read once, and the timer never
    // runs again.
    timer_->stop();
    entry_->setEnabled(true);
    if (checker_->ShowUpdateValue == 0)
        entry_->setChecked(false);
    if (checker_->UpdateAvailable) {
        TNewVerEnvironment environment;
        environment.appProductName = environment_.appProductName;
        environment.latestVersion = checker_->LatestVersion;
        environment.downloadLink = checker_->DownloadLink;
        environment.icon = window_->windowIcon();
        newVer_ = new TNewVer(std::move(environment), window_);
    }
}

void TUpdateNotifier::EntryToggled(bool checked)
{
    // The entry is usable only after the check has finished, so the store
    // is no longer the checker's.
    if (!checker_ || !checker_->Finished())
        return;
    if (UpdateCheckStore* store = checker_->Store())
        store->WriteInteger(QLatin1String(kUpdateSection), QLatin1String(kShowUpdate), checked ? 1 : 0);
}

TNewVer* TUpdateNotifier::NewVer() const
{
    return newVer_;
}

void TUpdateNotifier::Abort()
{
    if (checker_)
        checker_->Abort();
}
