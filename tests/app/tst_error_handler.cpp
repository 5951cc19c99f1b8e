// The application's default error handler: an error that escapes an event
// handler is shown with its text, and the event loop goes on.
#include "app/widgets/ErrorHandler.h"

#include <QEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <stdexcept>

namespace {

const QEvent::Type kThrowEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class Thrower : public QObject {
public:
    int handled = 0;
    bool event(QEvent* event) override
    {
        if (event->type() != kThrowEvent)
            return QObject::event(event);
        ++handled;
        throw std::runtime_error("Event handler failed");
    }
};

} // namespace

class ErrorHandlerTest : public QObject {
    Q_OBJECT
    QStringList shown;

private slots:
    void init()
    {
        shown.clear();
        SetExceptionSink([this](const QString& text) { shown.append(text); });
    }
    void cleanup() { SetExceptionSink(nullptr); }

    void errorFromAnEventIsShownAndTheLoopGoesOn()
    {
        Thrower thrower;
        QCoreApplication::postEvent(&thrower, new QEvent(kThrowEvent));
        QCoreApplication::postEvent(&thrower, new QEvent(kThrowEvent));
        QTRY_COMPARE(thrower.handled, 2);
        QCOMPARE(shown, (QStringList{"Event handler failed", "Event handler failed"}));
    }

    void errorFromATimerSlotIsShown()
    {
        bool later = false;
        QTimer::singleShot(0, [] { throw std::logic_error("Timer failed"); });
        QTimer::singleShot(10, [&later] { later = true; });
        QTRY_VERIFY(later);
        QCOMPARE(shown, QStringList{"Timer failed"});
    }

    void runHandlerReportsUnknownErrors()
    {
        RunHandler([] { throw 42; });
        RunHandler([] {});
        QCOMPARE(shown, QStringList{"Unknown error"});
    }

    // The window connects its handlers through RunHandler, so their errors
    // never unwind through the widget's own code.
    void clickHandlerErrorKeepsTheButtonWorking()
    {
        QPushButton button;
        int clicks = 0;
        QObject::connect(&button, &QPushButton::clicked, [&clicks] {
            RunHandler([&clicks] {
                ++clicks;
                throw std::runtime_error("Click failed");
            });
        });
        button.show();
        QTest::mouseClick(&button, Qt::LeftButton);
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(clicks, 2);
        QCOMPARE(shown, (QStringList{"Click failed", "Click failed"}));
    }

    // Error texts carry names from outside (a camera's, a file's): the
    // message box shows them as they are, never as rich text.
    void messageBoxShowsTheTextAsPlainText()
    {
        SetExceptionSink(nullptr);
        Qt::TextFormat format = Qt::RichText;
        QString text;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            format = box->textFormat();
            text = box->text();
            box->accept();
        });
        ShowException(QStringLiteral("The camera \"<b>Cam</b>\" stopped."));
        QCOMPARE(text, QStringLiteral("The camera \"<b>Cam</b>\" stopped."));
        QCOMPARE(format, Qt::PlainText);
    }
};

int main(int argc, char** argv)
{
    TLantrixApplication application(argc, argv);
    ErrorHandlerTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_error_handler.moc"
