#pragma once
// Answers modal dialogs in widget tests: waits for the next message box to be
// shown, hands it to the test, and lets the test press one of its buttons.
// Header-only, for test programs that link Qt Widgets.

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <functional>

// Calls `answer` with the first message box that becomes the active modal
// window from now on; the answer must close it (press a button, close it).
// An answer that no box took stays waiting until ForgetMessageBoxAnswers().
inline void AnswerNextMessageBox(std::function<void(QMessageBox*)> answer)
{
    auto* poll = new QTimer(qApp);
    poll->setObjectName(QStringLiteral("MessageBoxAnswer"));
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, answer = std::move(answer)] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        answer(box);
    });
    poll->start();
}

// Drops the answers that no message box took; for a test's cleanup.
inline void ForgetMessageBoxAnswers()
{
    for (QTimer* poll : qApp->findChildren<QTimer*>(QStringLiteral("MessageBoxAnswer"), Qt::FindDirectChildrenOnly))
        delete poll;
}

// The button of a message box that shows `text` (access-key marks ignored);
// null when there is none.
inline QAbstractButton* MessageBoxButton(QMessageBox* box, const QString& text)
{
    for (QAbstractButton* button : box->buttons())
        if (QString(button->text()).remove(QLatin1Char('&')) == text)
            return button;
    return nullptr;
}
