#pragma once
// Joining a Wi-Fi network that a code gave, through NetworkManager on the
// system bus: the client's side of its AddAndActivateConnection call. The
// password goes to NetworkManager in the call and nowhere else: nothing here
// writes it to a log, to standard error or to a file.

#include "content/Content.h"

#include <QDBusConnection>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <memory>

inline constexpr char kNetworkManagerService[] = "org.freedesktop.NetworkManager";
inline constexpr char kNetworkManagerPath[] = "/org/freedesktop/NetworkManager";
inline constexpr char kNetworkManagerInterface[] = "org.freedesktop.NetworkManager";
inline constexpr char kNetworkManagerDeviceInterface[] = "org.freedesktop.NetworkManager.Device";
inline constexpr uint kNetworkManagerWifiDevice = 2; // NM_DEVICE_TYPE_WIFI

// A connection's settings as NetworkManager takes them (D-Bus a{sa{sv}}).
using TConnectionSettings = QMap<QString, QVariantMap>;

// The settings of a new connection to the network: "connection" (id, type),
// "802-11-wireless" (ssid as bytes, mode, hidden) and, unless the network is
// open, "802-11-wireless-security" (key-mgmt "wpa-psk", "sae" or "none" for
// WEP, with psk or wep-key0 and wep-key-type: 1 for a key of 5 or 13
// characters or 10 or 26 hexadecimal digits, 2 for a passphrase).
TConnectionSettings WifiConnectionSettings(const TWifi& wifi);

// How a request to join ended, for the user.
struct TWifiJoinOutcome {
    enum class TStatus {
        Activating,       // NetworkManager took the connection and is joining
        NoNetworkManager, // NetworkManager does not run (or the bus is not there)
        NoWifiDevice,     // it runs, but has no Wi-Fi device
        Failed,           // it refused; `message` holds its reason
    };
    TStatus status = TStatus::Failed;
    QString message; // the reason NetworkManager gave, for Failed
};

// One request at a time; a new one drops the answer of the one before.
class TWifiConnector : public QObject {
    Q_OBJECT
public:
    // `bus` is the system bus, or in tests a bus of their own.
    explicit TWifiConnector(QDBusConnection bus, QObject* parent = nullptr);
    ~TWifiConnector() override;

    // Finds NetworkManager's first Wi-Fi device and asks it to join the
    // network with a new connection. Finished follows once, unless another
    // request comes first.
    void Join(const TWifi& wifi);
    bool Pending() const { return fRequest != nullptr; }

signals:
    void Finished(const TWifiJoinOutcome& outcome);

private:
    struct TRequest;
    void AskDeviceTypes(const QStringList& devices);
    void Activate(const QString& device);
    void Finish(TWifiJoinOutcome outcome);

    QDBusConnection fBus;
    std::shared_ptr<TRequest> fRequest;
};

Q_DECLARE_METATYPE(TWifiJoinOutcome)
