#pragma once
// The row of actions under a result pane: what the last code read holds (a
// link's host, a network's name and security, a contact's name, ...) and
// the buttons that act on it. Empty and hidden for plain text. The row only
// shows and forwards: TCodeActions knows what a code offers and does it.

#include "app/CodeActions.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <map>
#include <optional>

class QPushButton;
class TElidedLabel;

// The save dialog: parent, title, suggested path, filter; the chosen file,
// or nothing when cancelled. Empty: the platform's dialog.
using TSaveFileDialog = std::function<std::optional<QString>(QWidget*, const QString&, const QString&, const QString&)>;

class TActionRow : public QWidget {
    Q_OBJECT
public:
    explicit TActionRow(QWidget* parent = nullptr);
    ~TActionRow() override;

    // How the actions reach the desktop, and the save dialog; tests set their own.
    TCodeActionServices& Services() { return fActions->Services(); }
    TSaveFileDialog saveFileDialog;

    // Shows the actions for a decoded text; an empty text (nothing read)
    // and plain text empty the row. The same text again changes nothing, so
    // a code held before the webcam leaves the row and the focus alone.
    void ShowContent(const QString& text);

    // The controls, shown as the content needs them.
    TElidedLabel* Summary = nullptr;
    QPushButton* OpenLink = nullptr;
    QPushButton* WriteEmail = nullptr;
    QPushButton* Call = nullptr;
    QPushButton* SendSms = nullptr;
    QPushButton* SaveContact = nullptr;
    QPushButton* AddToCalendar = nullptr;
    QPushButton* ShowOnMap = nullptr;
    QPushButton* CopyPassword = nullptr;
    QPushButton* Connect = nullptr;

signals:
    // A short note for the status bar ("The password is on the clipboard.").
    void StatusMessage(const QString& text);

private:
    void Clicked(TCodeAction action);
    void Warn(const QString& message);

    TCodeActions* fActions = nullptr;
    std::map<TCodeAction, QPushButton*> fButtons;
};
