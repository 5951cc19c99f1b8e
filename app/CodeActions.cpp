#include "app/CodeActions.h"

#include "app/WifiConnection.h"
#include "content/FileName.h"
#include "content/LinkHost.h"
#include "content/TextCheck.h"
#include "localization/FormatPattern.h"
#include "localization/LanguageFiles.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDesktopServices>
#include <QDir>
#include <QGuiApplication>
#include <QHash>
#include <QLocale>
#include <QProcess>
#include <QSaveFile>
#include <QTimer>
#include <QUrl>

namespace {

// How long xdg-mime gets to name a scheme's handler before the answer counts as "none".
constexpr int kSchemeQueryMs = 3000;

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
    const QString when = EventWhen(event, QLocale());
    return event.summary.isEmpty() ? when : WithoutHiddenCharacters(event.summary) + QStringLiteral(", ") + when;
}

// What the row shows for a kind of content: the summary and the actions,
// in the row's order. Texts are translated here, once the language is known.
struct TShown {
    TCodeSummary summary;
    QList<TOfferedAction> actions;
};

TShown Shown(const TContent& content)
{
    const auto shown = [](const auto& value) -> TShown {
        using T = std::decay_t<decltype(value)>;
        const auto summary = [](const QString& label, const QString& text,
                                TSummaryElision elision = TSummaryElision::KeepStart) {
            return TCodeSummary{label, text, elision};
        };
        const auto action = [](TCodeAction kind, const QString& caption) { return TOfferedAction{kind, caption}; };
        if constexpr (std::is_same_v<T, TWebLink>) {
            return {summary(Translate(QStringLiteral("Link to:")), DisplayHost(value.url), TSummaryElision::KeepEnd),
                    {action(TCodeAction::OpenLink, Translate(QStringLiteral("Open Link")))}};
        } else if constexpr (std::is_same_v<T, TEmail>) {
            return {summary(Translate(QStringLiteral("E-mail to:")), value.to.join(QStringLiteral(", "))),
                    {action(TCodeAction::WriteEmail, Translate(QStringLiteral("Write E-mail")))}};
        } else if constexpr (std::is_same_v<T, TPhone>) {
            return {summary(Translate(QStringLiteral("Telephone:")), value.number),
                    {action(TCodeAction::Call, Translate(QStringLiteral("Call")))}};
        } else if constexpr (std::is_same_v<T, TSms>) {
            return {summary(Translate(QStringLiteral("SMS to:")), value.number),
                    {action(TCodeAction::SendSms, Translate(QStringLiteral("Send SMS")))}};
        } else if constexpr (std::is_same_v<T, TWifi>) {
            TShown wifi{summary(Translate(QStringLiteral("Wi-Fi network:")),
                                value.ssid + QStringLiteral(" (") + SecurityText(value) + u')'),
                        {action(TCodeAction::Connect, Translate(QStringLiteral("Connect")))}};
            if (value.security != TWifiSecurity::None)
                wifi.actions.prepend(action(TCodeAction::CopyPassword, Translate(QStringLiteral("Copy Password"))));
            return wifi;
        } else if constexpr (std::is_same_v<T, TContact>) {
            return {summary(Translate(QStringLiteral("Contact:")), WithoutHiddenCharacters(value.name)),
                    {action(TCodeAction::SaveContact, Translate(QStringLiteral("Save Contact...")))}};
        } else if constexpr (std::is_same_v<T, TEvent>) {
            return {summary(Translate(QStringLiteral("Event:")), EventText(value)),
                    {action(TCodeAction::AddToCalendar, Translate(QStringLiteral("Add to Calendar...")))}};
        } else if constexpr (std::is_same_v<T, TPlace>) {
            return {summary(Translate(QStringLiteral("Place:")), PlaceText(value)),
                    {action(TCodeAction::ShowOnMap, Translate(QStringLiteral("Show on Map")))}};
        } else {
            static_assert(std::is_same_v<T, TPlainText>);
            return {};
        }
    };
    return std::visit(shown, content);
}

} // namespace

void AskDesktopSchemeHandler(const QString& scheme, QObject* context, std::function<void(bool)> answer)
{
    // Per scheme: the answer once known, or the questions waiting for it.
    static QHash<QString, bool> known;
    static QHash<QString, QList<std::pair<QPointer<QObject>, std::function<void(bool)>>>> waiting;
    if (const auto it = known.constFind(scheme); it != known.constEnd()) {
        answer(*it);
        return;
    }
    auto& queue = waiting[scheme];
    queue.append({QPointer<QObject>(context), std::move(answer)});
    if (queue.size() > 1)
        return; // xdg-mime is being asked already

    auto* query = new QProcess(QCoreApplication::instance());
    const auto finish = [scheme, query](bool hasHandler) {
        if (known.contains(scheme))
            return; // answered already (the time ran out, then the process ended)
        known.insert(scheme, hasHandler);
        if (query->state() != QProcess::NotRunning)
            query->kill();
        query->deleteLater();
        for (const auto& [receiver, reply] : waiting.take(scheme))
            if (receiver)
                reply(hasHandler);
    };
    QObject::connect(query, &QProcess::finished, query, [query, finish](int code, QProcess::ExitStatus status) {
        finish(status == QProcess::NormalExit && code == 0 && !query->readAllStandardOutput().trimmed().isEmpty());
    });
    QObject::connect(query, &QProcess::errorOccurred, query, [finish](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            finish(false);
    });
    QTimer::singleShot(kSchemeQueryMs, query, [finish] { finish(false); });
    query->start(QStringLiteral("xdg-mime"),
                 {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("x-scheme-handler/") + scheme});
}

TCodeActions::TCodeActions(QObject* parent)
    : QObject(parent)
{
}

TCodeActions::~TCodeActions() = default;

TCodeSummary CodeSummary(const QString& text)
{
    return Shown(ParseContent(text)).summary;
}

bool TCodeActions::SetText(const QString& text)
{
    if (text == fText)
        return false;
    fText = text;
    fContent = ParseContent(text);
    TShown shown = Shown(fContent);
    fSummary = std::move(shown.summary);
    fActions = std::move(shown.actions);
    // The desktop's map handler is asked while the user reads the summary,
    // so that "Show on Map" rarely has to wait for it.
    if (std::holds_alternative<TPlace>(fContent) && !fServices.askSchemeHandler)
        AskDesktopSchemeHandler(QStringLiteral("geo"), this, [](bool) {});
    return true;
}

bool TCodeActions::Joining() const
{
    return fConnector && fConnector->Pending();
}

std::optional<TFileOffer> TCodeActions::FileOffer(TCodeAction action) const
{
    if (action == TCodeAction::SaveContact)
        if (const auto* contact = std::get_if<TContact>(&fContent))
            return TFileOffer{SuggestedFileName(contact->name, QStringLiteral("contact"), QStringLiteral(".vcf")),
                              QStringLiteral("vCard (*.vcf)"), ContactVCard(*contact)};
    if (action == TCodeAction::AddToCalendar)
        if (const auto* event = std::get_if<TEvent>(&fContent))
            return TFileOffer{SuggestedFileName(event->summary, QStringLiteral("event"), QStringLiteral(".ics")),
                              QStringLiteral("iCalendar (*.ics)"), EventICalendar(*event)};
    return std::nullopt;
}

void TCodeActions::Save(const TFileOffer& offer, const QString& file)
{
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(offer.bytes) != offer.bytes.size() || !out.commit()) {
        emit Warning(FormatTranslated(QStringLiteral("The file could not be saved: %s"), out.errorString()));
        return;
    }
    emit StatusMessage(FormatTranslated(QStringLiteral("Saved as %s."), QDir::toNativeSeparators(file)));
}

void TCodeActions::Run(TCodeAction action)
{
    // Each action acts only on the content it was offered for.
    const auto run = [this, action](const auto& value) {
        using T = std::decay_t<decltype(value)>;
        if constexpr (std::is_same_v<T, TWebLink>) {
            // Only http and https come this far (ParseWebLink); anything else is text.
            if (action == TCodeAction::OpenLink)
                OpenAddress(value.url);
        } else if constexpr (std::is_same_v<T, TEmail>) {
            if (action == TCodeAction::WriteEmail)
                OpenAddress(EmailUrl(value));
        } else if constexpr (std::is_same_v<T, TPhone>) {
            if (action == TCodeAction::Call)
                OpenAddress(PhoneUrl(value));
        } else if constexpr (std::is_same_v<T, TSms>) {
            if (action == TCodeAction::SendSms)
                OpenAddress(SmsUrl(value));
        } else if constexpr (std::is_same_v<T, TPlace>) {
            if (action == TCodeAction::ShowOnMap)
                ShowOnMap(value);
        } else if constexpr (std::is_same_v<T, TWifi>) {
            if (action == TCodeAction::CopyPassword && !value.password.isEmpty()) {
                QGuiApplication::clipboard()->setText(value.password);
                emit StatusMessage(Translate(QStringLiteral("The password is on the clipboard.")));
            } else if (action == TCodeAction::Connect) {
                Connect(value);
            }
        }
    };
    std::visit(run, fContent);
}

void TCodeActions::OpenAddress(const QString& address)
{
    if (!QDesktopServices::openUrl(QUrl::fromEncoded(address.toUtf8())))
        emit Warning(FormatTranslated(QStringLiteral("The desktop could not open %s."), address));
}

void TCodeActions::ShowOnMap(const TPlace& place)
{
    // The place clicked is the one opened, even when another code comes in
    // before the desktop has answered.
    const auto open = [this, place](bool hasHandler) {
        OpenAddress(hasHandler ? PlaceGeoUrl(place) : PlaceMapUrl(place));
    };
    if (fServices.askSchemeHandler)
        fServices.askSchemeHandler(QStringLiteral("geo"), open);
    else
        AskDesktopSchemeHandler(QStringLiteral("geo"), this, open);
}

void TCodeActions::Connect(const TWifi& wifi)
{
    if (!fConnector) {
        const QDBusConnection bus =
            fServices.networkBusAddress.isEmpty()
                ? QDBusConnection::systemBus()
                : QDBusConnection::connectToBus(fServices.networkBusAddress,
                                                QStringLiteral("NetworkManager at ") + fServices.networkBusAddress);
        fConnector = new TWifiConnector(bus, this);
        connect(fConnector, &TWifiConnector::Finished, this, &TCodeActions::JoinFinished);
    }
    emit JoiningChanged(true);
    fConnector->Join(wifi);
}

void TCodeActions::JoinFinished(const TWifiJoinOutcome& outcome)
{
    emit JoiningChanged(false);
    switch (outcome.status) {
    case TWifiJoinOutcome::TStatus::Activating:
        emit StatusMessage(Translate(QStringLiteral("NetworkManager is joining the network.")));
        break;
    case TWifiJoinOutcome::TStatus::NoNetworkManager:
        emit Warning(Translate(QStringLiteral("NetworkManager does not run here, so Lantrix cannot join the network. "
                                              "Copy the password and join the network in the desktop's settings.")));
        break;
    case TWifiJoinOutcome::TStatus::NoWifiDevice:
        emit Warning(Translate(QStringLiteral("NetworkManager has no Wi-Fi device to join the network with.")));
        break;
    case TWifiJoinOutcome::TStatus::Failed:
        emit Warning(
            FormatTranslated(QStringLiteral("NetworkManager could not join the network: %s"), outcome.message));
        break;
    }
}
