#include "app/widgets/ErrorHandler.h"

#include <QMessageBox>

namespace {
std::function<void(const QString&)>& Sink()
{
    static std::function<void(const QString&)> sink;
    return sink;
}
} // namespace

void SetExceptionSink(std::function<void(const QString&)> sink)
{
    Sink() = std::move(sink);
}

void ShowException(const QString& message)
{
    if (Sink()) {
        Sink()(message);
        return;
    }
    QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(), message, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText); // texts name cameras and files: never taken as markup
    box.exec();
}

TLantrixApplication::TLantrixApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
}

bool TLantrixApplication::notify(QObject* receiver, QEvent* event)
{
    bool handled = false;
    RunHandler([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}
