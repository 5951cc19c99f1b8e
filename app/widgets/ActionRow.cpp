#include "app/widgets/ActionRow.h"

#include "app/AccessKeys.h"
#include "app/widgets/ElidedLabel.h"

#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>

namespace {

std::optional<QString> PlatformSaveDialog(QWidget* parent, const QString& title, const QString& suggested,
                                          const QString& filter)
{
    const QString file = QFileDialog::getSaveFileName(parent, title, suggested, filter);
    if (file.isEmpty())
        return std::nullopt;
    return file;
}

} // namespace

TActionRow::TActionRow(QWidget* parent)
    : QWidget(parent)
    , fActions(new TCodeActions(this))
{
    setObjectName(QStringLiteral("ActionRow"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(3, 3, 3, 3);
    Summary = new TElidedLabel;
    Summary->setObjectName(QStringLiteral("Summary"));
    Summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(Summary, 1);

    const std::pair<QPushButton**, TCodeAction> buttons[] = {{&OpenLink, TCodeAction::OpenLink},
                                                             {&WriteEmail, TCodeAction::WriteEmail},
                                                             {&Call, TCodeAction::Call},
                                                             {&SendSms, TCodeAction::SendSms},
                                                             {&SaveContact, TCodeAction::SaveContact},
                                                             {&AddToCalendar, TCodeAction::AddToCalendar},
                                                             {&ShowOnMap, TCodeAction::ShowOnMap},
                                                             {&CopyPassword, TCodeAction::CopyPassword},
                                                             {&Connect, TCodeAction::Connect}};
    const char* const names[] = {"OpenLink",      "WriteEmail", "Call",         "SendSms", "SaveContact",
                                 "AddToCalendar", "ShowOnMap",  "CopyPassword", "Connect"};
    for (std::size_t i = 0; i < std::size(buttons); ++i) {
        auto* button = new QPushButton;
        button->setObjectName(QLatin1String(names[i]));
        button->hide();
        layout->addWidget(button);
        const TCodeAction action = buttons[i].second;
        connect(button, &QPushButton::clicked, this, [this, action] { Clicked(action); });
        *buttons[i].first = button;
        fButtons[action] = button;
    }
    connect(fActions, &TCodeActions::StatusMessage, this, &TActionRow::StatusMessage);
    connect(fActions, &TCodeActions::Warning, this, &TActionRow::Warn);
    connect(fActions, &TCodeActions::JoiningChanged, Connect, [this](bool joining) { Connect->setEnabled(!joining); });
    hide();
}

TActionRow::~TActionRow() = default;

void TActionRow::ShowContent(const QString& text)
{
    if (!fActions->SetText(text))
        return;
    Summary->SetSummary(fActions->Summary());
    for (const auto& [action, button] : fButtons) {
        const auto offered = std::find_if(fActions->Actions().begin(), fActions->Actions().end(),
                                          [action = action](const TOfferedAction& a) { return a.action == action; });
        if (offered != fActions->Actions().end())
            button->setText(offered->caption);
        button->setVisible(offered != fActions->Actions().end());
    }
    Connect->setEnabled(!fActions->Joining());
    setVisible(!fActions->Actions().isEmpty());
}

void TActionRow::Clicked(TCodeAction action)
{
    const std::optional<TFileOffer> offer = fActions->FileOffer(action);
    if (!offer) {
        fActions->Run(action);
        return;
    }
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    const TSaveFileDialog dialog = saveFileDialog ? saveFileDialog : PlatformSaveDialog;
    const std::optional<QString> file = dialog(window(), WithoutAccessKey(fButtons.at(action)->text()),
                                               QDir(folder).filePath(offer->suggestedName), offer->filter);
    if (file)
        fActions->Save(*offer, *file);
}

void TActionRow::Warn(const QString& message)
{
    QMessageBox box(QMessageBox::Warning, window()->windowTitle(), message, QMessageBox::Ok, window());
    box.setTextFormat(Qt::PlainText);
    box.exec();
}
