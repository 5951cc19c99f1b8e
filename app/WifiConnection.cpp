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

// What a request holds while its calls are under way; the calls' answers
// check that their request is still the current one.
struct TWifiConnector::TRequest {
    TConnectionSettings settings;
    QStringList devices;
    QList<int> types; // per device; -1 until its answer came
    int answered = 0;
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
                        Activate(fRequest->devices.at(wifi));
                });
    }
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
