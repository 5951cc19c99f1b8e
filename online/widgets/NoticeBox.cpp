#include "online/widgets/NoticeBox.h"

#include <QMessageBox>
#include <QObject>
#include <QThread>
#include <QWidget>

TNoticeBox::TNoticeBox(QWidget* owner)
    : fOwner(owner)
    , fContext(std::make_unique<QObject>())
{
}

TNoticeBox::~TNoticeBox()
{
    {
        std::lock_guard lock(fMutex);
        fCancelled = true;
    }
    fChanged.notify_all();
    delete fBox.data();
}

void TNoticeBox::Show(const QString& caption, const QString& text)
{
    std::unique_lock lock(fMutex);
    if (fCancelled)
        return;
    fDismissed = false;
    if (QThread::currentThread() == fContext->thread()) {
        // Called on the GUI thread itself: the box is raised here and waited
        // for in a loop of its own.
        lock.unlock();
        Raise(caption, text);
        if (fBox) {
            fBox->setWindowModality(Qt::ApplicationModal);
            fBox->exec();
        }
        return;
    }
    lock.unlock();
    const auto raise = [this, caption, text] { Raise(caption, text); };
    QMetaObject::invokeMethod(fContext.get(), raise, Qt::QueuedConnection);
    lock.lock();
    fChanged.wait(lock, [this] { return fDismissed || fCancelled; });
}

void TNoticeBox::Cancel()
{
    {
        std::lock_guard lock(fMutex);
        fCancelled = true;
    }
    fChanged.notify_all();
    const auto takeAway = [this] { TakeAway(); };
    if (QThread::currentThread() == fContext->thread())
        takeAway();
    else
        QMetaObject::invokeMethod(fContext.get(), takeAway, Qt::QueuedConnection);
}

void TNoticeBox::Raise(const QString& caption, const QString& text)
{
    {
        std::lock_guard lock(fMutex);
        if (fCancelled)
            return;
    }
    auto* box = new QMessageBox(fOwner.data());
    box->setObjectName(QLatin1String(kObjectName));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->setIcon(QMessageBox::Warning);
    box->setWindowTitle(caption);
    // The notice comes from outside the program: shown as it is, never as
    // rich text.
    box->setTextFormat(Qt::PlainText);
    box->setText(text);
    box->setStandardButtons(QMessageBox::Ok);
    QObject::connect(box, &QDialog::finished, fContext.get(), [this] { Dismissed(); });
    QObject::connect(box, &QObject::destroyed, fContext.get(), [this] { Dismissed(); });
    fBox = box;
    box->show();
}

void TNoticeBox::Dismissed()
{
    {
        std::lock_guard lock(fMutex);
        fDismissed = true;
    }
    fChanged.notify_all();
}

void TNoticeBox::TakeAway()
{
    if (fBox) {
        fBox->hide();
        fBox->deleteLater();
    }
}
