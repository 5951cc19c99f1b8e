#include "app/widgets/ActionRow.h"

#include "app/AccessKeys.h"
#include "app/WifiConnection.h"
#include "content/LinkHost.h"
#include "localization/FormatPattern.h"
#include "localization/LanguageFiles.h"

#include <QClipboard>
#include <QDBusConnection>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

namespace {

std::optional<QString> PlatformSaveDialog(QWidget* parent, const QString& title, const QString& suggested,
                                          const QString& filter)
{
    const QString file = QFileDialog::getSaveFileName(parent, title, suggested, filter);
    if (file.isEmpty())
        return std::nullopt;
    return file;
}

// Asks the desktop's MIME database (xdg-mime) for the program that opens
// addresses of the scheme.
bool DesktopHasSchemeHandler(const QString& scheme)
{
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("x-scheme-handler/") + scheme});
    if (!query.waitForFinished(3000)) {
        query.kill();
        query.waitForFinished(1000);
        return false;
    }
    return query.exitStatus() == QProcess::NormalExit && query.exitCode() == 0
           && !query.readAllStandardOutput().trimmed().isEmpty();
}

// A file name from a name that came with a code: no folders, no hidden
// file, nothing the file system keeps out.
QString SafeFileName(const QString& name, const QString& fallback, const QString& extension)
{
    QString safe;
    for (const QChar c : name)
        safe += (c == u'/' || c == u'\\' || c.category() == QChar::Other_Control) ? QChar(u' ') : c;
    safe = safe.simplified();
    while (safe.startsWith(u'.') || safe.startsWith(u' '))
        safe.remove(0, 1);
    safe = safe.left(100).trimmed();
    return (safe.isEmpty() ? fallback : safe) + extension;
}

QString SecurityText(const TWifi& wifi)
{
    QString text;
    switch (wifi.security) {
    case TWifiSecurity::Wpa: text = QStringLiteral("WPA"); break;
    case TWifiSecurity::Sae: text = QStringLiteral("WPA3"); break;
    case TWifiSecurity::Wep: text = QStringLiteral("WEP"); break;
    case TWifiSecurity::None: text = Translate(QStringLiteral("no password")); break;
    }
    if (wifi.hidden)
        text += QStringLiteral(", ") + Translate(QStringLiteral("hidden"));
    return text;
}

QString PlaceText(const TPlace& place)
{
    QString text =
        QString::number(place.latitude, 'f', 5) + QStringLiteral(", ") + QString::number(place.longitude, 'f', 5);
    if (!place.query.isEmpty())
        text = place.query + QStringLiteral(" (") + text + u')';
    return text;
}

QString EventText(const TEvent& event)
{
    QString when = event.start;
    when.replace(u'T', u' ');
    return (event.summary.isEmpty() ? QString() : event.summary + QStringLiteral(", ")) + when;
}

} // namespace

TActionRow::TActionRow(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("ActionRow"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(3, 3, 3, 3);
    Summary = new QLabel;
    Summary->setObjectName(QStringLiteral("Summary"));
    Summary->setTextFormat(Qt::PlainText); // the text comes from the code
    Summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(Summary, 1);

    auto button = [this, layout](QPushButton*& field, const char* name, void (TActionRow::*handler)()) {
        field = new QPushButton;
        field->setObjectName(QLatin1String(name));
        field->hide();
        layout->addWidget(field);
        connect(field, &QPushButton::clicked, this, handler);
    };
    button(OpenLink, "OpenLink", &TActionRow::OpenLinkClick);
    button(WriteEmail, "WriteEmail", &TActionRow::WriteEmailClick);
    button(Call, "Call", &TActionRow::CallClick);
    button(SendSms, "SendSms", &TActionRow::SendSmsClick);
    button(SaveContact, "SaveContact", &TActionRow::SaveContactClick);
    button(AddToCalendar, "AddToCalendar", &TActionRow::AddToCalendarClick);
    button(ShowOnMap, "ShowOnMap", &TActionRow::ShowOnMapClick);
    button(CopyPassword, "CopyPassword", &TActionRow::CopyPasswordClick);
    button(Connect, "Connect", &TActionRow::ConnectClick);
    hide();
}

TActionRow::~TActionRow() = default;

void TActionRow::ShowContent(const QString& text)
{
    if (text == fText)
        return;
    fText = text;
    fContent = ParseContent(text);

    // The texts are translated here, once the language is known.
    struct TShown {
        QString summary;
        QList<std::pair<QPushButton*, QString>> buttons;
    } shown;
    std::visit(
        [&shown](const auto& value) {
            using T = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<T, TWebLink>) {
                shown.summary = Translate(QStringLiteral("Link to:")) + u' ' + DisplayHost(value.url);
            } else if constexpr (std::is_same_v<T, TEmail>) {
                shown.summary = Translate(QStringLiteral("E-mail to:")) + u' ' + value.to.join(QStringLiteral(", "));
            } else if constexpr (std::is_same_v<T, TPhone>) {
                shown.summary = Translate(QStringLiteral("Telephone:")) + u' ' + value.number;
            } else if constexpr (std::is_same_v<T, TSms>) {
                shown.summary = Translate(QStringLiteral("SMS to:")) + u' ' + value.number;
            } else if constexpr (std::is_same_v<T, TWifi>) {
                shown.summary = Translate(QStringLiteral("Wi-Fi network:")) + u' ' + value.ssid + QStringLiteral(" (")
                                + SecurityText(value) + u')';
            } else if constexpr (std::is_same_v<T, TContact>) {
                shown.summary = Translate(QStringLiteral("Contact:")) + u' ' + value.name;
            } else if constexpr (std::is_same_v<T, TEvent>) {
                shown.summary = Translate(QStringLiteral("Event:")) + u' ' + EventText(value);
            } else if constexpr (std::is_same_v<T, TPlace>) {
                shown.summary = Translate(QStringLiteral("Place:")) + u' ' + PlaceText(value);
            }
        },
        fContent);
    switch (fContent.index()) {
    case 1: shown.buttons = {{OpenLink, Translate(QStringLiteral("Open Link"))}}; break;
    case 2: shown.buttons = {{WriteEmail, Translate(QStringLiteral("Write E-mail"))}}; break;
    case 3: shown.buttons = {{Call, Translate(QStringLiteral("Call"))}}; break;
    case 4: shown.buttons = {{SendSms, Translate(QStringLiteral("Send SMS"))}}; break;
    case 5: {
        shown.buttons = {{Connect, Translate(QStringLiteral("Connect"))}};
        if (std::get<TWifi>(fContent).security != TWifiSecurity::None)
            shown.buttons.prepend({CopyPassword, Translate(QStringLiteral("Copy Password"))});
        break;
    }
    case 6: shown.buttons = {{SaveContact, Translate(QStringLiteral("Save Contact..."))}}; break;
    case 7: shown.buttons = {{AddToCalendar, Translate(QStringLiteral("Add to Calendar..."))}}; break;
    case 8: shown.buttons = {{ShowOnMap, Translate(QStringLiteral("Show on Map"))}}; break;
    default: break;
    }

    Summary->setText(shown.summary);
    for (QPushButton* button :
         {OpenLink, WriteEmail, Call, SendSms, SaveContact, AddToCalendar, ShowOnMap, CopyPassword, Connect}) {
        auto it = std::find_if(shown.buttons.begin(), shown.buttons.end(),
                               [button](const auto& b) { return b.first == button; });
        if (it != shown.buttons.end())
            button->setText(it->second);
        button->setVisible(it != shown.buttons.end());
    }
    Connect->setEnabled(!fConnector || !fConnector->Pending());
    setVisible(!shown.buttons.isEmpty());
}

void TActionRow::OpenAddress(const QString& address)
{
    if (!QDesktopServices::openUrl(QUrl::fromEncoded(address.toUtf8())))
        Warn(FormatTranslated(QStringLiteral("The desktop could not open %s."), address));
}

void TActionRow::OpenLinkClick()
{
    // Only http and https come this far (ParseWebLink); anything else is text.
    if (const auto* link = std::get_if<TWebLink>(&fContent))
        OpenAddress(link->url);
}

void TActionRow::WriteEmailClick()
{
    if (const auto* email = std::get_if<TEmail>(&fContent))
        OpenAddress(EmailUrl(*email));
}

void TActionRow::CallClick()
{
    if (const auto* phone = std::get_if<TPhone>(&fContent))
        OpenAddress(PhoneUrl(*phone));
}

void TActionRow::SendSmsClick()
{
    if (const auto* sms = std::get_if<TSms>(&fContent))
        OpenAddress(SmsUrl(*sms));
}

void TActionRow::ShowOnMapClick()
{
    const auto* place = std::get_if<TPlace>(&fContent);
    if (!place)
        return;
    const auto hasHandler = fServices.hasSchemeHandler ? fServices.hasSchemeHandler : DesktopHasSchemeHandler;
    OpenAddress(hasHandler(QStringLiteral("geo")) ? PlaceGeoUrl(*place) : PlaceMapUrl(*place));
}

void TActionRow::SaveFile(const QString& title, const QString& name, const QString& filter, const QByteArray& bytes)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    const auto dialog = fServices.saveFileDialog ? fServices.saveFileDialog : PlatformSaveDialog;
    const std::optional<QString> file = dialog(window(), title, QDir(folder).filePath(name), filter);
    if (!file)
        return;
    QSaveFile out(*file);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
        Warn(FormatTranslated(QStringLiteral("The file could not be saved: %s"), out.errorString()));
        return;
    }
    emit StatusMessage(FormatTranslated(QStringLiteral("Saved as %s."), QDir::toNativeSeparators(*file)));
}

void TActionRow::SaveContactClick()
{
    if (const auto* contact = std::get_if<TContact>(&fContent))
        SaveFile(WithoutAccessKey(SaveContact->text()),
                 SafeFileName(contact->name, QStringLiteral("contact"), QStringLiteral(".vcf")),
                 QStringLiteral("vCard (*.vcf)"), ContactVCard(*contact));
}

void TActionRow::AddToCalendarClick()
{
    if (const auto* event = std::get_if<TEvent>(&fContent))
        SaveFile(WithoutAccessKey(AddToCalendar->text()),
                 SafeFileName(event->summary, QStringLiteral("event"), QStringLiteral(".ics")),
                 QStringLiteral("iCalendar (*.ics)"), EventICalendar(*event));
}

void TActionRow::CopyPasswordClick()
{
    const auto* wifi = std::get_if<TWifi>(&fContent);
    if (!wifi || wifi->password.isEmpty())
        return;
    QGuiApplication::clipboard()->setText(wifi->password);
    emit StatusMessage(Translate(QStringLiteral("The password is on the clipboard.")));
}

void TActionRow::ConnectClick()
{
    const auto* wifi = std::get_if<TWifi>(&fContent);
    if (!wifi)
        return;
    if (!fConnector) {
        const QDBusConnection bus =
            fServices.networkBusAddress.isEmpty()
                ? QDBusConnection::systemBus()
                : QDBusConnection::connectToBus(fServices.networkBusAddress,
                                                QStringLiteral("NetworkManager at ") + fServices.networkBusAddress);
        fConnector = new TWifiConnector(bus, this);
        connect(fConnector, &TWifiConnector::Finished, this, &TActionRow::JoinFinished);
    }
    Connect->setEnabled(false);
    fConnector->Join(*wifi);
}

void TActionRow::JoinFinished(const TWifiJoinOutcome& outcome)
{
    Connect->setEnabled(true);
    switch (outcome.status) {
    case TWifiJoinOutcome::TStatus::Activating:
        emit StatusMessage(Translate(QStringLiteral("NetworkManager is joining the network.")));
        break;
    case TWifiJoinOutcome::TStatus::NoNetworkManager:
        Warn(Translate(QStringLiteral("NetworkManager does not run here, so Lantrix cannot join the network. "
                                      "Copy the password and join the network in the desktop's settings.")));
        break;
    case TWifiJoinOutcome::TStatus::NoWifiDevice:
        Warn(Translate(QStringLiteral("NetworkManager has no Wi-Fi device to join the network with.")));
        break;
    case TWifiJoinOutcome::TStatus::Failed:
        Warn(FormatTranslated(QStringLiteral("NetworkManager could not join the network: %s"), outcome.message));
        break;
    }
}

void TActionRow::Warn(const QString& message)
{
    QMessageBox box(QMessageBox::Warning, window()->windowTitle(), message, QMessageBox::Ok, window());
    box.setTextFormat(Qt::PlainText);
    box.exec();
}
