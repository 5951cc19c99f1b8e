#pragma once
// Joining a Wi-Fi network that a code gave, through NetworkManager on the
// system bus: the client's side of its calls. A network NetworkManager has a
// saved profile of (a connection of its settings with the same SSID) is
// joined with that profile, brought up to date first when the code's
// security differs from it (a changed password); another network gets a new
// profile, so that joining one network again and again saves it once. The
// password goes to NetworkManager in the calls and nowhere else: nothing here
// writes it to a log, to standard error or to a file.

#include "content/Content.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>

inline constexpr char kNetworkManagerService[] = "org.freedesktop.NetworkManager";
inline constexpr char kNetworkManagerPath[] = "/org/freedesktop/NetworkManager";
inline constexpr char kNetworkManagerInterface[] = "org.freedesktop.NetworkManager";
inline constexpr char kNetworkManagerDeviceInterface[] = "org.freedesktop.NetworkManager.Device";
inline constexpr char kNetworkManagerSettingsPath[] = "/org/freedesktop/NetworkManager/Settings";
inline constexpr char kNetworkManagerSettingsInterface[] = "org.freedesktop.NetworkManager.Settings";
inline constexpr char kNetworkManagerConnectionInterface[] = "org.freedesktop.NetworkManager.Settings.Connection";
inline constexpr uint kNetworkManagerWifiDevice = 2; // NM_DEVICE_TYPE_WIFI

// A connection's settings as NetworkManager takes them (D-Bus a{sa{sv}}).
using TConnectionSettings = QMap<QString, QVariantMap>;

// The settings of a new connection to the network: "connection" (id, type),
// "802-11-wireless" (ssid as bytes, mode, hidden) and, unless the network is
// open, "802-11-wireless-security" (key-mgmt "wpa-psk", "sae" or "none" for
// WEP, with psk or wep-key0 and wep-key-type: 1 for a key of 5 or 13
// characters or 10 or 26 hexadecimal digits, 2 for a passphrase).
TConnectionSettings WifiConnectionSettings(const TWifi& wifi);

// True when a saved connection is a profile of the network that `wanted`
// (WifiConnectionSettings) joins: connection.type "802-11-wireless" and the
// same SSID bytes.
bool IsProfileOf(const TConnectionSettings& saved, const TConnectionSettings& wanted);

// The secret of `wanted`'s security ("psk", "wep-key0") that `saved` does not
// hold, as NetworkManager gives a connection's settings without its secrets:
// the name of the key to ask GetSecrets for; empty when none is missing, or
// when the key management differs anyway.
QString MissingSecret(const TConnectionSettings& saved, const TConnectionSettings& wanted);

// True when joining with `saved` would not join as `wanted` says: a value
// that `wanted` gives in "802-11-wireless" (but the old "security" link) or
// in "802-11-wireless-security" (the password too, when `saved` holds it)
// differs, or `saved` has security and the network is open now. What only
// `saved` holds (its uuid, addresses, ...) does not count.
bool ProfileDiffers(const TConnectionSettings& saved, const TConnectionSettings& wanted);

// `saved` brought up to date with `wanted`: its "connection" (uuid, id, ...)
// and its other settings kept, the values of `wanted`'s "802-11-wireless"
// set (a saved "hidden" stays when the code does not say it), and
// "802-11-wireless-security" that of `wanted` (none for an open network).
// What Settings.Connection.Update takes: it replaces all.
TConnectionSettings UpdatedProfile(const TConnectionSettings& saved, const TConnectionSettings& wanted);

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
    // network: with the network's saved profile (updated first when the
    // code's security differs from it), else with a new one. A NetworkManager
    // that lists no profiles (too old, or it refuses) gets a new one too.
    // Finished follows once, unless another request comes first.
    void Join(const TWifi& wifi);
    bool Pending() const { return fRequest != nullptr; }

signals:
    void Finished(const TWifiJoinOutcome& outcome);

private:
    struct TRequest;
    void AskDeviceTypes(const QStringList& devices);
    void FindProfile(const QString& device);
    void AskProfileSettings(const QStringList& profiles);
    void CheckProfile(const QString& profile, TConnectionSettings saved);
    void UpdateProfile(const QString& profile, const TConnectionSettings& saved);
    void ActivateProfile(const QString& profile);
    void Activate(const QString& device);
    void Finish(TWifiJoinOutcome outcome);
    // Sends `call`; `handle` gets its answer unless another request came meanwhile.
    void Send(const QDBusMessage& call, std::function<void(const QDBusPendingCall& answer)> handle);
    // Finished after an error answer of NetworkManager.
    void FinishWithError(const QDBusError& error);

    QDBusConnection fBus;
    std::shared_ptr<TRequest> fRequest;
};

Q_DECLARE_METATYPE(TWifiJoinOutcome)
