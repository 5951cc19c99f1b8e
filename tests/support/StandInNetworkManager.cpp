#include "support/StandInNetworkManager.h"

#include <QDBusMessage>
#include <QDBusMetaType>
#include <QUuid>

#include <algorithm>
#include <utility>

namespace {

const QString kSecurity = QStringLiteral("802-11-wireless-security");
const QString kActiveConnection = QStringLiteral("/org/freedesktop/NetworkManager/ActiveConnection/1");

bool IsSecret(const QString& key)
{
    return key == QLatin1String("psk") || key == QLatin1String("wep-key0");
}

} // namespace

QMap<QString, QVariantMap> StandInConnection::GetSettings()
{
    TStandInSettings shown = settings;
    if (shown.contains(kSecurity)) {
        QVariantMap& security = shown[kSecurity];
        for (auto it = security.begin(); it != security.end();)
            it = IsSecret(it.key()) ? security.erase(it) : std::next(it);
    }
    return shown;
}

QMap<QString, QVariantMap> StandInConnection::GetSecrets(const QString& settingName)
{
    QVariantMap secrets;
    const QVariantMap setting = settings.value(settingName);
    for (auto it = setting.cbegin(); it != setting.cend(); ++it)
        if (IsSecret(it.key()))
            secrets.insert(it.key(), it.value());
    return {{settingName, secrets}};
}

void StandInConnection::Update(const QMap<QString, QVariantMap>& properties)
{
    settings = properties;
    ++updates;
}

bool StandInSettings::Register(QDBusConnection bus)
{
    qDBusRegisterMetaType<TStandInSettings>();
    fBus = std::make_unique<QDBusConnection>(std::move(bus));
    return fBus->registerObject(QStringLiteral("/org/freedesktop/NetworkManager/Settings"), this,
                                QDBusConnection::ExportAllSlots);
}

QString StandInSettings::Add(const TStandInSettings& settings)
{
    const QString path = QStringLiteral("/org/freedesktop/NetworkManager/Settings/%1").arg(fNext++);
    TStandInSettings saved = settings;
    // NetworkManager gives every profile a uuid of its own.
    if (!saved.value(QStringLiteral("connection")).contains(QStringLiteral("uuid")))
        saved[QStringLiteral("connection")].insert(QStringLiteral("uuid"),
                                                   QUuid::createUuid().toString(QUuid::WithoutBraces));
    profiles.push_back(std::make_unique<StandInConnection>(path, saved));
    if (fBus)
        fBus->registerObject(path, profiles.back().get(), QDBusConnection::ExportAllSlots);
    return path;
}

void StandInSettings::Clear()
{
    for (const std::unique_ptr<StandInConnection>& profile : profiles)
        if (fBus)
            fBus->unregisterObject(profile->path);
    profiles.clear();
}

QList<QDBusObjectPath> StandInSettings::ListConnections()
{
    if (refuseList) {
        sendErrorReply(QDBusError::UnknownMethod, QStringLiteral("No such method 'ListConnections'"));
        return {};
    }
    QList<QDBusObjectPath> paths;
    for (const std::unique_ptr<StandInConnection>& profile : profiles)
        paths.append(QDBusObjectPath(profile->path));
    return paths;
}

void StandInNetworkManager::AddAndActivateConnection(const QMap<QString, QVariantMap>& settings,
                                                     const QDBusObjectPath& device,
                                                     const QDBusObjectPath& specificObject)
{
    calls.append({settings, device.path(), specificObject.path()});
    setDelayedReply(true);
    if (!refusal.isEmpty()) {
        connection().send(message().createErrorReply(
            QStringLiteral("org.freedesktop.NetworkManager.Device.ConnectionActivationFailed"), refusal));
        return;
    }
    const QString profile = savedConnections ? savedConnections->Add(settings)
                                             : QStringLiteral("/org/freedesktop/NetworkManager/Settings/1");
    connection().send(message().createReply(
        {QVariant::fromValue(QDBusObjectPath(profile)), QVariant::fromValue(QDBusObjectPath(kActiveConnection))}));
}

QDBusObjectPath StandInNetworkManager::ActivateConnection(const QDBusObjectPath& profile, const QDBusObjectPath& device,
                                                          const QDBusObjectPath& specificObject)
{
    activations.append({profile.path(), device.path(), specificObject.path()});
    const bool known = savedConnections
                       && std::any_of(savedConnections->profiles.begin(), savedConnections->profiles.end(),
                                      [&profile](const auto& saved) { return saved->path == profile.path(); });
    if (!known) {
        sendErrorReply(QStringLiteral("org.freedesktop.NetworkManager.UnknownConnection"),
                       QStringLiteral("Connection '%1' is not available").arg(profile.path()));
        return {};
    }
    if (!refusal.isEmpty()) {
        sendErrorReply(QStringLiteral("org.freedesktop.NetworkManager.Device.ConnectionActivationFailed"), refusal);
        return {};
    }
    return QDBusObjectPath(kActiveConnection);
}

bool RegisterStandInDevices(QDBusConnection& bus, std::vector<std::unique_ptr<StandInDevice>>& devices)
{
    constexpr uint kEthernetType = 1, kWifiType = 2; // NM_DEVICE_TYPE_ETHERNET, NM_DEVICE_TYPE_WIFI
    for (const auto& [path, type] : {std::pair{kStandInEthernet, kEthernetType}, std::pair{kStandInWifi, kWifiType}}) {
        devices.push_back(std::make_unique<StandInDevice>(type));
        if (!bus.registerObject(path, devices.back().get(), QDBusConnection::ExportAllProperties))
            return false;
    }
    return true;
}
