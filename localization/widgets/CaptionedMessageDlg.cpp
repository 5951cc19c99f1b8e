#include "localization/widgets/CaptionedMessageDlg.h"

#include "localization/LanguageFiles.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>

#include <array>
#include <utility>
#include <vector>

namespace {

struct TButtonKind {
    TMsgDlgBtn button;
    QMessageBox::StandardButton standard; // NoButton: a button of our own
    QMessageBox::ButtonRole role;
    const char* caption; // the caption of a button of our own
    TModalResult result;
};

// In creation order.
constexpr std::array<TButtonKind, 12> kButtons{{
    {TMsgDlgBtn::mbYes, QMessageBox::Yes, QMessageBox::YesRole, nullptr, mrYes},
    {TMsgDlgBtn::mbNo, QMessageBox::No, QMessageBox::NoRole, nullptr, mrNo},
    {TMsgDlgBtn::mbOK, QMessageBox::Ok, QMessageBox::AcceptRole, nullptr, mrOk},
    {TMsgDlgBtn::mbCancel, QMessageBox::Cancel, QMessageBox::RejectRole, nullptr, mrCancel},
    {TMsgDlgBtn::mbAbort, QMessageBox::Abort, QMessageBox::RejectRole, nullptr, mrAbort},
    {TMsgDlgBtn::mbRetry, QMessageBox::Retry, QMessageBox::AcceptRole, nullptr, mrRetry},
    {TMsgDlgBtn::mbIgnore, QMessageBox::Ignore, QMessageBox::AcceptRole, nullptr, mrIgnore},
    {TMsgDlgBtn::mbAll, QMessageBox::NoButton, QMessageBox::YesRole, "&All", mrAll},
    {TMsgDlgBtn::mbNoToAll, QMessageBox::NoToAll, QMessageBox::NoRole, nullptr, mrNoToAll},
    {TMsgDlgBtn::mbYesToAll, QMessageBox::YesToAll, QMessageBox::YesRole, nullptr, mrYesToAll},
    {TMsgDlgBtn::mbHelp, QMessageBox::Help, QMessageBox::HelpRole, nullptr, mrHelp},
    {TMsgDlgBtn::mbClose, QMessageBox::Close, QMessageBox::RejectRole, nullptr, mrClose},
}};

QMessageBox::Icon IconOf(TMsgDlgType kind)
{
    switch (kind) {
    case TMsgDlgType::mtWarning: return QMessageBox::Warning;
    case TMsgDlgType::mtError: return QMessageBox::Critical;
    case TMsgDlgType::mtInformation: return QMessageBox::Information;
    case TMsgDlgType::mtConfirmation: return QMessageBox::Question;
    case TMsgDlgType::mtCustom: break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

int CaptionedMessageDlg(const QString& message, TMsgDlgType kind, const TMsgDlgButtons& buttons, const QString& title,
                        const QStringList& captions, QWidget* parent)
{
    QMessageBox box(parent);
    box.setIcon(IconOf(kind));
    box.setTextFormat(Qt::PlainText);
    box.setText(message);
    box.setWindowTitle(title);

    std::vector<std::pair<QAbstractButton*, TModalResult>> created;
    for (const TButtonKind& kindOfButton : kButtons) {
        if (!buttons.Contains(kindOfButton.button))
            continue;
        QAbstractButton* button = kindOfButton.standard != QMessageBox::NoButton
                                      ? box.addButton(kindOfButton.standard)
                                      : box.addButton(QLatin1String(kindOfButton.caption), kindOfButton.role);
        const std::size_t number = created.size();
        if (number < static_cast<std::size_t>(captions.size()))
            button->setText(captions[static_cast<qsizetype>(number)]);
        created.emplace_back(button, kindOfButton.result);
    }
    for (QMessageBox::StandardButton preferred : {QMessageBox::Ok, QMessageBox::Yes, QMessageBox::Retry}) {
        if (auto* button = qobject_cast<QPushButton*>(box.button(preferred))) {
            box.setDefaultButton(button);
            break;
        }
    }

    box.exec();
    QAbstractButton* pressed = box.clickedButton();
    for (const auto& [button, result] : created)
        if (button == pressed)
            return result;
    return mrCancel;
}

bool ConfirmRestart(QWidget* parent)
{
    const QString yes = Translate(QStringLiteral("Yes"));
    const QString no = Translate(QStringLiteral("No"));
    const QString title = Translate(QStringLiteral("Confirmation"));
    const QString message = Translate(QStringLiteral("Restart Application?"));
    return CaptionedMessageDlg(message, TMsgDlgType::mtConfirmation, {TMsgDlgBtn::mbYes, TMsgDlgBtn::mbNo}, title,
                               {yes, no}, parent)
           == mrYes;
}
