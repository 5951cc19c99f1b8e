// "Connect" without a window: TWifiConnector against a stand-in
// NetworkManager on a private bus that the test starts. A network that
// NetworkManager has a profile of is joined with that profile (brought up to
// date when the code's security differs), another one with a new profile, so
// that profiles do not pile up; a NetworkManager that lists no profiles gets
// a new one each time, as before. And the comparison of a saved profile with
// a code's settings on its own.
#include "app/WifiConnection.h"
#include "support/LogCatcher.h"
#include "support/StandInNetworkManager.h"
#include "support/TestDesktop.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

constexpr int kTimeout = 30000;

// The settings a code asks for; "ethernet:NAME" a wired profile named NAME.
TConnectionSettings SettingsOf(const QString& code)
{
    if (code.startsWith(QLatin1String("ethernet:")))
        return {{QStringLiteral("connection"),
                 {{QStringLiteral("id"), code.mid(9)}, {QStringLiteral("type"), QStringLiteral("802-3-ethernet")}}}};
    const std::optional<TWifi> wifi = ParseWifi(code);
    return wifi ? WifiConnectionSettings(*wifi) : TConnectionSettings();
}

} // namespace

class WifiConnectionTest : public QObject {
    Q_OBJECT

    TPrivateSessionBus bus;
    std::unique_ptr<QDBusConnection> managerSide;
    std::unique_ptr<StandInNetworkManager> manager;
    std::unique_ptr<StandInSettings> settings;
    std::vector<std::unique_ptr<StandInDevice>> deviceObjects;
    QString busWhy;

private slots:
    void initTestCase()
    {
        qDBusRegisterMetaType<TConnectionSettings>();
        if (!bus.Start(busWhy))
            return; // the tests on the bus skip themselves
        managerSide = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(bus.Address(), QStringLiteral("stand-in NetworkManager")));
        QVERIFY(managerSide->isConnected());
        manager = std::make_unique<StandInNetworkManager>();
        settings = std::make_unique<StandInSettings>();
        manager->savedConnections = settings.get();
        QVERIFY(managerSide->registerObject(QLatin1String(kNetworkManagerPath), manager.get(),
                                            QDBusConnection::ExportAllSlots));
        QVERIFY(settings->Register(*managerSide));
        QVERIFY(RegisterStandInDevices(*managerSide, deviceObjects));
        QVERIFY(managerSide->registerService(QLatin1String(kNetworkManagerService)));
    }

    void init()
    {
        if (!manager)
            return;
        manager->devices = {QDBusObjectPath(kStandInEthernet), QDBusObjectPath(kStandInWifi)};
        manager->refusal.clear();
        manager->calls.clear();
        manager->activations.clear();
        settings->Clear();
        settings->refuseList = false;
        // Back where a case took it away.
        managerSide->registerObject(QLatin1String(kNetworkManagerSettingsPath), settings.get(),
                                    QDBusConnection::ExportAllSlots);
    }

    // ---- Against the stand-in ------------------------------------------------

    void joinsWithTheSavedProfile_data()
    {
        QTest::addColumn<QString>("side");      // "lists", "refuses" (ListConnections), "absent" (no settings object)
        QTest::addColumn<QStringList>("saved"); // the profiles saved before, as codes
        QTest::addColumn<QStringList>("joins"); // the codes joined, one after the other
        QTest::addColumn<int>("added");         // AddAndActivateConnection calls
        QTest::addColumn<int>("activated");     // ActivateConnection calls
        QTest::addColumn<int>("updates");       // Update calls
        QTest::addColumn<QStringList>("afterwards"); // the profiles saved afterwards, as codes, in their order

        const QString home = QStringLiteral("WIFI:T:WPA;S:Home;P:secret12;;");
        const QString homeNewPassword = QStringLiteral("WIFI:T:WPA;S:Home;P:changed34;;");
        QTest::newRow("two connects, one profile")
            << "lists" << QStringList{} << QStringList{home, home} << 1 << 1 << 0 << QStringList{home};
        QTest::newRow("three connects, one profile")
            << "lists" << QStringList{} << QStringList{home, home, home} << 1 << 2 << 0 << QStringList{home};
        QTest::newRow("a profile of another network")
            << "lists" << QStringList{"WIFI:T:WPA;S:Cafe;P:latte123;;"} << QStringList{home} << 1 << 0 << 0
            << QStringList{"WIFI:T:WPA;S:Cafe;P:latte123;;", home};
        QTest::newRow("an SSID differing in case is another network")
            << "lists" << QStringList{"WIFI:T:WPA;S:home;P:secret12;;"} << QStringList{home} << 1 << 0 << 0
            << QStringList{"WIFI:T:WPA;S:home;P:secret12;;", home};
        QTest::newRow("a wired profile named as the network")
            << "lists" << QStringList{"ethernet:Home"} << QStringList{home} << 1 << 0 << 0
            << QStringList{"ethernet:Home", home};
        QTest::newRow("the saved profile as it is")
            << "lists" << QStringList{home} << QStringList{home} << 0 << 1 << 0 << QStringList{home};
        QTest::newRow("the password changed") << "lists" << QStringList{home} << QStringList{homeNewPassword} << 0 << 1
                                              << 1 << QStringList{homeNewPassword};
        QTest::newRow("the password changed back and forth")
            << "lists" << QStringList{} << QStringList{home, homeNewPassword, home} << 1 << 2 << 2 << QStringList{home};
        QTest::newRow("wpa to wpa3") << "lists" << QStringList{home} << QStringList{"WIFI:T:SAE;S:Home;P:secret12;;"}
                                     << 0 << 1 << 1 << QStringList{"WIFI:T:SAE;S:Home;P:secret12;;"};
        QTest::newRow("open now") << "lists" << QStringList{home} << QStringList{"WIFI:S:Home;;"} << 0 << 1 << 1
                                  << QStringList{"WIFI:S:Home;;"};
        QTest::newRow("a password now") << "lists" << QStringList{"WIFI:S:Home;;"} << QStringList{home} << 0 << 1 << 1
                                        << QStringList{home};
        QTest::newRow("hidden now") << "lists" << QStringList{home}
                                    << QStringList{"WIFI:T:WPA;S:Home;P:secret12;H:true;;"} << 0 << 1 << 1
                                    << QStringList{"WIFI:T:WPA;S:Home;P:secret12;H:true;;"};
        QTest::newRow("wep key changed") << "lists" << QStringList{"WIFI:T:WEP;S:Old;P:0123456789;;"}
                                         << QStringList{"WIFI:T:WEP;S:Old;P:9876543210;;"} << 0 << 1 << 1
                                         << QStringList{"WIFI:T:WEP;S:Old;P:9876543210;;"};
        QTest::newRow("the first of two profiles of the network")
            << "lists" << QStringList{home, homeNewPassword} << QStringList{home} << 0 << 1 << 0
            << QStringList{home, homeNewPassword};
        QTest::newRow("no list: a new profile each time")
            << "refuses" << QStringList{} << QStringList{home, home} << 2 << 0 << 0 << QStringList{home, home};
        QTest::newRow("no list though a profile is saved")
            << "refuses" << QStringList{home} << QStringList{home} << 1 << 0 << 0 << QStringList{home, home};
        QTest::newRow("no settings at all")
            << "absent" << QStringList{} << QStringList{home, home} << 2 << 0 << 0 << QStringList{home, home};
    }

    void joinsWithTheSavedProfile()
    {
        if (!manager)
            QSKIP(qPrintable(busWhy));
        QFETCH(QString, side);
        QFETCH(QStringList, saved);
        QFETCH(QStringList, joins);
        QFETCH(int, added);
        QFETCH(int, activated);
        QFETCH(int, updates);
        QFETCH(QStringList, afterwards);
        for (const QString& code : saved)
            settings->Add(SettingsOf(code));
        QStringList uuids;
        for (const auto& profile : settings->profiles)
            uuids.append(profile->settings.value("connection").value("uuid").toString());
        settings->refuseList = side == QLatin1String("refuses");
        const QString settingsPath = QLatin1String(kNetworkManagerSettingsPath);
        if (side == QLatin1String("absent"))
            managerSide->unregisterObject(settingsPath);

        TLogCatcher log;
        TWifiConnector connector(QDBusConnection::connectToBus(bus.Address(), QStringLiteral("connector")));
        QSignalSpy finished(&connector, &TWifiConnector::Finished);
        for (const QString& code : joins) {
            finished.clear();
            connector.Join(*ParseWifi(code));
            QVERIFY(finished.wait(kTimeout));
            const auto outcome = finished.first().first().value<TWifiJoinOutcome>();
            QVERIFY2(outcome.status == TWifiJoinOutcome::TStatus::Activating, qPrintable(outcome.message));
        }

        QCOMPARE(manager->calls.size(), added);
        QCOMPARE(manager->activations.size(), activated);
        int updated = 0;
        for (const auto& profile : settings->profiles)
            updated += profile->updates;
        QCOMPARE(updated, updates);
        for (const StandInNetworkManager::Activation& activation : manager->activations) {
            QCOMPARE(activation.device, kStandInWifi);
            QCOMPARE(activation.specificObject, QStringLiteral("/"));
        }

        // The profiles are those of the codes, each with its settings as the
        // code gives them, and a profile that was there keeps its identity.
        QCOMPARE(int(settings->profiles.size()), int(afterwards.size()));
        for (int i = 0; i < afterwards.size(); ++i) {
            TConnectionSettings profile = settings->profiles.at(std::size_t(i))->settings;
            const QString uuid = profile[QStringLiteral("connection")].take(QStringLiteral("uuid")).toString();
            QVERIFY(!uuid.isEmpty());
            if (i < uuids.size())
                QCOMPARE(uuid, uuids.at(i));
            QCOMPARE(profile, SettingsOf(afterwards.at(i)));
        }

        // The passwords went to NetworkManager and into no log.
        for (const QString& line : TLogCatcher::Lines())
            for (const QString& code : joins + saved)
                if (const std::optional<TWifi> wifi = ParseWifi(code); wifi && !wifi->password.isEmpty())
                    QVERIFY2(!line.contains(wifi->password), qPrintable(line));
    }

    // The saved profile's own settings stay: what the desktop's settings added.
    void updateKeepsTheProfilesOwnSettings()
    {
        if (!manager)
            QSKIP(qPrintable(busWhy));
        TConnectionSettings own = SettingsOf(QStringLiteral("WIFI:T:WPA;S:Home;P:secret12;;"));
        own[QStringLiteral("connection")].insert(QStringLiteral("id"), QStringLiteral("Home (upstairs)"));
        own[QStringLiteral("connection")].insert(QStringLiteral("autoconnect-priority"), 5);
        // A value of a compound type too (a list of addresses, "au"), as NetworkManager gives its settings.
        own[QStringLiteral("ipv4")] = {
            {QStringLiteral("method"), QStringLiteral("auto")},
            {QStringLiteral("may-fail"), false},
            {QStringLiteral("dns"), QVariant::fromValue(QList<uint>{0x0100007fu, 0x0200007fu})}};
        settings->Add(own);
        const QString uuid = settings->profiles.front()->settings.value("connection").value("uuid").toString();

        TWifiConnector connector(QDBusConnection::connectToBus(bus.Address(), QStringLiteral("connector")));
        QSignalSpy finished(&connector, &TWifiConnector::Finished);
        connector.Join(*ParseWifi(QStringLiteral("WIFI:T:WPA;S:Home;P:changed34;;")));
        QVERIFY(finished.wait(kTimeout));
        QVERIFY(finished.first().first().value<TWifiJoinOutcome>().status == TWifiJoinOutcome::TStatus::Activating);

        QCOMPARE(int(settings->profiles.size()), 1);
        const TConnectionSettings updated = settings->profiles.front()->settings;
        QCOMPARE(settings->profiles.front()->updates, 1);
        QCOMPARE(updated.value("connection").value("uuid").toString(), uuid);
        QCOMPARE(updated.value("connection").value("id").toString(), QStringLiteral("Home (upstairs)"));
        QCOMPARE(updated.value("connection").value("autoconnect-priority").toInt(), 5);
        QCOMPARE(updated.value("ipv4").value("method").toString(), QStringLiteral("auto"));
        QCOMPARE(qdbus_cast<QList<uint>>(updated.value("ipv4").value("dns")), (QList<uint>{0x0100007fu, 0x0200007fu}));
        QCOMPARE(updated.value("802-11-wireless-security").value("psk").toString(), QStringLiteral("changed34"));
        QCOMPARE(manager->activations.size(), 1);
        QCOMPARE(manager->activations.first().connection, settings->profiles.front()->path);
    }

    // NetworkManager's refusals keep their outcome and message.
    void refusalsAreSaid_data()
    {
        QTest::addColumn<QStringList>("saved");
        QTest::addColumn<int>("added");
        QTest::addColumn<int>("activated");
        QTest::newRow("a new profile") << QStringList{} << 1 << 0;
        QTest::newRow("the saved profile") << QStringList{"WIFI:T:WPA;S:Home;P:secret12;;"} << 0 << 1;
    }

    void refusalsAreSaid()
    {
        if (!manager)
            QSKIP(qPrintable(busWhy));
        QFETCH(QStringList, saved);
        QFETCH(int, added);
        QFETCH(int, activated);
        for (const QString& code : saved)
            settings->Add(SettingsOf(code));
        manager->refusal = QStringLiteral("Secrets were required, but not provided.");
        TWifiConnector connector(QDBusConnection::connectToBus(bus.Address(), QStringLiteral("connector")));
        QSignalSpy finished(&connector, &TWifiConnector::Finished);
        connector.Join(*ParseWifi(QStringLiteral("WIFI:T:WPA;S:Home;P:secret12;;")));
        QVERIFY(finished.wait(kTimeout));
        const auto outcome = finished.first().first().value<TWifiJoinOutcome>();
        QVERIFY(outcome.status == TWifiJoinOutcome::TStatus::Failed);
        QCOMPARE(outcome.message, manager->refusal);
        QCOMPARE(manager->calls.size(), added);
        QCOMPARE(manager->activations.size(), activated);
    }

    // ---- The comparison on its own --------------------------------------------

    void savedProfileAgainstTheCode_data()
    {
        QTest::addColumn<QString>("saved");
        QTest::addColumn<QStringList>("secretsGiven"); // the keys GetSettings gave of the saved secrets
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("same");       // a profile of the code's network
        QTest::addColumn<QString>("missing"); // the secret to ask GetSecrets for
        QTest::addColumn<bool>("differs");    // with the secrets given
        const QString home = QStringLiteral("WIFI:T:WPA;S:Home;P:secret12;;");
        QTest::newRow("as it is") << home << QStringList{"psk"} << home << true << QString() << false;
        QTest::newRow("without its secret") << home << QStringList{} << home << true << "psk" << true;
        QTest::newRow("other password") << home << QStringList{"psk"} << "WIFI:T:WPA;S:Home;P:other567;;" << true
                                        << QString() << true;
        QTest::newRow("other key management, secret unasked")
            << home << QStringList{} << "WIFI:T:SAE;S:Home;P:secret12;;" << true << QString() << true;
        QTest::newRow("open code, secured profile")
            << home << QStringList{} << "WIFI:S:Home;;" << true << QString() << true;
        QTest::newRow("open both") << "WIFI:S:Home;;" << QStringList{} << "WIFI:S:Home;;" << true << QString() << false;
        QTest::newRow("wep key") << "WIFI:T:WEP;S:Old;P:0123456789;;" << QStringList{}
                                 << "WIFI:T:WEP;S:Old;P:0123456789;;" << true << "wep-key0" << true;
        QTest::newRow("other ssid") << home << QStringList{"psk"} << "WIFI:T:WPA;S:Home2;P:secret12;;" << false
                                    << QString() << true;
        QTest::newRow("an umlaut is another ssid") << QString::fromUtf8("WIFI:S:G\u00e4ste;;") << QStringList{}
                                                   << "WIFI:S:Gaste;;" << false << QString() << true;
        QTest::newRow("wired") << "ethernet:Home" << QStringList{} << home << false << QString() << true;
    }

    void savedProfileAgainstTheCode()
    {
        QFETCH(QString, saved);
        QFETCH(QStringList, secretsGiven);
        QFETCH(QString, code);
        QFETCH(bool, same);
        QFETCH(QString, missing);
        QFETCH(bool, differs);
        TConnectionSettings profile = SettingsOf(saved);
        if (profile.contains(QStringLiteral("802-11-wireless-security")))
            for (const QString& secret : {QStringLiteral("psk"), QStringLiteral("wep-key0")})
                if (!secretsGiven.contains(secret))
                    profile[QStringLiteral("802-11-wireless-security")].remove(secret);
        const TConnectionSettings wanted = SettingsOf(code);
        QCOMPARE(IsProfileOf(profile, wanted), same);
        QCOMPARE(MissingSecret(profile, wanted), missing);
        QCOMPARE(ProfileDiffers(profile, wanted), differs);
        // Brought up to date, it is the code's profile, whatever it was.
        if (same) {
            const TConnectionSettings updated = UpdatedProfile(profile, wanted);
            QCOMPARE(updated, wanted);
            QVERIFY(!ProfileDiffers(updated, wanted));
        }
    }
};

QTEST_GUILESS_MAIN(WifiConnectionTest)
#include "tst_wifi_connection.moc"
