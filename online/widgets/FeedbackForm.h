#pragma once

#include "online/WebRequest.h"

#include <QDialog>
#include <QFrame>

#include <functional>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// What the feedback window needs from the program around it.
struct TFeedbackFormEnvironment {
    QString appProductName; // AppProductName: the start of the caption
    QString appCaption;     // AppCaption: sent as "appname"
    QString appVersion;     // AppVersion: sent as "version"
    // The feedback page, host and path without a scheme, as PostToServer
    // takes it: the maker's web host + kFeedbackPath.
    QString serverAddress;
    // The default error handler (ShowException); empty: an error message box.
    std::function<void(const QString&)> showError;

    // Seams for tests; empty ones are the real actions.
    std::function<void()> beep;                                          // QApplication::beep
    std::function<QString(const QString&, const FormFields&, int)> post; // PostToServer
};

// A like or dislike choice: a panel with a picture on the left and its
// caption, that reports clicks on itself and on the picture.
class TChoicePanel : public QFrame {
    Q_OBJECT
public:
    TChoicePanel(const QString& pictureName, QWidget* parent);

    QString Caption() const;
    void SetCaption(const QString& caption);
    // Shows the panel chosen (highlight colours, lowered) or not (button
    // face, raised).
    void SetChosen(bool chosen);
    // Chosen whenever its background is not the button-face colour.
    bool IsChosen() const;

    QLabel* Image = nullptr;

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    QLabel* fCaption = nullptr;
};

// The "Send Feedback" window: like or dislike, a message and an optional
// e-mail address, sent to the maker's web server in one form POST.
class TFeedbackForm : public QDialog {
    Q_OBJECT
public:
    explicit TFeedbackForm(TFeedbackFormEnvironment environment, QWidget* parent = nullptr);
    ~TFeedbackForm() override;

    // Creates a new window, makes it the current one (FeedbackForm), shows
    // it modally and destroys it when it closes.
    static void Execute(TFeedbackFormEnvironment environment, QWidget* owner);

    // Controls, named as the window's layout names them.
    QFrame* Panel3 = nullptr;
    TChoicePanel* Panel4 = nullptr;
    QLabel* Image1 = nullptr;
    TChoicePanel* Panel5 = nullptr;
    QLabel* Image2 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QFrame* Panel1 = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QFrame* Panel2 = nullptr;
    QPushButton* BitBtn1 = nullptr;

    // Handlers.
    void Image1Click();  // choose like
    void Image2Click();  // choose dislike
    void BitBtn1Click(); // send

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void Guarded(const std::function<void()>& handler);

    TFeedbackFormEnvironment fEnvironment;
};

// The open feedback window; null when none is open.
extern TFeedbackForm* FeedbackForm;
