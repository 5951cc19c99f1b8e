#pragma once
// The row of actions under a result pane: what the last code read holds (a
// link's host, a network's name and security, a contact's name, ...) and
// the buttons that act on it. Empty and hidden for plain text.

#include "content/Content.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QPushButton;
class TWifiConnector;
struct TWifiJoinOutcome;

// How the row reaches the desktop. Empty members: the real ones. Links and
// the other addresses go through QDesktopServices::openUrl, whose handlers a
// test can set itself.
struct TActionRowServices {
    // The save dialog: parent, title, suggested path, filter; the chosen
    // file, or nothing when cancelled.
    std::function<std::optional<QString>(QWidget*, const QString&, const QString&, const QString&)> saveFileDialog;
    // Whether the desktop has a program for addresses of a scheme ("geo").
    std::function<bool(const QString&)> hasSchemeHandler;
    // The D-Bus address where NetworkManager is looked for; empty: the system bus.
    QString networkBusAddress;
};

class TActionRow : public QWidget {
    Q_OBJECT
public:
    explicit TActionRow(QWidget* parent = nullptr);
    ~TActionRow() override;

    TActionRowServices& Services() { return fServices; }

    // Shows the actions for a decoded text; an empty text (nothing read)
    // and plain text empty the row. The same text again changes nothing, so
    // a code held before the webcam leaves the row and the focus alone.
    void ShowContent(const QString& text);
    const TContent& Content() const { return fContent; }

    // The controls, shown as the content needs them.
    QLabel* Summary = nullptr;
    QPushButton* OpenLink = nullptr;
    QPushButton* WriteEmail = nullptr;
    QPushButton* Call = nullptr;
    QPushButton* SendSms = nullptr;
    QPushButton* SaveContact = nullptr;
    QPushButton* AddToCalendar = nullptr;
    QPushButton* ShowOnMap = nullptr;
    QPushButton* CopyPassword = nullptr;
    QPushButton* Connect = nullptr;

    // The buttons' handlers.
    void OpenLinkClick();
    void WriteEmailClick();
    void CallClick();
    void SendSmsClick();
    void SaveContactClick();
    void AddToCalendarClick();
    void ShowOnMapClick();
    void CopyPasswordClick();
    void ConnectClick();

signals:
    // A short note for the status bar ("The password is on the clipboard.").
    void StatusMessage(const QString& text);

private:
    void OpenAddress(const QString& address);
    void SaveFile(const QString& title, const QString& name, const QString& filter, const QByteArray& bytes);
    void JoinFinished(const TWifiJoinOutcome& outcome);
    void Warn(const QString& message);

    TActionRowServices fServices;
    QString fText;
    TContent fContent;
    TWifiConnector* fConnector = nullptr; // made at the first "Connect"
};
