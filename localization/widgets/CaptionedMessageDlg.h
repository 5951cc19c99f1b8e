#pragma once

#include <QString>
#include <QStringList>

#include <initializer_list>

class QWidget;

// The kinds of message dialog; each shows its icon.
enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

// The standard buttons, in the order in which a dialog creates them.
enum class TMsgDlgBtn {
    mbYes,
    mbNo,
    mbOK,
    mbCancel,
    mbAbort,
    mbRetry,
    mbIgnore,
    mbAll,
    mbNoToAll,
    mbYesToAll,
    mbHelp,
    mbClose
};

// A set of standard buttons.
class TMsgDlgButtons {
public:
    TMsgDlgButtons(std::initializer_list<TMsgDlgBtn> buttons)
    {
        for (TMsgDlgBtn button : buttons)
            fBits |= Bit(button);
    }
    bool Contains(TMsgDlgBtn button) const { return (fBits & Bit(button)) != 0; }

private:
    static unsigned Bit(TMsgDlgBtn button) { return 1u << static_cast<unsigned>(button); }
    unsigned fBits = 0;
};

// What a modal dialog answers: the pressed button.
enum TModalResult : int {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrAbort = 3,
    mrRetry = 4,
    mrIgnore = 5,
    mrYes = 6,
    mrNo = 7,
    mrClose = 8,
    mrHelp = 9,
    mrAll = 12,
    mrNoToAll = 13,
    mrYesToAll = 14,
};

// A modal message dialog with the caller's title and button captions. One
// button per member of `buttons`, created in the order of TMsgDlgBtn (Yes
// before No); the n-th button created takes captions[n] while there is one,
// the others keep their standard caption. Where the buttons stand follows the
// desktop's convention. The default button is OK when present, else Yes, else
// Retry. The message is shown as plain text. Answers the pressed button's
// modal result; Escape and the close box answer that of the dialog's escape
// button (No for Yes and No; a dialog without one closes only by a button).
int CaptionedMessageDlg(const QString& message, TMsgDlgType kind, const TMsgDlgButtons& buttons, const QString& title,
                        const QStringList& captions, QWidget* parent = nullptr);

// The program's restart question: "Restart Application?" titled
// "Confirmation" with the buttons Yes and No, all translated. True when the
// answer is Yes.
bool ConfirmRestart(QWidget* parent = nullptr);
