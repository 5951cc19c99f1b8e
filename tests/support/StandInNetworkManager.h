#pragma once
// NetworkManager's side on a test's bus, as far as joining a Wi-Fi network
// goes: its devices, each with its type; the manager's
// AddAndActivateConnection and ActivateConnection; and its settings, the
// saved connections ("profiles"), each an object of its own with
// GetSettings (without secrets, as NetworkManager gives them), GetSecrets
// and Update. A test registers the objects on its connection: the manager
// at /org/freedesktop/NetworkManager, the devices at paths of its choice,
// and, where the NetworkManager it plays has them, the settings with
// StandInSettings::Register.

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusObjectPath>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <memory>
#include <vector>

// A connection's settings as NetworkManager takes and gives them (a{sa{sv}}).
using TStandInSettings = QMap<QString, QVariantMap>;

class StandInDevice : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.NetworkManager.Device")
    Q_PROPERTY(uint DeviceType READ DeviceType)
public:
    explicit StandInDevice(uint type)
        : fType(type)
    {
    }
    uint DeviceType() const { return fType; }

private:
    uint fType;
};

// The devices of the stand-in NetworkManager: an Ethernet device first, then
// a Wi-Fi one, so that a client must pick the device by its type.
inline const QString kStandInEthernet = QStringLiteral("/org/freedesktop/NetworkManager/Devices/1");
inline const QString kStandInWifi = QStringLiteral("/org/freedesktop/NetworkManager/Devices/2");

// Registers those two devices on `bus`, kept alive in `devices`.
bool RegisterStandInDevices(QDBusConnection& bus, std::vector<std::unique_ptr<StandInDevice>>& devices);

// One saved connection, org.freedesktop.NetworkManager.Settings.Connection.
class StandInConnection : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.NetworkManager.Settings.Connection")
public:
    StandInConnection(QString path, TStandInSettings settings)
        : path(std::move(path))
        , settings(std::move(settings))
    {
    }

    const QString path;
    TStandInSettings settings; // with its secrets
    int updates = 0;           // Update calls

    // The slots name the type in full: D-Bus knows the type by that name.
public slots:
    // The settings without the secrets ("psk", "wep-key0"), as NetworkManager gives them.
    QMap<QString, QVariantMap> GetSettings();
    // The secrets of one setting, {name: {key: secret}}.
    QMap<QString, QVariantMap> GetSecrets(const QString& settingName);
    // Replaces every setting, as NetworkManager does.
    void Update(const QMap<QString, QVariantMap>& properties);
};

// org.freedesktop.NetworkManager.Settings: the saved connections.
class StandInSettings : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.NetworkManager.Settings")
public:
    // Registers the settings object on `bus`; its profiles are registered there as they come.
    bool Register(QDBusConnection bus);

    // Saves a profile, as AddAndActivateConnection or the desktop's settings
    // do; gives its object's path.
    QString Add(const TStandInSettings& settings);
    // Forgets every profile.
    void Clear();

    std::vector<std::unique_ptr<StandInConnection>> profiles;
    bool refuseList = false; // a NetworkManager that does not list its connections

public slots:
    QList<QDBusObjectPath> ListConnections();

private:
    std::unique_ptr<QDBusConnection> fBus;
    int fNext = 1;
};

class StandInNetworkManager : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.NetworkManager")
public:
    QList<QDBusObjectPath> devices;
    QString refusal; // non-empty: the activation fails with this reason
    // Where AddAndActivateConnection saves the new profile, and the profiles
    // ActivateConnection takes; none: a new profile is not kept.
    StandInSettings* savedConnections = nullptr;

    // The AddAndActivateConnection calls.
    struct Call {
        TStandInSettings settings;
        QString device, specificObject;
    };
    QList<Call> calls;

    // The ActivateConnection calls: the profile's path, the device, the specific object.
    struct Activation {
        QString connection, device, specificObject;
    };
    QList<Activation> activations;

public slots:
    QList<QDBusObjectPath> GetDevices() { return devices; }

    // The reply's two paths (the new connection's settings and the active
    // connection) are sent by hand, as NetworkManager gives both.
    void AddAndActivateConnection(const QMap<QString, QVariantMap>& settings, const QDBusObjectPath& device,
                                  const QDBusObjectPath& specificObject);

    // Activates a saved profile; one that is not saved is refused, as NetworkManager refuses it.
    QDBusObjectPath ActivateConnection(const QDBusObjectPath& profile, const QDBusObjectPath& device,
                                       const QDBusObjectPath& specificObject);
};
