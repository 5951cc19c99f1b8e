#pragma once

#include "online/UpdateCheck.h"
#include "online/UpdateCheckStore.h"

#include <QString>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>

// Shows the notice that a reply of the check may carry, and holds the
// checker until the user has dismissed it.
class TCheckNotice {
public:
    virtual ~TCheckNotice() = default;
    // Called on the checker's thread; returns once the notice is dismissed,
    // or at once when Cancel() was called (before or during the wait).
    virtual void Show(const QString& caption, const QString& text) = 0;
    // Called from another thread (the main window, when the program quits):
    // takes the notice away and lets Show() return.
    virtual void Cancel() = 0;
};

// What the checker needs from the program around it. main() and the main
// window give the real values; tests point them elsewhere.
struct TCheckerEnvironment {
    QString appCaption; // AppCaption: sent as "appname"
    QString appVersion; // AppVersion: sent as "version", compared with the reply's
    // The check page, host and path without a scheme: the maker's web host +
    // kCheckPath. Empty: there is no server, and the request fails at once
    // without sending anything.
    QString serverAddress;
    // The store's file (UpdateCheckStore::FileIn).
    QString storeFile;
    // The notice of a reply; null: a notice is not shown.
    std::shared_ptr<TCheckNotice> notice;
    // Today's date as text in the user's short date format; empty: the
    // system locale's short format of the current date.
    std::function<QString()> today;
    // The machine identifier sent as "guid"; empty: MachineId().
    std::function<QString()> machineId;
    // Each attempt's connection and response time-out.
    int timeoutMs = kCheckTimeoutMs;
};

// Today's date as text in the system locale's short date format.
QString TodayShortDate();

// The background update check, made once per run of the program: reads the
// store, asks the maker's web server for the current version at most
// kChecksPerDay times a calendar day (https first, then plain http once
// unless the server's certificate failed the check), stores what a valid
// reply says, shows its notice, and decides whether the update window is due.
//
// The results are written by the checker's thread and may be read by another
// thread only after Finished() has answered true: CheckerFinished is set as
// the very last write of a run, with release semantics, and Finished() reads
// it with acquire semantics. The owner keeps the object until the thread has
// ended; destroying it while the check runs gives the check up (Abort) and
// waits for its thread.
class TChecker : public QThread {
public:
    explicit TChecker(TCheckerEnvironment environment, QObject* parent = nullptr);
    ~TChecker() override;

    // Gives the check up, from any thread: a request in flight is aborted
    // within about a second, a notice that waits is taken away, and nothing
    // more is written to the store. The results then mean nothing.
    void Abort();
    bool Aborted() const { return fAborted.load(std::memory_order_acquire); }

    // True once the run is complete.
    bool Finished() const { return CheckerFinished.load(std::memory_order_acquire); }

    // Results of the run; read only after Finished().
    std::atomic<bool> CheckerFinished{false};
    bool UpdateAvailable = false; // the update window is due
    QString LatestVersion;        // version value of the reply
    QString DownloadLink;         // link the update window opens
    int ShowUpdateValue = 0;      // the "ShowUpdate" value the run read
    TCheckErrors Errors;          // CheckError and CheckErrorLog

    // The store the run opened; null before the run and when it could not be
    // opened. After Finished() it belongs to the thread that saw it finish.
    UpdateCheckStore* Store() const { return fStore.get(); }

protected:
    void run() override;

private:
    void Execute();
    void Check(); // the steps of a run between its start and its end
    void Record(const QString& message) { RecordCheckError(Errors, message); }
    QString Today() const;

    TCheckerEnvironment fEnvironment;
    std::unique_ptr<UpdateCheckStore> fStore;
    std::atomic<bool> fAborted{false};
};
