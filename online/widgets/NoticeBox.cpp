#include "online/widgets/NoticeBox.h"

#include <QMessageBox>
#include <QObject>
#include <QThread>
#include <QWidget>

TNoticeBox::TNoticeBox(QWidget* owner)
    : owner_(owner)
    , context_(std::make_unique<QObject>())
{
}

TNoticeBox::~TNoticeBox()
{
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
    }
    changed_.notify_all();
    delete box_.data();
}

void TNoticeBox::Show(const QString& caption, const QString& text)
{
    std::unique_lock lock(mutex_);
    if (cancelled_)
        return;
    dismissed_ = false;
    if (QThread::currentThread() == context_->thread()) {
        // Called on the GUI thread itself: the box is raised here and waited
        // for in a loop of its own.
        lock.unlock();
        Raise(caption, text);
        if (box_) {
            box_->setWindowModality(Qt::ApplicationModal);
            box_->exec();
        }
        return;
    }
    lock.unlock();
    QMetaObject::invokeMethod(
        context_.get(), [this, caption, text] { Raise(caption, text); }, Qt::QueuedConnection);
    lock.lock();
    changed_.wait(lock, [this] { return dismissed_ || cancelled_; });
}

void TNoticeBox::Cancel()
{
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
    }
    changed_.notify_all();
    if (QThread::currentThread() == context_->thread())
        TakeAway();
    else
        QMetaObject::invokeMethod(
            context_.get(), [this] { TakeAway(); }, Qt::QueuedConnection);
}

void TNoticeBox::Raise(const QString& caption, const QString& text)
{
    {
        std::lock_guard lock(mutex_);
        if (cancelled_)
            return;
    }
    auto* box = new QMessageBox(owner_.data());
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
    QObject::connect(box, &QDialog::finished, context_.get(), [this] { Dismissed(); });
    QObject::connect(box, &QObject::destroyed, context_.get(), [this] { Dismissed(); });
    box_ = box;
    box->show();
}

void TNoticeBox::Dismissed()
{
    {
        std::lock_guard lock(mutex_);
        dismissed_ = true;
    }
    changed_.notify_all();
}

void TNoticeBox::TakeAway()
{
    if (box_) {
        box_->hide();
        box_->deleteLater();
    }
}
