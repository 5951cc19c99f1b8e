#pragma once
// What can be done with the code read last: the one-line summary of what it
// holds, the actions it offers, and the actions themselves (asking the
// desktop to open an address, writing a contact or an event to a file, the
// Wi-Fi password on the clipboard, joining the network). No widgets: the
// row under a result pane shows what this gives and forwards its buttons'
// clicks here. Nothing here waits: the desktop's handler for geo: addresses
// is looked up in the background, and NetworkManager is asked asynchronously.

#include "content/Content.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

class TWifiConnector;
struct TWifiJoinOutcome;

enum class TCodeAction {
    OpenLink,
    WriteEmail,
    Call,
    SendSms,
    SaveContact,
    AddToCalendar,
    ShowOnMap,
    CopyPassword,
    Connect
};

// Which end of a summary's value stays when the row is too narrow for all of it.
enum class TSummaryElision {
    KeepEnd,   // a host: its end carries the registered domain
    KeepStart, // a name, a number, an address: its beginning
};

// What the row says the code holds: a translated label ("Link to:") and the
// value from the code ("lantrix.invalid"), shown as plain text.
struct TCodeSummary {
    QString label;
    QString value;
    TSummaryElision elision = TSummaryElision::KeepStart;

    // "Link to: lantrix.invalid"; empty for plain text.
    QString Text() const { return label.isEmpty() ? QString() : label + u' ' + value; }
};

// The summary the row shows for a decoded text (empty for plain text), as
// TCodeActions::Summary gives it after SetText(text).
TCodeSummary CodeSummary(const QString& text);

// An action the content offers, with its button's translated caption.
struct TOfferedAction {
    TCodeAction action;
    QString caption;
};

// A file an action offers to write: the save dialog's title comes from the
// action's caption, the rest from here.
struct TFileOffer {
    QString suggestedName; // a bare file name, safe for the file system
    QString filter;        // "vCard (*.vcf)"
    QByteArray bytes;
};

// How the actions reach the desktop. Empty members: the real ones. Addresses
// are opened through QDesktopServices::openUrl, whose handlers a test can
// set itself.
struct TCodeActionServices {
    // Whether the desktop has a program for addresses of a scheme ("geo"),
    // answered through `answer`, now or later. Empty: xdg-mime, asked in the
    // background once a run for each scheme.
    std::function<void(const QString& scheme, std::function<void(bool)> answer)> askSchemeHandler;
    // The D-Bus address where NetworkManager is looked for; empty: the system bus.
    QString networkBusAddress;
};

class TCodeActions : public QObject {
    Q_OBJECT
public:
    explicit TCodeActions(QObject* parent = nullptr);
    ~TCodeActions() override;

    TCodeActionServices& Services() { return fServices; }

    // The code read last; an empty text (nothing read) and plain text offer
    // nothing. False when the text is the one held already, which changes nothing.
    bool SetText(const QString& text);

    const TCodeSummary& Summary() const { return fSummary; }
    const QList<TOfferedAction>& Actions() const { return fActions; }

    // The file that SaveContact and AddToCalendar write; nothing for the other actions.
    std::optional<TFileOffer> FileOffer(TCodeAction action) const;
    // Writes an offered file where the user chose; StatusMessage on success,
    // Warning when it cannot be written (the old file, if any, stays whole).
    void Save(const TFileOffer& offer, const QString& file);

    // Every action but the two that write files.
    void Run(TCodeAction action);

    // A request to join a network is under way; Connect waits for it.
    bool Joining() const;

signals:
    // A short note for the status bar ("The password is on the clipboard.").
    void StatusMessage(const QString& text);
    // Something the user must read and acknowledge.
    void Warning(const QString& text);
    // A request to join a network started or ended.
    void JoiningChanged(bool joining);

private:
    void OpenAddress(const QString& address);
    void ShowOnMap(const TPlace& place);
    void Connect(const TWifi& wifi);
    void JoinFinished(const TWifiJoinOutcome& outcome);

    TCodeActionServices fServices;
    QString fText;
    TContent fContent;
    TCodeSummary fSummary;
    QList<TOfferedAction> fActions;
    QPointer<TWifiConnector> fConnector; // made at the first "Connect"
};

// Whether the desktop's MIME database names a program for addresses of
// `scheme`: xdg-mime asked in the background (at most 3 s), once a run; the
// answer is remembered and later questions get it at once. `answer` runs in
// the thread of the event loop, unless `context` has gone by then.
void AskDesktopSchemeHandler(const QString& scheme, QObject* context, std::function<void(bool)> answer);
