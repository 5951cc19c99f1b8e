#pragma once

#include <QApplication>
#include <QString>

#include <exception>
#include <functional>

// The program's default error handler: an error that a handler does not catch
// is shown in an error message box, and the program goes on.
void ShowException(const QString& message);

// Where ShowException sends its text; null restores the message box. Tests
// collect the messages here instead of answering message boxes.
void SetExceptionSink(std::function<void(const QString&)> sink);

// Runs a handler and passes any error it raises to ShowException.
template <class Handler>
void RunHandler(Handler&& handler)
{
    try {
        handler();
    } catch (const std::exception& error) {
        ShowException(QString::fromUtf8(error.what()));
    } catch (...) {
        ShowException(QStringLiteral("Unknown error"));
    }
}

// The application object: it catches what escapes any event handler and shows it.
class TLantrixApplication : public QApplication {
public:
    TLantrixApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
