// The row of actions under the result panes: which actions each kind of
// code offers, what they do (the desktop's handlers caught, the save dialog
// answered by the test), the row following the webcam without taking the
// focus, and "Connect" against a stand-in NetworkManager on a private bus
// that the test starts: the settings it receives, and its refusal shown.
#include "app/WifiConnection.h"
#include "app/widgets/ActionRow.h"
#include "app/widgets/AppForm.h"
#include "app/widgets/ElidedLabel.h"
#include "capture/CameraSources.h"
#include "support/LogCatcher.h"
#include "support/MainWindowFixture.h"
#include "support/ModalAnswers.h"
#include "support/PictureFiles.h"
#include "support/ShownButtons.h"
#include "support/StandInNetworkManager.h"
#include "support/TestCameras.h"
#include "support/TestDesktop.h"
#include "support/UrlCatcher.h"

#include <QClipboard>
#include <QComboBox>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>

#include <ctime>
#include <memory>

namespace {

constexpr int kTimeout = 30000;

} // namespace

class ActionRowTest : public QObject, TMainWindowFixture {
    Q_OBJECT

    TPrivateSessionBus bus;
    std::unique_ptr<QDBusConnection> managerSide;
    std::unique_ptr<StandInNetworkManager> manager;
    std::vector<std::unique_ptr<StandInDevice>> deviceObjects;
    QString busWhy;

    // A window whose action rows save where the test says and find
    // NetworkManager on the test's bus.
    std::unique_ptr<TAppForm> MakeWindow(std::function<std::optional<QString>()> saveAnswer = {})
    {
        std::unique_ptr<TAppForm> form = MakeForm();
        for (TActionRow* row : {form->ActionRow1, form->ActionRow2}) {
            row->Services().networkBusAddress = bus.Address();
            row->Services().askSchemeHandler = [](const QString&, const std::function<void(bool)>& answer) {
                answer(true);
            };
            row->saveFileDialog = [saveAnswer](QWidget*, const QString&, const QString&, const QString&) {
                return saveAnswer ? saveAnswer() : std::optional<QString>();
            };
        }
        return form;
    }

    // The code's picture opened on the "Image File" tab, as the user picks one.
    void OpenCode(TAppForm& form, const QString& text)
    {
        form.OpenPictureFile(SavePicture(QStringLiteral("code.png"), QrCodePicture(text)));
    }

    // Presses a button from the keyboard, as a user who tabbed to it does.
    static void Press(QPushButton* button)
    {
        QVERIFY(button->focusPolicy() & Qt::TabFocus);
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Space);
    }

private slots:
    void initTestCase()
    {
        // A zone away from UTC, so that a time shown in UTC would be seen.
        qputenv("TZ", "America/New_York");
        tzset();
        qDBusRegisterMetaType<TConnectionSettings>();
        if (!bus.Start(busWhy))
            return; // the NetworkManager tests skip themselves
        managerSide = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(bus.Address(), QStringLiteral("stand-in NetworkManager")));
        QVERIFY(managerSide->isConnected());
        manager = std::make_unique<StandInNetworkManager>();
        QVERIFY(managerSide->registerObject(QLatin1String(kNetworkManagerPath), manager.get(),
                                            QDBusConnection::ExportAllSlots));
        QVERIFY(RegisterStandInDevices(*managerSide, deviceObjects));
        QVERIFY(managerSide->registerService(QLatin1String(kNetworkManagerService)));
    }

    void init()
    {
        Init();
        if (manager) {
            manager->devices = {QDBusObjectPath(kStandInEthernet), QDBusObjectPath(kStandInWifi)};
            manager->refusal.clear();
            manager->calls.clear();
            managerSide->registerService(QLatin1String(kNetworkManagerService));
        }
    }

    void cleanup() { Cleanup(); }

    // ---- The row per kind ---------------------------------------------------

    void rowPerKind_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("buttons"); // empty: no row
        QTest::addColumn<QString>("summary");
        QTest::newRow("link") << "https://lantrix.invalid/hello?from=qr" << QStringList{"OpenLink"}
                              << "Link to: lantrix.invalid";
        QTest::newRow("link of mixed scripts") << QString::fromUtf8("https://\xD0\xB0pple.com/login")
                                               << QStringList{"OpenLink"} << "Link to: xn--pple-43d.com";
        QTest::newRow("link of one script") << QString::fromUtf8("https://пример.рф/") << QStringList{"OpenLink"}
                                            << QString::fromUtf8("Link to: пример.рф");
        QTest::newRow("ftp is no link") << "ftp://lantrix.invalid/file" << QStringList{} << "";
        QTest::newRow("wpa network") << R"(WIFI:T:WPA;S:Cafe\;Bar;P:secret12;;)"
                                     << QStringList{"CopyPassword", "Connect"} << "Wi-Fi network: Cafe;Bar (WPA)";
        QTest::newRow("hidden open network")
            << "WIFI:S:Guest;H:true;;" << QStringList{"Connect"} << "Wi-Fi network: Guest (no password, hidden)";
        QTest::newRow("e-mail") << "mailto:ana@lantrix.invalid?subject=Hi" << QStringList{"WriteEmail"}
                                << "E-mail to: ana@lantrix.invalid";
        QTest::newRow("telephone") << "tel:+15550100" << QStringList{"Call"} << "Telephone: +15550100";
        QTest::newRow("sms") << "SMSTO:+15550100:Hello" << QStringList{"SendSms"} << "SMS to: +15550100";
        QTest::newRow("contact") << "MECARD:N:Lima,Ana;TEL:+15550100;;" << QStringList{"SaveContact"}
                                 << "Contact: Ana Lima";
        QTest::newRow("event") << "BEGIN:VEVENT\nSUMMARY:Launch\nDTSTART:20261224T180000Z\nEND:VEVENT"
                               << QStringList{"AddToCalendar"}
                               << QStringLiteral("Event: Launch, ")
                                      + QLocale().toString(QDate(2026, 12, 24), QLocale::ShortFormat) + u' '
                                      + QLocale().toString(QTime(13, 0), QLocale::ShortFormat); // in New York
        QTest::newRow("place") << "geo:52.52,13.405" << QStringList{"ShowOnMap"} << "Place: 52.52000, 13.40500";
        QTest::newRow("reversed e-mail address")
            << QString::fromUtf8("mailto:admin\u202Egro.elpmaxe@evil.com") << QStringList{} << "";
        QTest::newRow("zero-width e-mail address")
            << QString::fromUtf8("mailto:pay\u200Bpal@example.com") << QStringList{} << "";
        QTest::newRow("network name with ESC") << "WIFI:S:Home\x1B[2J;T:WPA;P:secret12;;" << QStringList{} << "";
        QTest::newRow("number with a right-to-left mark")
            << QString::fromUtf8("tel:+1555\u200F0100") << QStringList{} << "";
        QTest::newRow("contact name with an override")
            << QString::fromUtf8("MECARD:N:Lima,Ana\u202E;;") << QStringList{"SaveContact"} << "Contact: Ana Lima";
        QTest::newRow("plain text") << "Lantrix Data Matrix 0042" << QStringList{} << "";
        QTest::newRow("rich text stays text") << "<b>bold</b> <img src=x>" << QStringList{} << "";
    }

    void rowPerKind()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, buttons);
        QFETCH(QString, summary);
        auto form = MakeWindow();
        QVERIFY(form->ActionRow1->isHidden()); // nothing read yet
        OpenCode(*form, text);
        QCOMPARE(form->Memo1->toPlainText(), text); // the pane keeps its text
        QCOMPARE(form->ActionRow1->isHidden(), buttons.isEmpty());
        QCOMPARE(ShownButtons(form->ActionRow1), buttons);
        if (!buttons.isEmpty()) {
            QCOMPARE(form->ActionRow1->Summary->FullText(), summary);
            QCOMPARE(form->ActionRow1->Summary->textFormat(), Qt::PlainText);
            // The row sits under the pane.
            QVERIFY(form->ActionRow1->geometry().top() >= form->Memo1->geometry().bottom());
        }
        // A picture without a code empties the row again.
        QImage blank(200, 200, QImage::Format_RGB32);
        blank.fill(Qt::white); // a new QImage holds whatever its memory held, a code read before included
        form->OpenPictureFile(SavePicture(QStringLiteral("blank.png"), blank));
        QCOMPARE(form->Memo1->toPlainText(), QStringLiteral("Unreadable!"));
        QVERIFY(form->ActionRow1->isHidden());
    }

    // ---- What the actions do ------------------------------------------------

    void addressActions_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("geoHandler");
        QTest::addColumn<QString>("opened");
        QTest::newRow("link") << "https://lantrix.invalid/a?b=1"
                              << "OpenLink" << true << "https://lantrix.invalid/a?b=1";
        QTest::newRow("e-mail") << "MATMSG:TO:ana@lantrix.invalid;SUB:Hi there;;"
                                << "WriteEmail" << true << "mailto:ana@lantrix.invalid?subject=Hi%20there";
        QTest::newRow("call") << "tel:+1 555 0100"
                              << "Call" << true << "tel:+1%20555%200100";
        QTest::newRow("sms") << "SMSTO:+15550100:See you"
                             << "SendSms" << true << "sms:+15550100?body=See%20you";
        QTest::newRow("map through the desktop") << "geo:52.52,13.405?q=Gate"
                                                 << "ShowOnMap" << true << "geo:52.52,13.405?q=Gate";
        QTest::newRow("map without a handler")
            << "geo:52.52,13.405"
            << "ShowOnMap" << false << "https://www.openstreetmap.org/?mlat=52.52&mlon=13.405#map=16/52.52/13.405";
    }

    void addressActions()
    {
        QFETCH(QString, text);
        QFETCH(QString, button);
        QFETCH(bool, geoHandler);
        QFETCH(QString, opened);
        TUrlCatcher catcher({"http", "https", "mailto", "tel", "sms", "geo"});
        auto form = MakeWindow();
        form->ActionRow1->Services().askSchemeHandler = [geoHandler](const QString& scheme,
                                                                     const std::function<void(bool)>& answer) {
            answer(scheme == QLatin1String("geo") && geoHandler);
        };
        OpenCode(*form, text);
        Press(form->ActionRow1->findChild<QPushButton*>(button));
        QCOMPARE(catcher.urls.size(), 1);
        QCOMPARE(QString::fromUtf8(catcher.urls.first().toEncoded()), opened);
    }

    void saveActions_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("suggested");
        QTest::addColumn<QString>("firstLine");
        QTest::addColumn<QString>("holds");
        QTest::newRow("contact") << R"(MECARD:N:Lima,Ana;TEL:+15550100;NOTE:a\;b;;)"
                                 << "SaveContact"
                                 << "Ana Lima.vcf"
                                 << "BEGIN:VCARD"
                                 << "NOTE:a\\;b";
        QTest::newRow("contact with a path for a name") << "MECARD:N:../../.bashrc;;"
                                                        << "SaveContact"
                                                        << "bashrc.vcf"
                                                        << "BEGIN:VCARD"
                                                        << "FN:../../.bashrc";
        QTest::newRow("event") << "BEGIN:VEVENT\nSUMMARY:Launch\nDTSTART;VALUE=DATE:20261224\nEND:VEVENT"
                               << "AddToCalendar"
                               << "Launch.ics"
                               << "BEGIN:VCALENDAR"
                               << "DTSTART;VALUE=DATE:20261224";
    }

    void saveActions()
    {
        QFETCH(QString, text);
        QFETCH(QString, button);
        QFETCH(QString, suggested);
        QFETCH(QString, firstLine);
        QFETCH(QString, holds);
        const QString target = root->filePath(QStringLiteral("saved file"));
        QString asked;
        auto form = MakeWindow();
        form->ActionRow1->saveFileDialog = [&](QWidget*, const QString&, const QString& path, const QString&) {
            asked = path;
            return std::optional<QString>(target);
        };
        OpenCode(*form, text);
        Press(form->ActionRow1->findChild<QPushButton*>(button));
        QCOMPARE(QFileInfo(asked).fileName(), suggested);
        QFile file(target);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString saved = QString::fromUtf8(file.readAll());
        QVERIFY2(saved.startsWith(firstLine + QStringLiteral("\r\n")), qPrintable(saved));
        QVERIFY2(saved.contains(holds + QStringLiteral("\r\n")), qPrintable(saved));
        QVERIFY(form->statusBar()->currentMessage().contains(QDir::toNativeSeparators(target)));

        // Cancelled: nothing written; a folder that cannot be written: a message.
        QVERIFY(QFile::remove(target));
        form->ActionRow1->saveFileDialog = [](QWidget*, const QString&, const QString&, const QString&) {
            return std::optional<QString>();
        };
        Press(form->ActionRow1->findChild<QPushButton*>(button));
        QVERIFY(!QFile::exists(target));
        form->ActionRow1->saveFileDialog = [&](QWidget*, const QString&, const QString&, const QString&) {
            return std::optional<QString>(root->filePath(QStringLiteral("no such folder/x")));
        };
        QString shown;
        AnswerNextMessageBox([&shown](QMessageBox* box) {
            shown = box->text();
            box->accept();
        });
        Press(form->ActionRow1->findChild<QPushButton*>(button));
        QVERIFY2(shown.startsWith(QStringLiteral("The file could not be saved: ")), qPrintable(shown));
    }

    // A name longer than a file name may be is cut to fit, and the file is
    // saved under the name suggested, not refused as too long.
    void longNamesAreSavedUnderTheSuggestedName_data()
    {
        QTest::addColumn<QString>("name");
        QString cjk;
        for (int i = 0; i < 110; ++i)
            cjk += QChar(0x4E00 + i * 37);
        QTest::newRow("110 CJK characters") << cjk;
        QString emoji;
        for (int i = 0; i < 80; ++i)
            emoji += QString::fromUcs4(U"\U0001F600");
        QTest::newRow("80 emoji") << emoji;
        QTest::newRow("hidden characters") << QStringLiteral("Ana\u202E\u200BLima\u0007");
    }

    void longNamesAreSavedUnderTheSuggestedName()
    {
        QFETCH(QString, name);
        QString asked;
        auto form = MakeWindow();
        form->ActionRow1->saveFileDialog = [&](QWidget*, const QString&, const QString& path, const QString&) {
            asked = QFileInfo(path).fileName();
            return std::optional<QString>(root->filePath(asked));
        };
        OpenCode(*form, QStringLiteral("MECARD:N:") + name + QStringLiteral(";;"));
        Press(form->ActionRow1->SaveContact);
        QVERIFY(asked.toUtf8().size() <= 255);
        QVERIFY(asked.endsWith(QStringLiteral(".vcf")));
        QVERIFY(!asked.contains(QChar(0x202E)) && !asked.contains(QChar(0x200B)) && !asked.contains(QChar(7)));
        QVERIFY(!asked.contains(QChar(0xFFFD)));
        QVERIFY(name.startsWith(asked.chopped(4).left(2)) || asked.startsWith(QStringLiteral("AnaLima")));
        QVERIFY2(QFile::exists(root->filePath(asked)), qPrintable(form->statusBar()->currentMessage()));
    }

    void copyPassword()
    {
        auto form = MakeWindow();
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        OpenCode(*form, QStringLiteral(R"(WIFI:T:WPA;S:Home;P:pa\;ss\:wo\,rd\\;;)"));
        Press(form->ActionRow1->CopyPassword);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("pa;ss:wo,rd\\"));
        QCOMPARE(form->statusBar()->currentMessage(), QStringLiteral("The password is on the clipboard."));
    }

    // ---- The webcam tab -------------------------------------------------------

    void webcamRowFollowsWithoutTakingFocus()
    {
        const QString camera = QStringLiteral("Action Row Wi-Fi Camera");
        const QString png =
            SavePicture(QStringLiteral("wifi.png"), QrCodePicture(QStringLiteral("WIFI:T:WPA;S:Lobby;P:welcome1;;")));
        TCameraSources::Add(camera, StillPictureDescription(png, TTestCameraFormat::YUY2, 640, 480));
        auto form = MakeWindow();
        form->activateWindow();
        form->PageControl1->setCurrentIndex(1);
        form->ComboBox1->setCurrentIndex(form->ComboBox1->findText(camera));
        QVERIFY(form->ComboBox1->currentIndex() >= 0);
        form->ComboBox1->setFocus();
        form->Button1->click();
        QTRY_VERIFY_WITH_TIMEOUT(!form->ActionRow2->isHidden(), kTimeout);
        QCOMPARE(ShownButtons(form->ActionRow2), (QStringList{"CopyPassword", "Connect"}));
        QCOMPARE(form->ActionRow2->Summary->FullText(), QStringLiteral("Wi-Fi network: Lobby (WPA)"));
        // More frames of the same code: the focus stays where the user put it.
        const QWidget* focused = QApplication::focusWidget();
        QTest::qWait(500);
        QCOMPARE(QApplication::focusWidget(), focused);
        QVERIFY(!form->ActionRow2->isAncestorOf(QApplication::focusWidget()));
        form->Button1->click(); // STOP
        TCameraSources::Remove(camera);
        QVERIFY(form->ActionRow1->isHidden()); // the other tab's row is its own
    }

    // ---- Connect, against the stand-in NetworkManager -----------------------------

    // The client alone: the outcome it reports, and the stand-in's call.
    void connectorReportsTheOutcome()
    {
        if (!manager)
            QSKIP(qPrintable(busWhy));
        TWifiConnector connector(QDBusConnection::connectToBus(bus.Address(), QStringLiteral("connector")));
        QSignalSpy finished(&connector, &TWifiConnector::Finished);
        connector.Join(*ParseWifi(QStringLiteral("WIFI:T:WPA;S:Home;P:secret12;;")));
        QVERIFY(connector.Pending());
        QVERIFY(finished.wait(kTimeout));
        const auto outcome = finished.first().first().value<TWifiJoinOutcome>();
        QVERIFY2(outcome.status == TWifiJoinOutcome::TStatus::Activating, qPrintable(outcome.message));
        QVERIFY(!connector.Pending());
        QCOMPARE(manager->calls.size(), 1);
    }

    void connectSendsTheSettings_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("ssid");
        QTest::addColumn<QVariantMap>("security"); // empty: none sent
        QTest::addColumn<bool>("hidden");
        QTest::newRow("wpa") << R"(WIFI:T:WPA;S:Cafe\;Bar;P:pa\:ss\,word;;)" << QByteArray("Cafe;Bar")
                             << QVariantMap{{"key-mgmt", "wpa-psk"}, {"psk", "pa:ss,word"}} << false;
        QTest::newRow("wpa3") << "WIFI:T:SAE;S:Home;P:secret12;;" << QByteArray("Home")
                              << QVariantMap{{"key-mgmt", "sae"}, {"psk", "secret12"}} << false;
        QTest::newRow("wep key") << "WIFI:T:WEP;S:Old;P:0123456789;;" << QByteArray("Old")
                                 << QVariantMap{{"key-mgmt", "none"}, {"wep-key0", "0123456789"}, {"wep-key-type", 1u}}
                                 << false;
        QTest::newRow("wep passphrase") << "WIFI:T:WEP;S:Old;P:open sesame;;" << QByteArray("Old")
                                        << QVariantMap{{"key-mgmt", "none"},
                                                       {"wep-key0", "open sesame"},
                                                       {"wep-key-type", 2u}}
                                        << false;
        QTest::newRow("hidden open network")
            << QString::fromUtf8("WIFI:S:Gäste;H:true;;") << QByteArray("G\xc3\xa4ste") << QVariantMap{} << true;
    }

    void connectSendsTheSettings()
    {
        if (!manager)
            QSKIP(qPrintable(busWhy));
        QFETCH(QString, text);
        QFETCH(QByteArray, ssid);
        QFETCH(QVariantMap, security);
        QFETCH(bool, hidden);
        TLogCatcher log;
        auto form = MakeWindow();
        OpenCode(*form, text);
        QString unexpected;
        AnswerNextMessageBox([&unexpected](QMessageBox* box) {
            unexpected = box->text();
            box->accept();
        });
        Press(form->ActionRow1->Connect);
        QTRY_VERIFY_WITH_TIMEOUT(!form->statusBar()->currentMessage().isEmpty() || !unexpected.isEmpty(), kTimeout);
        QCOMPARE(unexpected, QString());
        QCOMPARE(form->statusBar()->currentMessage(), QStringLiteral("NetworkManager is joining the network."));
        QCOMPARE(manager->calls.size(), 1);
        const StandInNetworkManager::Call& call = manager->calls.first();
        QCOMPARE(call.device, kStandInWifi); // the Wi-Fi device, not the first one
        QCOMPARE(call.specificObject, QStringLiteral("/"));
        QCOMPARE(call.settings.value("connection").value("type").toString(), QStringLiteral("802-11-wireless"));
        QCOMPARE(call.settings.value("connection").value("id").toString(), QString::fromUtf8(ssid));
        const QVariantMap wireless = call.settings.value("802-11-wireless");
        QCOMPARE(wireless.value("ssid").toByteArray(), ssid);
        QCOMPARE(wireless.value("mode").toString(), QStringLiteral("infrastructure"));
        QCOMPARE(wireless.value("hidden").toBool(), hidden);
        QCOMPARE(call.settings.contains("802-11-wireless-security"), !security.isEmpty());
        const QVariantMap sent = call.settings.value("802-11-wireless-security");
        for (auto it = security.cbegin(); it != security.cend(); ++it)
            QCOMPARE(sent.value(it.key()).toString(), it.value().toString());
        QCOMPARE(sent.size(), security.size());
        // The password went to NetworkManager and into no log.
        for (const QString& line : TLogCatcher::Lines())
            for (const char* key : {"psk", "wep-key0"})
                if (sent.contains(key))
                    QVERIFY2(!line.contains(sent.value(key).toString()), qPrintable(line));
        QVERIFY(form->ActionRow1->Connect->isEnabled());
    }

    void connectFailures_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("message");
        QTest::newRow("refused")
            << "refused"
            << "NetworkManager could not join the network: Secrets were required, but not provided.";
        QTest::newRow("no Wi-Fi device") << "no wifi"
                                         << "NetworkManager has no Wi-Fi device to join the network with.";
        QTest::newRow("not running")
            << "not running"
            << "NetworkManager does not run here, so Lantrix cannot join the network. Copy the "
               "password and join the network in the desktop's settings.";
        QTest::newRow("no bus") << "no bus"
                                << "NetworkManager does not run here, so Lantrix cannot join the network. Copy the "
                                   "password and join the network in the desktop's settings.";
    }

    void connectFailures()
    {
        if (!manager)
            QSKIP(qPrintable(busWhy));
        QFETCH(QString, situation);
        QFETCH(QString, message);
        auto form = MakeWindow();
        if (situation == QLatin1String("refused"))
            manager->refusal = QStringLiteral("Secrets were required, but not provided.");
        else if (situation == QLatin1String("no wifi"))
            manager->devices = {QDBusObjectPath(kStandInEthernet)};
        else if (situation == QLatin1String("not running"))
            QVERIFY(managerSide->unregisterService(QLatin1String(kNetworkManagerService)));
        else
            form->ActionRow1->Services().networkBusAddress = QStringLiteral("unix:path=/nonexistent/lantrix-bus");
        OpenCode(*form, QStringLiteral("WIFI:T:WPA;S:Home;P:secret12;;"));
        QString shown;
        AnswerNextMessageBox([&shown](QMessageBox* box) {
            shown = box->text();
            box->accept();
        });
        Press(form->ActionRow1->Connect);
        QTRY_VERIFY_WITH_TIMEOUT(!shown.isEmpty(), kTimeout);
        QCOMPARE(shown, message);
        QVERIFY(!shown.contains(QStringLiteral("secret12")));
        QTRY_VERIFY_WITH_TIMEOUT(form->ActionRow1->Connect->isEnabled(), kTimeout);
        QVERIFY(form->statusBar()->currentMessage().isEmpty());
    }

    // ---- Long codes and the window's width ---------------------------------------

    // Codes whose summary is longer than any window: the row elides it, and
    // neither the window's minimum size nor its width changes, on either tab.
    void longCodesLeaveTheWindowAlone_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("full");  // the summary's whole text, as the tooltip gives it
        QTest::addColumn<QString>("kept");  // what the elided summary keeps of the value
        QTest::addColumn<bool>("keepsEnd"); // the value's end (a host) or its beginning
        // A 247-character host: three labels of 63, one of 43, and the registered domain.
        const QString host = QString(63, u'a') + u'.' + QString(63, u'b') + u'.' + QString(63, u'c') + u'.'
                             + QString(43, u'd') + QStringLiteral(".example.com");
        QVERIFY(host.size() == 247);
        QTest::newRow("long host") << QStringLiteral("https://") + host + QStringLiteral("/path")
                                   << QStringLiteral("Link to: ") + host << QStringLiteral("d.example.com") << true;
        QString name;
        while (name.size() < 240)
            name += QStringLiteral("Maximilian ");
        name = name.left(240).trimmed();
        QTest::newRow("long contact name")
            << QStringLiteral("MECARD:N:") + name + QStringLiteral(";;") << QStringLiteral("Contact: ") + name
            << QStringLiteral("Maximilian") << false;
        QStringList addresses;
        for (int i = 1; i <= 12; ++i)
            addresses << QStringLiteral("person%1@lantrix.invalid").arg(i);
        QTest::newRow("twelve addresses") << QStringLiteral("mailto:") + addresses.join(u',')
                                          << QStringLiteral("E-mail to: ") + addresses.join(QStringLiteral(", "))
                                          << QStringLiteral("person1@lantrix.invalid") << false;
        const QString summary = QStringLiteral("The yearly meeting of everyone who ever took part in the long "
                                               "discussion about the naming of the new building, with dinner, "
                                               "a short talk by the architects, a walk through the rooms that "
                                               "are finished and a look at the plans for the garden behind it");
        QTest::newRow("long event summary") << QStringLiteral("BEGIN:VEVENT\nSUMMARY:") + summary
                                                   + QStringLiteral("\nDTSTART;VALUE=DATE:20261224\nEND:VEVENT")
                                            << QString() << QStringLiteral("The yearly meeting") << false;
        QString cjk;
        for (int i = 0; i < 110; ++i)
            cjk += QChar(0x4E00 + i * 37);
        QTest::newRow("110 CJK characters") << QStringLiteral("MECARD:N:") + cjk + QStringLiteral(";;")
                                            << QStringLiteral("Contact: ") + cjk << cjk.left(3) << false;
    }

    void longCodesLeaveTheWindowAlone()
    {
        QFETCH(QString, text);
        QFETCH(QString, full);
        QFETCH(QString, kept);
        QFETCH(bool, keepsEnd);
        auto form = MakeWindow();
        form->resize(1024, 700);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        // The measure: both tabs with a short code's pane and row shown.
        OpenCode(*form, QStringLiteral("tel:+15550100"));
        form->ActionRow2->ShowContent(QStringLiteral("tel:+15550100"));
        QTest::qWait(0);
        const QSize minimum = form->minimumSizeHint();
        const QSize size = form->size();
        QCOMPARE(size.width(), 1024);
        for (int tab : {0, 1}) {
            form->PageControl1->setCurrentIndex(tab);
            TActionRow* row = tab == 0 ? form->ActionRow1 : form->ActionRow2;
            if (tab == 0)
                OpenCode(*form, text);
            else
                row->ShowContent(text); // what the webcam tab's view does with a frame's code
            QVERIFY(!row->isHidden());
            QTest::qWait(0);
            QCOMPARE(form->minimumSizeHint(), minimum);
            QCOMPARE(form->size(), size);

            // Elided at the end the kind keeps; the whole text in the tooltip, escaped.
            const QString shown = row->Summary->text();
            const QFontMetrics metrics = row->Summary->fontMetrics();
            if (metrics.horizontalAdvance(row->Summary->FullText()) > row->Summary->contentsRect().width())
                QVERIFY2(shown.contains(QChar(0x2026)), qPrintable(shown));
            else // the fonts here draw these letters narrow enough for all of them
                QCOMPARE(shown, row->Summary->FullText());
            if (!full.isEmpty()) {
                QCOMPARE(row->Summary->FullText(), full);
                QVERIFY(row->Summary->toolTip().contains(full.toHtmlEscaped()));
            }
            QVERIFY2(keepsEnd ? shown.endsWith(kept) : shown.contains(u' ' + kept), qPrintable(shown));
            QVERIFY(metrics.horizontalAdvance(shown) <= row->Summary->contentsRect().width());

            // The row's buttons and the tab's own button stay inside the window.
            QWidget* top = tab == 0 ? static_cast<QWidget*>(form->ButtonBrowse) : form->Button1;
            QList<QWidget*> mustShow{top};
            for (QPushButton* button : row->findChildren<QPushButton*>())
                if (!button->isHidden())
                    mustShow.append(button);
            for (QWidget* widget : mustShow) {
                const QRect onWindow(widget->mapTo(form.get(), QPoint(0, 0)), widget->size());
                QVERIFY2(form->rect().contains(onWindow), qPrintable(widget->objectName()));
                QVERIFY(widget->width() >= widget->minimumSizeHint().width());
            }
        }
        // A short code on the other tab afterwards: nothing kept from the long one.
        form->ActionRow2->ShowContent(QStringLiteral("tel:+15550100"));
        QTest::qWait(0);
        QCOMPARE(form->minimumSizeHint(), minimum);
        QCOMPARE(form->size(), size);
    }

    // ---- Translated texts ---------------------------------------------------------

    void rowSpeaksTheUsersLanguage()
    {
        WriteGermanLanguage("{Connect}Verbinden\r\n{Copy Password}Passwort kopieren\r\n{Wi-Fi network:}WLAN:\r\n");
        uiLanguage = [] { return quint16(1031); };
        auto form = MakeWindow();
        OpenCode(*form, QStringLiteral("WIFI:T:WPA;S:Home;P:secret12;;"));
        QCOMPARE(form->ActionRow1->Connect->text(), QStringLiteral("Verbinden"));
        QCOMPARE(form->ActionRow1->CopyPassword->text(), QStringLiteral("Passwort kopieren"));
        QCOMPARE(form->ActionRow1->Summary->FullText(), QStringLiteral("WLAN: Home (WPA)"));
    }
};

QTEST_MAIN(ActionRowTest)
#include "tst_action_row.moc"
