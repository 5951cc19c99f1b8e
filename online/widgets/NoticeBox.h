#pragma once

#include "online/UpdateChecker.h"

#include <QPointer>

#include <condition_variable>
#include <memory>
#include <mutex>

class QMessageBox;
class QObject;
class QWidget;

// The notice of the update check as a warning message box on the GUI thread,
// its text shown as plain text. The checker's thread hands the box over to
// the GUI thread and waits until the user has dismissed it; the program
// around it stays usable meanwhile, so the user may also quit, which takes
// the box away (Cancel) and lets the checker go on to its end.
class TNoticeBox : public TCheckNotice {
public:
    // Made on the GUI thread; the box is shown over `owner`.
    explicit TNoticeBox(QWidget* owner);
    ~TNoticeBox() override;
    TNoticeBox(const TNoticeBox&) = delete;
    TNoticeBox& operator=(const TNoticeBox&) = delete;

    void Show(const QString& caption, const QString& text) override;
    void Cancel() override;

    // The name of the box's window, for finding it.
    static constexpr char kObjectName[] = "NoticeBox";

private:
    void Raise(const QString& caption, const QString& text); // GUI thread
    void Dismissed();                                        // any thread
    void TakeAway();                                         // GUI thread

    QPointer<QWidget> fOwner;
    std::unique_ptr<QObject> fContext; // lives on the GUI thread
    QPointer<QMessageBox> fBox;        // GUI thread only

    std::mutex fMutex;
    std::condition_variable fChanged;
    bool fCancelled = false;
    bool fDismissed = false;
};
