#include "app/WifiConnection.h"

#include <QDBusArgument>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QRegularExpression>

#include <optional>

namespace {

// A call to NetworkManager gets this long before it counts as failed: it
// answers at once, but a busy system may be slow to start it.
constexpr int kCallTimeoutMs = 25000;

// Errors that mean nobody answers for NetworkManager on the bus.
bool IsMissingService(const QDBusError& error)
{
    switch (error.type()) {
    case QDBusError::ServiceUnknown:
    case QDBusError::NoServer:
    case QDBusError::Disconnected:
    case QDBusError::UnknownObject:
    case QDBusError::UnknownInterface:
    case QDBusError::UnknownMethod: return true;
    default: return error.name() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner");
    }
}

bool IsWepKey(const QString& key)
{
    static const QRegularExpression hex(QStringLiteral("^([0-9A-Fa-f]{10}|[0-9A-Fa-f]{26})$"));
    const QByteArray bytes = key.toUtf8();
    return bytes.size() == 5 || bytes.size() == 13 || hex.match(key).hasMatch();
}

const QString kConnection = QStringLiteral("connection");
const QString kWireless = QStringLiteral("802-11-wireless");
const QString kSecurity = QStringLiteral("802-11-wireless-security");
const QString kKeyManagement = QStringLiteral("key-mgmt");

// The secret key of a security setting of WifiConnectionSettings.
QString SecretKey(const QVariantMap& security)
{
    for (const QString& key : {QStringLiteral("psk"), QStringLiteral("wep-key0")})
        if (security.contains(key))
            return key;
    return QString();
}

} // namespace

TConnectionSettings WifiConnectionSettings(const TWifi& wifi)
{
    TConnectionSettings settings;
    settings[QStringLiteral("connection")] = {
        {QStringLiteral("id"), wifi.ssid},
        {QStringLiteral("type"), QStringLiteral("802-11-wireless")},
    };
    QVariantMap wireless{
        {QStringLiteral("ssid"), wifi.ssid.toUtf8()},
        {QStringLiteral("mode"), QStringLiteral("infrastructure")},
    };
    if (wifi.hidden)
        wireless[QStringLiteral("hidden")] = true;
    QVariantMap security;
    switch (wifi.security) {
    case TWifiSecurity::None: break;
    case TWifiSecurity::Wpa:
        security = {{QStringLiteral("key-mgmt"), QStringLiteral("wpa-psk")}, {QStringLiteral("psk"), wifi.password}};
        break;
    case TWifiSecurity::Sae:
        security = {{QStringLiteral("key-mgmt"), QStringLiteral("sae")}, {QStringLiteral("psk"), wifi.password}};
        break;
    case TWifiSecurity::Wep:
        security = {{QStringLiteral("key-mgmt"), QStringLiteral("none")},
                    {QStringLiteral("wep-key0"), wifi.password},
                    {QStringLiteral("wep-key-type"), uint(IsWepKey(wifi.password) ? 1 : 2)}};
        break;
    }
    if (!security.isEmpty()) {
        // Older NetworkManagers look for the security setting by this name.
        wireless[QStringLiteral("security")] = QStringLiteral("802-11-wireless-security");
        settings[QStringLiteral("802-11-wireless-security")] = security;
    }
    settings[QStringLiteral("802-11-wireless")] = wireless;
    return settings;
}

bool IsProfileOf(const TConnectionSettings& saved, const TConnectionSettings& wanted)
{
    return saved.value(kConnection).value(QStringLiteral("type")).toString() == kWireless
           && saved.value(kWireless).value(QStringLiteral("ssid")).toByteArray()
                  == wanted.value(kWireless).value(QStringLiteral("ssid")).toByteArray();
}

QString MissingSecret(const TConnectionSettings& saved, const TConnectionSettings& wanted)
{
    const QVariantMap want = wanted.value(kSecurity);
    const QVariantMap have = saved.value(kSecurity);
    const QString key = SecretKey(want);
    if (key.isEmpty() || !saved.contains(kSecurity) || have.value(kKeyManagement) != want.value(kKeyManagement)
        || have.contains(key))
        return QString();
    return key;
}

bool ProfileDiffers(const TConnectionSettings& saved, const TConnectionSettings& wanted)
{
    const auto differs = [](const QVariantMap& have, const QVariantMap& want) {
        for (auto it = want.cbegin(); it != want.cend(); ++it)
            if (it.key() != QLatin1String("security") && have.value(it.key()) != it.value())
                return true;
        return false;
    };
    // A code that does not say the network is hidden leaves a saved "hidden" as it is.
    if (differs(saved.value(kWireless), wanted.value(kWireless))
        || differs(saved.value(kSecurity), wanted.value(kSecurity)))
        return true;
    return saved.contains(kSecurity) && !wanted.contains(kSecurity);
}

TConnectionSettings UpdatedProfile(const TConnectionSettings& saved, const TConnectionSettings& wanted)
{
    TConnectionSettings updated = saved;
    QVariantMap& wireless = updated[kWireless];
    const QVariantMap want = wanted.value(kWireless);
    for (auto it = want.cbegin(); it != want.cend(); ++it)
        wireless.insert(it.key(), it.value());
    if (!want.contains(QStringLiteral("security")))
        wireless.remove(QStringLiteral("security"));
    if (wanted.contains(kSecurity))
        updated[kSecurity] = wanted.value(kSecurity);
    else
        updated.remove(kSecurity);
    return updated;
}

// What a request holds while its calls are under way; the calls' answers
// check that their request is still the current one.
struct TWifiConnector::TRequest {
    TConnectionSettings settings;
    QStringList devices;
    QList<int> types; // per device; -1 until its answer came
    int answered = 0;
    QString device; // the Wi-Fi device chosen
    // NetworkManager's saved connections, and the settings of each once its answer came.
    QStringList profiles;
    QList<std::optional<TConnectionSettings>> profileSettings;
    int profilesAnswered = 0;
};

TWifiConnector::TWifiConnector(QDBusConnection bus, QObject* parent)
    : QObject(parent)
    , fBus(std::move(bus))
{
    qDBusRegisterMetaType<TConnectionSettings>();
    qRegisterMetaType<TWifiJoinOutcome>();
}

TWifiConnector::~TWifiConnector() = default;

void TWifiConnector::Join(const TWifi& wifi)
{
    fRequest = std::make_shared<TRequest>();
    fRequest->settings = WifiConnectionSettings(wifi);
    if (!fBus.isConnected()) {
        Finish({TWifiJoinOutcome::TStatus::NoNetworkManager, QString()});
        return;
    }
    const QDBusMessage call =
        QDBusMessage::createMethodCall(QLatin1String(kNetworkManagerService), QLatin1String(kNetworkManagerPath),
                                       QLatin1String(kNetworkManagerInterface), QStringLiteral("GetDevices"));
    auto* watcher = new QDBusPendingCallWatcher(fBus.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, watcher, request = std::weak_ptr<TRequest>(fRequest)] {
                watcher->deleteLater();
                if (request.lock() != fRequest)
                    return;
                const QDBusPendingReply<QList<QDBusObjectPath>> reply = *watcher;
                if (reply.isError()) {
                    Finish({IsMissingService(reply.error()) ? TWifiJoinOutcome::TStatus::NoNetworkManager
                                                            : TWifiJoinOutcome::TStatus::Failed,
                            reply.error().message()});
                    return;
                }
                QStringList devices;
                for (const QDBusObjectPath& path : reply.value())
                    devices.append(path.path());
                AskDeviceTypes(devices);
            });
}

void TWifiConnector::AskDeviceTypes(const QStringList& devices)
{
    if (devices.isEmpty()) {
        Finish({TWifiJoinOutcome::TStatus::NoWifiDevice, QString()});
        return;
    }
    fRequest->devices = devices;
    fRequest->types = QList<int>(devices.size(), -1);
    for (int index = 0; index < devices.size(); ++index) {
        QDBusMessage call =
            QDBusMessage::createMethodCall(QLatin1String(kNetworkManagerService), devices.at(index),
                                           QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        call << QLatin1String(kNetworkManagerDeviceInterface) << QStringLiteral("DeviceType");
        auto* watcher = new QDBusPendingCallWatcher(fBus.asyncCall(call, kCallTimeoutMs), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [this, watcher, index, request = std::weak_ptr<TRequest>(fRequest)] {
                    watcher->deleteLater();
                    if (request.lock() != fRequest)
                        return;
                    const QDBusPendingReply<QDBusVariant> reply = *watcher;
                    // A device that does not say its type (gone meanwhile) is not a Wi-Fi device.
                    fRequest->types[index] = reply.isError() ? 0 : int(reply.value().variant().toUInt());
                    if (++fRequest->answered < fRequest->devices.size())
                        return;
                    // The first Wi-Fi device in NetworkManager's order, whatever order the answers came in.
                    const int wifi = int(fRequest->types.indexOf(int(kNetworkManagerWifiDevice)));
                    if (wifi < 0)
                        Finish({TWifiJoinOutcome::TStatus::NoWifiDevice, QString()});
                    else
                        FindProfile(fRequest->devices.at(wifi));
                });
    }
}

void TWifiConnector::Send(const QDBusMessage& call, std::function<void(const QDBusPendingCall& answer)> handle)
{
    auto* watcher = new QDBusPendingCallWatcher(fBus.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, watcher, handle = std::move(handle), request = std::weak_ptr<TRequest>(fRequest)] {
                watcher->deleteLater();
                if (request.lock() == fRequest)
                    handle(*watcher);
            });
}

void TWifiConnector::FinishWithError(const QDBusError& error)
{
    Finish({IsMissingService(error) ? TWifiJoinOutcome::TStatus::NoNetworkManager : TWifiJoinOutcome::TStatus::Failed,
            error.message()});
}

void TWifiConnector::FindProfile(const QString& device)
{
    fRequest->device = device;
    const QDBusMessage call = QDBusMessage::createMethodCall(
        QLatin1String(kNetworkManagerService), QLatin1String(kNetworkManagerSettingsPath),
        QLatin1String(kNetworkManagerSettingsInterface), QStringLiteral("ListConnections"));
    Send(call, [this](const QDBusPendingCall& answer) {
        const QDBusPendingReply<QList<QDBusObjectPath>> reply = answer;
        // Without the list (a NetworkManager that does not give it), a new profile as before.
        QStringList profiles;
        if (!reply.isError())
            for (const QDBusObjectPath& path : reply.value())
                profiles.append(path.path());
        AskProfileSettings(profiles);
    });
}

void TWifiConnector::AskProfileSettings(const QStringList& profiles)
{
    if (profiles.isEmpty()) {
        Activate(fRequest->device);
        return;
    }
    fRequest->profiles = profiles;
    fRequest->profileSettings = QList<std::optional<TConnectionSettings>>(profiles.size());
    for (int index = 0; index < profiles.size(); ++index) {
        const QDBusMessage call = QDBusMessage::createMethodCall(
            QLatin1String(kNetworkManagerService), profiles.at(index),
            QLatin1String(kNetworkManagerConnectionInterface), QStringLiteral("GetSettings"));
        Send(call, [this, index](const QDBusPendingCall& answer) {
            const QDBusPendingReply<TConnectionSettings> reply = answer;
            // A profile that does not answer (removed meanwhile) is none of the network's.
            if (!reply.isError())
                fRequest->profileSettings[index] = reply.value();
            if (++fRequest->profilesAnswered < fRequest->profiles.size())
                return;
            // The first profile of the network in NetworkManager's order.
            for (int i = 0; i < fRequest->profiles.size(); ++i) {
                const std::optional<TConnectionSettings>& saved = fRequest->profileSettings.at(i);
                if (saved && IsProfileOf(*saved, fRequest->settings)) {
                    CheckProfile(fRequest->profiles.at(i), *saved);
                    return;
                }
            }
            Activate(fRequest->device);
        });
    }
}

void TWifiConnector::CheckProfile(const QString& profile, TConnectionSettings saved)
{
    const QString secret = MissingSecret(saved, fRequest->settings);
    if (secret.isEmpty()) {
        UpdateProfile(profile, saved);
        return;
    }
    // The saved password, to compare with the code's: NetworkManager gives
    // secrets apart. One it does not give counts as different.
    QDBusMessage call =
        QDBusMessage::createMethodCall(QLatin1String(kNetworkManagerService), profile,
                                       QLatin1String(kNetworkManagerConnectionInterface), QStringLiteral("GetSecrets"));
    call << kSecurity;
    Send(call, [this, profile, saved, secret](const QDBusPendingCall& answer) mutable {
        const QDBusPendingReply<TConnectionSettings> reply = answer;
        if (!reply.isError() && reply.value().value(kSecurity).contains(secret))
            saved[kSecurity].insert(secret, reply.value().value(kSecurity).value(secret));
        else
            saved[kSecurity].remove(secret);
        UpdateProfile(profile, saved);
    });
}

void TWifiConnector::UpdateProfile(const QString& profile, const TConnectionSettings& saved)
{
    const bool unknownSecret = !MissingSecret(saved, fRequest->settings).isEmpty();
    if (!unknownSecret && !ProfileDiffers(saved, fRequest->settings)) {
        ActivateProfile(profile);
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(QLatin1String(kNetworkManagerService), profile,
                                       QLatin1String(kNetworkManagerConnectionInterface), QStringLiteral("Update"));
    call << QVariant::fromValue(UpdatedProfile(saved, fRequest->settings));
    Send(call, [this, profile](const QDBusPendingCall& answer) {
        if (answer.isError())
            FinishWithError(answer.error());
        else
            ActivateProfile(profile);
    });
}

void TWifiConnector::ActivateProfile(const QString& profile)
{
    QDBusMessage call =
        QDBusMessage::createMethodCall(QLatin1String(kNetworkManagerService), QLatin1String(kNetworkManagerPath),
                                       QLatin1String(kNetworkManagerInterface), QStringLiteral("ActivateConnection"));
    call << QVariant::fromValue(QDBusObjectPath(profile)) << QVariant::fromValue(QDBusObjectPath(fRequest->device))
         << QVariant::fromValue(QDBusObjectPath(QStringLiteral("/")));
    Send(call, [this](const QDBusPendingCall& answer) {
        if (answer.isError())
            FinishWithError(answer.error());
        else
            Finish({TWifiJoinOutcome::TStatus::Activating, QString()});
    });
}

void TWifiConnector::Activate(const QString& device)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QLatin1String(kNetworkManagerService), QLatin1String(kNetworkManagerPath),
        QLatin1String(kNetworkManagerInterface), QStringLiteral("AddAndActivateConnection"));
    call << QVariant::fromValue(fRequest->settings) << QVariant::fromValue(QDBusObjectPath(device))
         << QVariant::fromValue(QDBusObjectPath(QStringLiteral("/")));
    auto* watcher = new QDBusPendingCallWatcher(fBus.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, watcher, request = std::weak_ptr<TRequest>(fRequest)] {
                watcher->deleteLater();
                if (request.lock() != fRequest)
                    return;
                const QDBusPendingReply<QDBusObjectPath, QDBusObjectPath> reply = *watcher;
                if (reply.isError())
                    Finish({IsMissingService(reply.error()) ? TWifiJoinOutcome::TStatus::NoNetworkManager
                                                            : TWifiJoinOutcome::TStatus::Failed,
                            reply.error().message()});
                else
                    Finish({TWifiJoinOutcome::TStatus::Activating, QString()});
            });
}

void TWifiConnector::Finish(TWifiJoinOutcome outcome)
{
    fRequest.reset(); // the password goes with it
    emit Finished(outcome);
}
