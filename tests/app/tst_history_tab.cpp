// The history in the window: every code read recorded (the image tab's ways
// in, the screen, a test camera once for many frames), the "History" tab's
// search, selection with its action row, deletion, clearing with its
// confirmation and export read back; lantrix-scan --history writing the
// same file while the window runs; Settings > "Keep History"; a damaged
// history.sqlite moved aside with one message; a data folder that cannot be
// written and a write that fails turn recording off while decoding goes on.
//
// The read-only data folder is a read-only bind mount in a mount namespace
// of the test's own when it runs as root (whom file modes do not stop).
#include "app/HistoryBrowser.h"
#include "app/HistoryModel.h"
#include "app/widgets/ActionRow.h"
#include "app/widgets/AppForm.h"
#include "app/widgets/ElidedLabel.h"
#include "app/widgets/HistoryTab.h"
#include "capture/CameraSources.h"
#include "capture/VideoImage.h"
#include "history/HistoryStore.h"
#include "platform/SettingsStore.h"
#include "support/KeyboardFocus.h"
#include "support/MainWindowFixture.h"
#include "support/ModalAnswers.h"
#include "support/PictureFiles.h"
#include "support/ShownButtons.h"
#include "support/TestCameras.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>

#include <csignal>
#include <memory>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int kTimeout = 30000;
const QColor kLime(0, 255, 0);

THistoryEntry Entry(const QString& text, const QString& format, const QString& source, int minutesAgo)
{
    THistoryEntry entry;
    entry.time = QDateTime::currentDateTime().addSecs(-60 * minutesAgo);
    entry.source = source;
    entry.format = format;
    entry.text = text;
    entry.bytes = text.toUtf8();
    entry.contentType = QStringLiteral("text");
    return entry;
}

// The entries the search tests start with, newest first.
QList<THistoryEntry> SeedEntries()
{
    const QString qr = QStringLiteral("QR_CODE");
    QList<THistoryEntry> entries;
    entries.append(Entry(QStringLiteral("https://lantrix.invalid/hello"), qr, QStringLiteral("/pics/a.png"), 1));
    entries.append(Entry(QStringLiteral("4006381333931"), QStringLiteral("EAN_13"), QStringLiteral("Clipboard"), 2));
    entries.append(Entry(QStringLiteral("WIFI:T:WPA;S:Lobby;P:welcome1;;"), qr, QStringLiteral("HD Webcam"), 3));
    entries.append(
        Entry(QStringLiteral("Lantrix Data Matrix 0042"), QStringLiteral("DATA_MATRIX"), QStringLiteral("Screen"), 4));
    return entries;
}

// RFC 4180 records of a CSV file.
QList<QStringList> ParseCsv(const QString& csv)
{
    QList<QStringList> records;
    QStringList record;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < csv.size(); ++i) {
        const QChar c = csv.at(i);
        if (quoted) {
            if (c == u'"' && i + 1 < csv.size() && csv.at(i + 1) == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            record.append(field);
            field.clear();
        } else if (c == u'\r' && i + 1 < csv.size() && csv.at(i + 1) == u'\n') {
            record.append(field);
            records.append(record);
            record.clear();
            field.clear();
            ++i;
        } else {
            field += c;
        }
    }
    if (!field.isEmpty() || !record.isEmpty()) {
        record.append(field);
        records.append(record);
    }
    return records;
}

} // namespace

class HistoryTabTest : public QObject, TMainWindowFixture {
    Q_OBJECT

public:
    // Whether the test may make read-only bind mounts (root, in a mount
    // namespace of its own): set by main() before any thread starts.
    bool fOwnMounts = false;

private:
    QString HistoryFile() const { return exeFolder + QStringLiteral("/history.sqlite"); }

    // The entries in the file, newest first; read through a store of the test's own.
    QList<THistoryEntry> Stored(const QString& file = QString()) const
    {
        THistoryStore store(file.isEmpty() ? HistoryFile() : file);
        if (store.Open().status == THistoryStore::TOpenStatus::Failed)
            return {};
        return store.All();
    }

    QStringList StoredTexts() const
    {
        QStringList texts;
        for (const THistoryEntry& entry : Stored())
            texts.append(entry.text);
        return texts;
    }

    void Seed(const QList<THistoryEntry>& entries)
    {
        THistoryStore store(HistoryFile());
        QCOMPARE(store.Open().status, THistoryStore::TOpenStatus::Opened);
        for (auto it = entries.crbegin(); it != entries.crend(); ++it)
            QVERIFY(store.Add(*it, 0));
    }

    // A window with the "History" tab shown, its list read.
    std::unique_ptr<TAppForm> ShowHistory()
    {
        auto form = MakeForm();
        form->PageControl1->setCurrentWidget(form->TabSheet3);
        if (!QTest::qWaitForWindowExposed(form.get()))
            qWarning("the window was not shown");
        return form;
    }

    static QStringList ShownTexts(const TAppForm& form)
    {
        QStringList texts;
        const THistoryModel& model = form.History()->Model();
        for (int row = 0; row < model.rowCount(); ++row)
            texts.append(model.EntryAt(row).text);
        return texts;
    }

    void OpenCode(TAppForm& form, const QString& text, const QString& name = QStringLiteral("code.png"))
    {
        form.OpenPictureFile(SavePicture(name, QrCodePicture(text)));
    }

    static void ClickRow(TAppForm& form, int row, Qt::KeyboardModifiers modifiers = {})
    {
        QTreeView* list = form.TabSheet3->List;
        const QRect rect = list->visualRect(list->model()->index(row, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, rect.center());
    }

    // A code recorded through the history directly, to wait for: once it is
    // in the file, everything queued before it is too.
    void Sentinel(TAppForm& form, const QString& text)
    {
        TDecodedCode code;
        code.text = text;
        code.format = TBarcodeFormat::QR_CODE;
        code.bytes = text.toUtf8();
        form.History()->Record(code, QStringLiteral("Sentinel"));
        QTRY_VERIFY_WITH_TIMEOUT(StoredTexts().contains(text), kTimeout);
    }

private slots:
    void init() { Init(); }
    void cleanup()
    {
        TCameraSources::Remove(QStringLiteral("History Test Camera"));
        Cleanup();
    }

    // ---- Settings ---------------------------------------------------------------

    void settingsKeys_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<bool>("keep");
        QTest::addColumn<int>("limit");
        QTest::newRow("no file") << QByteArray() << true << 10000;
        QTest::newRow("off") << QByteArray("[Settings]\r\nKeepHistory=0\r\n") << false << 10000;
        QTest::newRow("on") << QByteArray("[Settings]\r\nKeepHistory=1\r\n") << true << 10000;
        QTest::newRow("other value is on") << QByteArray("[Settings]\r\nKeepHistory=no\r\n") << true << 10000;
        QTest::newRow("limit") << QByteArray("[Settings]\r\nHistoryLimit=250\r\n") << true << 250;
        QTest::newRow("no limit") << QByteArray("[Settings]\r\nHistoryLimit=0\r\n") << true << 0;
        QTest::newRow("limit not a number") << QByteArray("[Settings]\r\nHistoryLimit=many\r\n") << true << 10000;
        QTest::newRow("negative limit") << QByteArray("[Settings]\r\nHistoryLimit=-5\r\n") << true << 10000;
    }

    void settingsKeys()
    {
        QFETCH(QByteArray, ini);
        QFETCH(bool, keep);
        QFETCH(int, limit);
        const QString file = WriteFile(QStringLiteral("settings.ini"), ini);
        if (ini.isEmpty())
            QFile::remove(file);
        const SettingsStore store(file);
        QCOMPARE(LoadKeepHistory(&store), keep);
        QCOMPARE(LoadHistoryLimit(&store), limit);
    }

    void exportFileName_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<int>("filter");
        QTest::addColumn<QString>("written");
        QTest::newRow("csv") << "/tmp/a.csv" << int(THistoryExportFormat::Csv) << "/tmp/a.csv";
        QTest::newRow("jsonl") << "/tmp/a.jsonl" << int(THistoryExportFormat::JsonLines) << "/tmp/a.jsonl";
        QTest::newRow("suffix wins over filter")
            << "/tmp/a.csv" << int(THistoryExportFormat::JsonLines) << "/tmp/a.csv";
        QTest::newRow("none, csv filter") << "/tmp/a" << int(THistoryExportFormat::Csv) << "/tmp/a.csv";
        QTest::newRow("none, json filter") << "/tmp/a" << int(THistoryExportFormat::JsonLines) << "/tmp/a.jsonl";
        QTest::newRow("other suffix") << "/tmp/a.txt" << int(THistoryExportFormat::Csv) << "/tmp/a.txt.csv";
    }

    void exportFileName()
    {
        QFETCH(QString, chosen);
        QFETCH(int, filter);
        QFETCH(QString, written);
        QCOMPARE(ExportFileName(chosen, THistoryExportFormat(filter)), written);
    }

    // ---- Recording ----------------------------------------------------------

    void imageTabRecords_data()
    {
        QTest::addColumn<QString>("road");
        QTest::addColumn<QString>("source"); // "<file>": the picture's path
        QTest::newRow("open dialog") << "browse"
                                     << "<file>";
        QTest::newRow("command line") << "command line"
                                      << "<file>";
        QTest::newRow("paste") << "paste"
                               << "Clipboard";
        QTest::newRow("drop") << "drop"
                              << "Drop";
        QTest::newRow("screen") << "screen"
                                << "Screen";
    }

    void imageTabRecords()
    {
        QFETCH(QString, road);
        QFETCH(QString, source);
        const QString text =
            QStringLiteral("https://lantrix.invalid/history?road=") + QString(road).replace(u' ', u'-');
        const QImage picture = QrCodePicture(text);
        const QString file = SavePicture(QStringLiteral("code.png"), picture);
        auto form = MakeForm();
        if (road == QLatin1String("browse")) {
            answers.push_back(file);
            form->ButtonBrowse->click();
        } else if (road == QLatin1String("command line")) {
            form->OpenFromCommandLine({QStringLiteral("lantrix"), file});
        } else if (road == QLatin1String("paste")) {
            QGuiApplication::clipboard()->setImage(picture);
            form->Paste1->trigger();
        } else if (road == QLatin1String("drop")) {
            QByteArray png;
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            picture.save(&buffer, "PNG");
            QMimeData data;
            data.setData(QStringLiteral("image/png"), png);
            QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(form->Image1, &enter);
            QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(form->Image1, &drop);
        } else {
            form->ScreenScanned(picture);
        }
        QTRY_COMPARE_WITH_TIMEOUT(form->Memo1->toPlainText(), text, kTimeout);
        QTRY_COMPARE_WITH_TIMEOUT(Stored().size(), 1, kTimeout);
        const THistoryEntry entry = Stored().constFirst();
        QCOMPARE(entry.text, text);
        QCOMPARE(entry.source, source == QLatin1String("<file>") ? file : source);
        QCOMPARE(entry.format, QStringLiteral("QR_CODE"));
        QCOMPARE(entry.bytes, text.toUtf8());
        QCOMPARE(entry.contentType, QStringLiteral("url"));
        QVERIFY(qAbs(entry.time.secsTo(QDateTime::currentDateTime())) < 600);
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
    }

    // An unreadable picture records nothing; read again after a reading
    // option is turned on, its code is recorded with the picture's source.
    void rereadRecordsWithItsSource()
    {
        QImage inverted = QrCodePicture(QStringLiteral("light on dark"));
        inverted.invertPixels();
        const QString file = SavePicture(QStringLiteral("inverted.png"), inverted);
        auto form = MakeForm();
        form->OpenPictureFile(file);
        QCOMPARE(form->Memo1->toPlainText(), QStringLiteral("Unreadable!"));
        form->ReadInvertedCodes1->trigger();
        QCOMPARE(form->Memo1->toPlainText(), QStringLiteral("light on dark"));
        QTRY_COMPARE_WITH_TIMEOUT(Stored().size(), 1, kTimeout);
        QCOMPARE(Stored().constFirst().source, file);
    }

    // A code that stays in view of a camera is one record, however many
    // frames show it; a new capture records it again.
    void webcamRecordsOnceWhileInView()
    {
        const QString camera = QStringLiteral("History Test Camera");
        const QString text = QStringLiteral("WIFI:T:WPA;S:Lobby;P:welcome1;;");
        TCameraSources::Add(camera,
                            StillPictureDescription(SavePicture(QStringLiteral("wifi.png"), QrCodePicture(text)),
                                                    TTestCameraFormat::YUY2, 640, 480));
        auto form = MakeForm();
        for (int capture = 1; capture <= 2; ++capture) {
            form->PageControl1->setCurrentIndex(1);
            form->ComboBox1->setCurrentIndex(form->ComboBox1->findText(camera));
            QVERIFY(form->ComboBox1->currentIndex() >= 0);
            form->Button1->click();
            QTRY_COMPARE_WITH_TIMEOUT(form->Memo2->toPlainText(), text, kTimeout);
            // Many more frames of the same code.
            TVideoImage* video = form->VideoImage();
            const std::int32_t frames = video->FrameCount();
            QTRY_VERIFY_WITH_TIMEOUT(video->FrameCount() >= frames + 20, kTimeout);
            form->Button1->click(); // STOP
        }
        Sentinel(*form, QStringLiteral("after the captures"));
        const QList<THistoryEntry> entries = Stored();
        QCOMPARE(entries.size(), 3);
        for (const THistoryEntry& entry : entries.mid(1)) {
            QCOMPARE(entry.text, text);
            QCOMPARE(entry.source, camera);
            QCOMPARE(entry.contentType, QStringLiteral("wifi"));
        }
    }

    // HistoryLimit of settings.ini: the oldest go first, from the file and
    // from the list the tab shows.
    void limitDropsTheOldest()
    {
        WriteFile(QStringLiteral("program/settings.ini"), "[Settings]\r\nHistoryLimit=2\r\n");
        auto form = MakeForm();
        QCOMPARE(form->History()->Limit(), 2);
        form->PageControl1->setCurrentWidget(form->TabSheet3);
        for (const char* text : {"first", "second", "third"})
            Sentinel(*form, QLatin1String(text));
        QCOMPARE(StoredTexts(), (QStringList{"third", "second"}));
        QTRY_COMPARE_WITH_TIMEOUT(ShownTexts(*form), (QStringList{"third", "second"}), kTimeout);
    }

    // lantrix-scan --history writes the same file while the window runs:
    // both records are kept, and the tab shows them once it is shown again.
    void scanBesideTheWindow()
    {
        // A copy of lantrix-scan in the window's program folder shares its data folder.
        const QString scan = exeFolder + QStringLiteral("/lantrix-scan");
        QVERIFY(QFile::copy(QStringLiteral(LANTRIX_BIN_DIR "/lantrix-scan"), scan));
        auto form = MakeForm();
        form->PageControl1->setCurrentWidget(form->TabSheet3);
        Sentinel(*form, QStringLiteral("from the window"));

        const QString picture =
            SavePicture(QStringLiteral("scanned.png"), QrCodePicture(QStringLiteral("from the scanner")));
        QProcess process;
        process.start(scan, {QStringLiteral("--history"), picture});
        QVERIFY(process.waitForFinished(kTimeout));
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(process.readAllStandardOutput(), QByteArray("from the scanner\n"));
        OpenCode(*form, QStringLiteral("from the window again"));
        QTRY_COMPARE_WITH_TIMEOUT(
            StoredTexts(), (QStringList{"from the window again", "from the scanner", "from the window"}), kTimeout);
        QCOMPARE(Stored().at(1).source, picture);

        form->PageControl1->setCurrentIndex(0);
        form->PageControl1->setCurrentWidget(form->TabSheet3);
        QCOMPARE(ShownTexts(*form), (QStringList{"from the window again", "from the scanner", "from the window"}));
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
    }

    // ---- The tab ------------------------------------------------------------

    void tabBesideTheOthers()
    {
        auto form = MakeForm();
        QCOMPARE(form->PageControl1->count(), 3);
        QCOMPARE(form->PageControl1->tabText(2), QStringLiteral("History"));
        QVERIFY(!form->PageControl1->tabIcon(2).isNull());
        QCOMPARE(form->PageControl1->widget(2), form->TabSheet3);
        QCOMPARE(form->TabSheet3->Formats->itemText(0), QStringLiteral("All"));
        QVERIFY(form->TabSheet3->Notice->isHidden()); // history is on and works
    }

    void searchFilters_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QStringList>("shown");
        const QList<THistoryEntry> seed = SeedEntries();
        QTest::newRow("everything") << ""
                                    << "" << QStringList{seed[0].text, seed[1].text, seed[2].text, seed[3].text};
        QTest::newRow("text, any case") << "LANTRIX"
                                        << "" << QStringList{seed[0].text, seed[3].text};
        QTest::newRow("text in the middle") << "lobby"
                                            << "" << QStringList{seed[2].text};
        QTest::newRow("source") << "webcam"
                                << "" << QStringList{seed[2].text};
        QTest::newRow("format") << ""
                                << "QR_CODE" << QStringList{seed[0].text, seed[2].text};
        QTest::newRow("text and format") << "lantrix"
                                         << "DATA_MATRIX" << QStringList{seed[3].text};
        QTest::newRow("nothing") << "no such code"
                                 << "" << QStringList{};
    }

    void searchFilters()
    {
        QFETCH(QString, query);
        QFETCH(QString, format);
        QFETCH(QStringList, shown);
        Seed(SeedEntries());
        auto form = ShowHistory();
        THistoryTab* tab = form->TabSheet3;
        QCOMPARE(ShownTexts(*form).size(), 4);
        QStringList formats;
        for (int i = 0; i < tab->Formats->count(); ++i)
            formats.append(tab->Formats->itemText(i));
        QCOMPARE(formats, (QStringList{"All", "DATA_MATRIX", "EAN_13", "QR_CODE"}));

        // Ctrl+F goes to the search; the list follows each key typed.
        QVERIFY(ActivateWindow(form.get()));
        tab->List->setFocus();
        QTest::keyClick(tab->List, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(tab->Search->hasFocus());
        QTest::keyClicks(tab->Search, query);
        QCOMPARE(tab->Search->text(), query);
        tab->Formats->setCurrentIndex(tab->Formats->findData(format));
        QCOMPARE(ShownTexts(*form), shown);
        QCOMPARE(tab->List->model()->rowCount(), shown.size());
    }

    void selectShowsTextAndActions_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("summary"); // the list's summary column
        QTest::addColumn<QStringList>("buttons");
        QTest::newRow("link") << "https://lantrix.invalid/hello?from=qr"
                              << "Link to: lantrix.invalid" << QStringList{"OpenLink"};
        QTest::newRow("wi-fi") << "WIFI:T:WPA;S:Lobby;P:welcome1;;"
                               << "Wi-Fi network: Lobby (WPA)" << QStringList{"CopyPassword", "Connect"};
        QTest::newRow("plain text on lines") << "first line\nsecond line"
                                             << "first line second line" << QStringList{};
        QTest::newRow("rich text stays text") << "<b>bold</b> <img src=x>"
                                              << "<b>bold</b> <img src=x>" << QStringList{};
        // The list shows the characters as they are stored, not as an
        // override or a zero-width space would make them read.
        QTest::newRow("reversed address in plain text") << QString::fromUtf8("mailto:admin\u202Egro.elpmaxe@evil.com")
                                                        << "mailto:admingro.elpmaxe@evil.com" << QStringList{};
        QTest::newRow("zero-width space in plain text")
            << QString::fromUtf8("pay\u200Bpal") << "paypal" << QStringList{};
    }

    void selectShowsTextAndActions()
    {
        QFETCH(QString, text);
        QFETCH(QString, summary);
        QFETCH(QStringList, buttons);
        Seed({Entry(text, QStringLiteral("QR_CODE"), QStringLiteral("/pics/x.png"), 1),
              Entry(QStringLiteral("older"), QStringLiteral("EAN_8"), QStringLiteral("Clipboard"), 5)});
        auto form = ShowHistory();
        THistoryTab* tab = form->TabSheet3;
        QVERIFY(tab->Text->isHidden()); // nothing selected
        QVERIFY(!tab->DeleteButton->isEnabled());
        const QModelIndex summaryCell = tab->List->model()->index(0, THistoryModel::SummaryColumn);
        QCOMPARE(summaryCell.data().toString(), summary);
        QVERIFY(!summaryCell.data(Qt::ToolTipRole).toString().contains(QStringLiteral("<b>")));
        QCOMPARE(tab->List->model()->index(0, THistoryModel::FormatColumn).data().toString(),
                 QStringLiteral("QR_CODE"));

        ClickRow(*form, 0);
        QVERIFY(tab->Text->isVisible());
        QCOMPARE(tab->Text->toPlainText(), text);
        QCOMPARE(PaneColour(tab->Text), kLime);
        QCOMPARE(ShownButtons(tab->Actions), buttons);
        QCOMPARE(tab->Actions->isHidden(), buttons.isEmpty());
        QVERIFY(tab->DeleteButton->isEnabled());

        // Copy puts the entry's text on the clipboard.
        tab->CopyButton->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), text);

        // Another entry, by the keyboard.
        tab->List->setFocus();
        QTest::keyClick(tab->List, Qt::Key_Down);
        QCOMPARE(tab->Text->toPlainText(), QStringLiteral("older"));
        QVERIFY(tab->Actions->isHidden());
    }

    // Tab leads from the search through the format choice, the list, the
    // pane, the row's actions and the buttons; Ctrl+F leads back, and does
    // nothing while another tab shows.
    void keyboardRoad()
    {
        Seed(SeedEntries());
        auto form = ShowHistory();
        THistoryTab* tab = form->TabSheet3;
        QVERIFY(ActivateWindow(form.get()));
        ClickRow(*form, 0); // a link: the row offers Open Link
        tab->Search->setFocus();
        QStringList road;
        for (int i = 0; i < 8; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            road.append(QApplication::focusWidget()->objectName());
        }
        QCOMPARE(road, (QStringList{"HistoryFormats", "HistoryList", "HistoryText", "OpenLink", "HistoryCopy",
                                    "HistoryDelete", "HistoryClear", "HistoryExport"}));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(tab->Search->hasFocus());

        form->PageControl1->setCurrentIndex(0);
        form->ButtonBrowse->setFocus();
        QTest::keyClick(form->ButtonBrowse, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(form->ButtonBrowse->hasFocus());
        QCOMPARE(form->PageControl1->currentIndex(), 0);
    }

    void deleteSeveral()
    {
        Seed(SeedEntries());
        auto form = ShowHistory();
        THistoryTab* tab = form->TabSheet3;
        ClickRow(*form, 0);
        ClickRow(*form, 2, Qt::ControlModifier);
        QCOMPARE(tab->List->selectionModel()->selectedRows().size(), 2);
        // The Delete key in the list.
        tab->List->setFocus();
        QTest::keyClick(tab->List, Qt::Key_Delete);
        const QList<THistoryEntry> seed = SeedEntries();
        QCOMPARE(ShownTexts(*form), (QStringList{seed[1].text, seed[3].text}));
        QCOMPARE(StoredTexts(), (QStringList{seed[1].text, seed[3].text}));
        // The button, for the one left selected or chosen now.
        ClickRow(*form, 1);
        tab->DeleteButton->click();
        QCOMPARE(ShownTexts(*form), QStringList{seed[1].text});
        QCOMPARE(StoredTexts(), QStringList{seed[1].text});
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
    }

    void clearAsksFirst_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("yes") << true;
        QTest::newRow("no") << false;
    }

    void clearAsksFirst()
    {
        QFETCH(bool, yes);
        Seed(SeedEntries());
        auto form = ShowHistory();
        QString asked;
        AnswerNextMessageBox([&](QMessageBox* box) {
            asked = box->text();
            QCOMPARE(box->defaultButton(), box->button(QMessageBox::No)); // Enter alone deletes nothing
            QAbstractButton* button = MessageBoxButton(box, yes ? QStringLiteral("Yes") : QStringLiteral("No"));
            QVERIFY(button);
            button->click();
        });
        form->TabSheet3->ClearButton->click();
        QCOMPARE(asked, QStringLiteral("Delete every entry of the history? This cannot be undone."));
        QCOMPARE(ShownTexts(*form).size(), yes ? 0 : 4);
        QCOMPARE(Stored().size(), yes ? 0 : 4);
        // Codes read afterwards are kept as before.
        OpenCode(*form, QStringLiteral("after clearing"));
        QTRY_VERIFY_WITH_TIMEOUT(StoredTexts().contains(QStringLiteral("after clearing")), kTimeout);
    }

    void exportShownEntries_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("texts");
        const QList<THistoryEntry> seed = SeedEntries();
        QTest::newRow("csv, all") << "out.csv"
                                  << "" << QStringList{seed[0].text, seed[1].text, seed[2].text, seed[3].text};
        QTest::newRow("csv, searched") << "out.csv"
                                       << "lantrix" << QStringList{seed[0].text, seed[3].text};
        QTest::newRow("json lines, searched") << "out.jsonl"
                                              << "lobby" << QStringList{seed[2].text};
    }

    void exportShownEntries()
    {
        QFETCH(QString, name);
        QFETCH(QString, query);
        QFETCH(QStringList, texts);
        Seed(SeedEntries());
        auto form = ShowHistory();
        THistoryTab* tab = form->TabSheet3;
        const QString target = root->filePath(name);
        QString filters;
        tab->saveFileDialog = [&](QWidget*, const QString&, const QString&, const QString& filter) {
            filters = filter;
            return std::optional<QString>(target);
        };
        QTest::keyClicks(tab->Search, query);
        tab->ExportButton->click();
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
        QCOMPARE(filters, QStringLiteral("CSV (*.csv);;JSON Lines (*.jsonl)"));
        QVERIFY(form->statusBar()->currentMessage().contains(target));
        QFile file(target);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QStringList read, sources;
        if (name.endsWith(QLatin1String(".csv"))) {
            const QList<QStringList> records = ParseCsv(QString::fromUtf8(bytes));
            QVERIFY(!records.isEmpty());
            QCOMPARE(records.constFirst(), (QStringList{"time", "source", "format", "text", "content_type"}));
            for (const QStringList& record : records.mid(1)) {
                QCOMPARE(record.size(), 5);
                read.append(record[3]);
                QVERIFY(QDateTime::fromString(record[0], Qt::ISODate).isValid());
            }
        } else {
            for (const QByteArray& line : bytes.split('\n')) {
                if (line.isEmpty())
                    continue;
                const QJsonObject object = QJsonDocument::fromJson(line).object();
                read.append(object.value(QStringLiteral("text")).toString());
                QCOMPARE(object.value(QStringLiteral("source")).toString(), QStringLiteral("HD Webcam"));
            }
        }
        QCOMPARE(read, texts);

        // Cancelled: nothing written.
        QVERIFY(QFile::remove(target));
        tab->saveFileDialog = [](QWidget*, const QString&, const QString&, const QString&) {
            return std::optional<QString>();
        };
        tab->ExportButton->click();
        QVERIFY(!QFile::exists(target));
    }

    // ---- Keep History -------------------------------------------------------

    void keepHistoryOffRecordsNothing()
    {
        auto form = MakeForm();
        THistoryTab* tab = form->TabSheet3;
        QVERIFY(form->KeepHistory1->isCheckable());
        QVERIFY(form->KeepHistory1->isChecked());
        form->KeepHistory1->trigger(); // off
        QVERIFY(!form->KeepHistory1->isChecked());
        QVERIFY(ReadSettings().contains("KeepHistory=0"));
        QVERIFY(!tab->Notice->isHidden());
        QCOMPARE(tab->Notice->text(), QStringLiteral("History is off: codes read are not recorded."));

        OpenCode(*form, QStringLiteral("not kept"), QStringLiteral("a.png"));
        QCOMPARE(form->Memo1->toPlainText(), QStringLiteral("not kept")); // read all the same
        form->KeepHistory1->trigger();                                    // on again
        QVERIFY(tab->Notice->isHidden());
        OpenCode(*form, QStringLiteral("kept"), QStringLiteral("b.png"));
        QTRY_COMPARE_WITH_TIMEOUT(StoredTexts(), QStringList{"kept"}, kTimeout);

        // Off is kept for the next start; Reset to Defaults (settings.ini
        // deleted) turns it on again and leaves the entries.
        form->KeepHistory1->trigger();
        form.reset();
        form = MakeForm();
        QVERIFY(!form->KeepHistory1->isChecked());
        QVERIFY(!form->History()->Recording());
        form.reset();
        QVERIFY(QFile::remove(SettingsFile()));
        form = MakeForm();
        QVERIFY(form->KeepHistory1->isChecked());
        QCOMPARE(StoredTexts(), QStringList{"kept"});
    }

    // ---- Faults -------------------------------------------------------------

    void damagedFileMovedAside()
    {
        QByteArray junk;
        for (int i = 0; i < 200; ++i)
            junk += "this is no database of codes ";
        QFile damaged(HistoryFile());
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write(junk);
        damaged.close();

        auto form = MakeForm();
        QStringList said;
        connect(form->statusBar(), &QStatusBar::messageChanged, this, [&said](const QString& text) {
            if (!text.isEmpty())
                said.append(text);
        });
        QTRY_VERIFY_WITH_TIMEOUT(!said.isEmpty(), kTimeout);
        const QStringList aside = QDir(exeFolder).entryList({QStringLiteral("history.sqlite.damaged-*")}, QDir::Files);
        QCOMPARE(aside.size(), 1);
        QFile moved(exeFolder + u'/' + aside.constFirst());
        QVERIFY(moved.open(QIODevice::ReadOnly));
        QCOMPARE(moved.readAll(), junk); // nothing of it lost
        QCOMPARE(said.size(), 1);
        QVERIFY2(said.constFirst().contains(aside.constFirst()), qPrintable(said.constFirst()));
        QCOMPARE(form->TabSheet3->Notice->text(), said.constFirst());
        QVERIFY(errors.isEmpty()); // no message box

        // A fresh history records.
        OpenCode(*form, QStringLiteral("in the fresh history"));
        QTRY_COMPARE_WITH_TIMEOUT(StoredTexts(), QStringList{"in the fresh history"}, kTimeout);
        QCOMPARE(said.size(), 1); // said once
    }

    void readOnlyDataFolder()
    {
        // The program's folder counts as not writable (its write test finds
        // its file there), so the data folder is the user's, made read-only.
        QVERIFY(QFile(exeFolder + QStringLiteral("/chk.tmp")).open(QIODevice::WriteOnly));
        const QString data = configFolder + QStringLiteral("/DASTREL/Lantrix");
        QVERIFY(QDir().mkpath(data));
        const QByteArray path = QFile::encodeName(data);
        if (geteuid() == 0) {
            if (!fOwnMounts)
                QSKIP("root without a mount namespace of the test's own");
            QVERIFY(mount(path.constData(), path.constData(), nullptr, MS_BIND, nullptr) == 0);
            QVERIFY(mount(nullptr, path.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0);
        } else {
            QVERIFY(QFile::setPermissions(data, QFile::ReadOwner | QFile::ExeOwner));
        }
        const auto writable = qScopeGuard([&] {
            if (geteuid() == 0)
                umount(path.constData());
            else
                QFile::setPermissions(data, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        });

        auto form = MakeForm();
        QCOMPARE(form->State().DataFolder, data + u'/');
        QVERIFY(!form->History()->Recording());
        // Said once the window listens.
        QTRY_VERIFY_WITH_TIMEOUT(
            form->statusBar()->currentMessage().startsWith(QStringLiteral("The history is not kept in this run: ")),
            kTimeout);
        QCOMPARE(form->TabSheet3->Notice->text(), form->statusBar()->currentMessage());
        // Decoding goes on.
        OpenCode(*form, QStringLiteral("read without a history"));
        QCOMPARE(form->Memo1->toPlainText(), QStringLiteral("read without a history"));
        form->PageControl1->setCurrentWidget(form->TabSheet3);
        QCOMPARE(form->TabSheet3->List->model()->rowCount(), 0);
        QVERIFY(!QFile::exists(data + QStringLiteral("/history.sqlite")));
    }

    // A write that fails (the file may not grow: a full disk, as the store
    // sees it) turns recording off for the run; decoding goes on.
    void failedWriteStopsRecording()
    {
        auto form = MakeForm();
        Sentinel(*form, QStringLiteral("written"));
        const QList<THistoryEntry> before = Stored();
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const qint64 size = QFileInfo(HistoryFile()).size() + QFileInfo(HistoryFile() + QStringLiteral("-wal")).size();
        rlimit tight = saved;
        tight.rlim_cur = rlim_t(qMax<qint64>(size, 1));
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &tight), 0);
        {
            const auto restore = qScopeGuard([&] { setrlimit(RLIMIT_FSIZE, &saved); });
            TDecodedCode code;
            code.text = QString(QLatin1Char('x')).repeated(200000); // more than any page left over
            code.format = TBarcodeFormat::QR_CODE;
            form->History()->Record(code, QStringLiteral("Test"));
            QTRY_VERIFY_WITH_TIMEOUT(!form->History()->Recording(), kTimeout);
        }
        QVERIFY2(
            form->statusBar()->currentMessage().startsWith(QStringLiteral("The history is not kept in this run: ")),
            qPrintable(form->statusBar()->currentMessage()));
        OpenCode(*form, QStringLiteral("read after the failure"));
        QCOMPARE(form->Memo1->toPlainText(), QStringLiteral("read after the failure"));
        QCOMPARE(Stored(), before); // nothing more recorded
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
    }
};

// Before any thread starts: as root, a mount namespace of the test's own,
// whose mounts the rest of the system never sees.
int main(int argc, char** argv)
{
    const bool ownMounts =
        geteuid() == 0 && unshare(CLONE_NEWNS) == 0 && mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    QApplication application(argc, argv);
    HistoryTabTest test;
    test.fOwnMounts = ownMounts;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_history_tab.moc"
