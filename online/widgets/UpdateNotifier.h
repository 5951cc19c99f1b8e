#pragma once

#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class QAction;
class QTimer;
class QWidget;
class TChecker;
class TNewVer;
class TNoticeBox;
struct TCheckerEnvironment;

// What the update check of a run is told about the program.
struct TUpdateNotifierEnvironment {
    QString appCaption;     // AppCaption
    QString appVersion;     // AppVersion
    QString appProductName; // AppProductName
    // The check page, host and path without a scheme; empty: there is no
    // server, and the check fails at once without sending anything.
    QString serverAddress;
    // The folder of the user's configuration, which holds the check's store.
    QString configFolder;
    // Changes what the check uses before it starts; empty: nothing.
    std::function<void(TCheckerEnvironment&)> adjustCheck;
};

// The update check of one run of the program, for its main window: the
// window's one-second timer starts the checker on its first tick and polls it
// on the next ones; once the check has finished, the timer stops for good,
// the "Update Notifications" entry becomes usable (unchecked when the check
// was switched off) and the update window opens when an update is due. The
// entry's toggle writes "ShowUpdate" into the check's store. GUI thread only.
class TUpdateNotifier {
public:
    // `window` owns the notice box and the update window; `timer` and
    // `entry` are its timer and its "Update Notifications" entry, all
    // outliving the notifier.
    TUpdateNotifier(TUpdateNotifierEnvironment environment, QWidget* window, QTimer* timer, QAction* entry);
    // Gives a check still under way up, ends its thread and takes its
    // notice away.
    ~TUpdateNotifier();
    TUpdateNotifier(const TUpdateNotifier&) = delete;
    TUpdateNotifier& operator=(const TUpdateNotifier&) = delete;

    // One tick of the window's timer.
    void TimerTick();
    // The entry has toggled its check mark to `checked`; the new state goes
    // into the store and takes effect at the next start.
    void EntryToggled(bool checked);
    // The program quits: a check under way is given up at once, its notice
    // taken away, and its results go nowhere.
    void Abort();

    // The checker, once the first tick has started it; the update window,
    // once the check found an update.
    TChecker* Checker() const { return fChecker.get(); }
    TNewVer* NewVer() const;

private:
    void Start();
    void Finish();

    TUpdateNotifierEnvironment fEnvironment;
    QWidget* fWindow;
    QTimer* fTimer;
    QAction* fEntry;
    bool fStarted = false;
    std::shared_ptr<TNoticeBox> fNotice;
    std::unique_ptr<TChecker> fChecker;
    QPointer<TNewVer> fNewVer; // owned by the window as a child
};
