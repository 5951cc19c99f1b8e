// Settings > "Read Inverted Codes", "Read Every Format" and "Try Harder" in
// the main window: what each reads that is not read without it, their place
// in settings.ini, Reset to Defaults, their captions and access keys, and the
// status bar's words on formats without a reader and on pictures that none of
// the readers read; and a screen scan's text put on the clipboard, with a
// passing word in the status bar. Driven offscreen.
#include "app/AccessKeys.h"
#include "app/AppState.h"
#include "app/widgets/AppForm.h"
#include "localization/LanguageFiles.h"
#include "support/KeyboardFocus.h"
#include "support/MainWindowFixture.h"
#include "support/ModalAnswers.h"
#include "support/Samples.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTextEdit>
#include <QTransform>

#include <memory>

namespace {
const QString kSamples = QStringLiteral(LANTRIX_SOURCE_DIR "/samples");
const QString kQrText = QStringLiteral("https://lantrix.invalid/hello?from=qr");
const QString kUnreadable = QStringLiteral("Unreadable!");
const QString kClipboardMessage = QStringLiteral("The text is on the clipboard.");
const QString kHint = QStringLiteral("These Settings entries are off and may read it: ");
const QString kAztecText = QStringLiteral("Lantrix Aztec");
const QString kEanText = QStringLiteral("4006381333931");
const QColor kLime(0, 255, 0);
const QColor kRed(255, 0, 0);

// The sample with light and dark swapped: a light code on a dark ground.
QImage Negative(const QString& sample)
{
    QImage picture = LoadSample(sample).convertToFormat(QImage::Format_RGB32);
    picture.invertPixels();
    return picture;
}
} // namespace

class ReadOptionsTest : public QObject, TMainWindowFixture {
    Q_OBJECT

    QStringList restarts; // what Reset to Defaults did instead of restarting

    // A window whose Reset to Defaults says in `restarts` what it did.
    std::unique_ptr<TAppForm> MakeForm()
    {
        return TMainWindowFixture::MakeForm([this](TAppEnvironment& environment) {
            environment.resetActions = {[this] {
                                            restarts
                                                << (QFile::exists(SettingsFile()) ? QStringLiteral("start, file kept")
                                                                                  : QStringLiteral("start, file gone"));
                                        },
                                        [this] { restarts << QStringLiteral("terminate"); }};
        });
    }

    // Picks the file in the open dialog and gives what the result pane says.
    QString Pick(TAppForm& form, const QString& file)
    {
        answers = {file};
        form.ButtonBrowse->click();
        return form.Memo1->toPlainText();
    }

    // A white picture file, which no reader reads.
    QString BlankPicture()
    {
        QImage blank(320, 240, QImage::Format_RGB32);
        blank.fill(Qt::white);
        return SavePicture(QStringLiteral("blank.png"), blank);
    }

    // The three switches: the entry's name, its settings.ini key and its field.
    static void AddSwitchRows()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("field"); // 0 inverted, 1 every format, 2 try harder
        QTest::newRow("Read Inverted Codes") << "ReadInvertedCodes1"
                                             << "ReadInvertedCodes" << 0;
        QTest::newRow("Read Every Format") << "ReadEveryFormat1"
                                           << "ReadEveryFormat" << 1;
        QTest::newRow("Try Harder") << "TryHarder1"
                                    << "TryHarder" << 2;
    }

    static bool Field(const TAppForm& form, int field)
    {
        const TDecodeOptions& options = form.State().SelectedDecodeOptions;
        const bool fields[] = {options.inverted, options.everyFormat, options.tryHarder};
        return fields[field];
    }

private slots:
    void init()
    {
        Init();
        restarts.clear();
    }

    void cleanup() { Cleanup(); }

    // ---- The menu entry and the image tab ------------------------------------

    void entryStartsOffBesideCodeFormat()
    {
        auto form = MakeForm();
        QVERIFY(errors.isEmpty());
        QVERIFY(form->ReadInvertedCodes1->isCheckable());
        QVERIFY(!form->ReadInvertedCodes1->isChecked());
        QVERIFY(form->ReadInvertedCodes1->isEnabled());
        QVERIFY(!form->State().SelectedDecodeOptions.inverted);
        QCOMPARE(Captions(form->menuBar()->actions().at(1)->menu()),
                 (QStringList{"&Code Format", "R&ead Inverted Codes", "Re&ad Every Format", "&Try Harder", "-",
                              "&Keep History", "-", "&Reset to Defaults"}));
        QVERIFY(!QFile::exists(SettingsFile())); // nothing written until the user chooses
    }

    void switchStartsOff_data() { AddSwitchRows(); }

    void switchStartsOff()
    {
        QFETCH(QString, entry);
        QFETCH(int, field);
        auto form = MakeForm();
        QAction* action = form->findChild<QAction*>(entry);
        QVERIFY(action);
        QVERIFY(action->isCheckable());
        QVERIFY(!action->isChecked());
        QVERIFY(action->isEnabled());
        QVERIFY(!Field(*form, field));
        QVERIFY(errors.isEmpty());
    }

    // Each switch is kept under its own key, read at the next start, and
    // changes no other switch.
    void switchKeptAcrossRuns_data() { AddSwitchRows(); }

    void switchKeptAcrossRuns()
    {
        QFETCH(QString, entry);
        QFETCH(QString, key);
        QFETCH(int, field);
        auto form = MakeForm();
        form->CodeFormatEntry(QStringLiteral("QR_CODE"))->trigger();
        form->findChild<QAction*>(entry)->trigger();
        QVERIFY(Field(*form, field));
        QCOMPARE(form->State().SelectedCodeFormat(), TBarcodeFormat::QR_CODE); // one value, the format kept
        QCOMPARE(ReadSettings(), QByteArray("\xEF\xBB\xBF[Settings]\r\n") + key.toUtf8() + "=1\r\n\r\n");
        form.reset();

        auto next = MakeForm();
        for (const QString& other : QStringList{"ReadInvertedCodes1", "ReadEveryFormat1", "TryHarder1"})
            QCOMPARE(next->findChild<QAction*>(other)->isChecked(), other == entry);
        QVERIFY(Field(*next, field));
        QCOMPARE(next->State().SelectedDecodeOptions.inverted + next->State().SelectedDecodeOptions.everyFormat
                     + next->State().SelectedDecodeOptions.tryHarder,
                 1);
        next->findChild<QAction*>(entry)->trigger();
        QVERIFY(!Field(*next, field));
        QVERIFY(ReadSettings().contains("\r\n" + key.toUtf8() + "=0\r\n"));
        next.reset();

        auto third = MakeForm();
        QVERIFY(!third->findChild<QAction*>(entry)->isChecked());
        QVERIFY(!Field(*third, field));
        QVERIFY(errors.isEmpty());
    }

    // Alt+S opens Settings; the entry's own letter toggles it.
    void switchByKeyboard_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("field");
        QTest::addColumn<int>("letter");
        QTest::newRow("e: Read Inverted Codes") << "ReadInvertedCodes1" << 0 << int(Qt::Key_E);
        QTest::newRow("a: Read Every Format") << "ReadEveryFormat1" << 1 << int(Qt::Key_A);
        QTest::newRow("t: Try Harder") << "TryHarder1" << 2 << int(Qt::Key_T);
    }

    void switchByKeyboard()
    {
        QFETCH(QString, entry);
        QFETCH(int, field);
        QFETCH(int, letter);
        auto form = MakeForm();
        QVERIFY(ActivateWindow(form.get()));
        QTest::keyClick(form->Edit1, Qt::Key_S, Qt::AltModifier);
        QTRY_VERIFY(QApplication::activePopupWidget());
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key(letter));
        QTRY_VERIFY(!QApplication::activePopupWidget());
        QVERIFY(form->findChild<QAction*>(entry)->isChecked());
        QVERIFY(Field(*form, field));
    }

    // What each switch reads that is not read without it, and what it leaves
    // unread: off, on, off again, each time with a new pick.
    void switchesChangeTheNextDecode_data()
    {
        QTest::addColumn<QImage>("picture");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("off");
        QTest::addColumn<QString>("on");
        const QImage turnedEan = LoadSample(QStringLiteral("ean_13.png")).transformed(QTransform().rotate(90));
        QTest::newRow("light QR code, Read Inverted Codes") << Negative(QStringLiteral("qr_code.png")) << "Auto"
                                                            << "ReadInvertedCodes1" << kUnreadable << kQrText;
        QTest::newRow("Aztec, Auto, Read Every Format") << LoadSample(QStringLiteral("aztec.png")) << "Auto"
                                                        << "ReadEveryFormat1" << kUnreadable << kAztecText;
        QTest::newRow("Aztec, AZTEC, Read Every Format") << LoadSample(QStringLiteral("aztec.png")) << "AZTEC"
                                                         << "ReadEveryFormat1" << kUnreadable << kAztecText;
        // AZTEC without its reader decodes as Auto; with it, only Aztec codes.
        QTest::newRow("QR code, AZTEC, Read Every Format") << LoadSample(QStringLiteral("qr_code.png")) << "AZTEC"
                                                           << "ReadEveryFormat1" << kQrText << kUnreadable;
        QTest::newRow("QR code, MSI, Read Every Format") << LoadSample(QStringLiteral("qr_code.png")) << "MSI"
                                                         << "ReadEveryFormat1" << kQrText << kQrText;
        QTest::newRow("EAN-13 turned, Auto, Try Harder") << turnedEan << "Auto"
                                                         << "TryHarder1" << kUnreadable << kEanText;
        QTest::newRow("EAN-13 turned, EAN_13, Try Harder") << turnedEan << "EAN_13"
                                                           << "TryHarder1" << kUnreadable << kEanText;
    }

    void switchesChangeTheNextDecode()
    {
        QFETCH(QImage, picture);
        QFETCH(QString, format);
        QFETCH(QString, entry);
        QFETCH(QString, off);
        QFETCH(QString, on);
        const QString file = SavePicture(QStringLiteral("picture.png"), picture);
        auto form = MakeForm();
        form->CodeFormatEntry(format)->trigger();
        QAction* action = form->findChild<QAction*>(entry);
        QCOMPARE(Pick(*form, file), off);
        action->trigger();
        // A picture that gave "Unreadable!" is read again at once; a text stays.
        QCOMPARE(form->Memo1->toPlainText(), off == kUnreadable ? on : off);
        QCOMPARE(Pick(*form, file), on);
        QCOMPARE(PaneColour(form->Memo1), on == kUnreadable ? kRed : kLime);
        action->trigger();
        QCOMPARE(form->Memo1->toPlainText(), on); // turned off: nothing is read again
        QCOMPARE(Pick(*form, file), off);
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
    }

    void negativePictures_data()
    {
        QTest::addColumn<QString>("sample");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("text"); // with the option on
        QTest::newRow("QR code, Auto") << "qr_code.png"
                                       << "Auto" << kQrText;
        QTest::newRow("QR code, QR_CODE") << "qr_code.png"
                                          << "QR_CODE" << kQrText;
        QTest::newRow("QR code, EAN_13") << "qr_code.png"
                                         << "EAN_13" << kUnreadable;
        QTest::newRow("Data Matrix, Auto") << "data_matrix.png"
                                           << "Auto"
                                           << "Lantrix Data Matrix 0042";
        QTest::newRow("Data Matrix, DATA_MATRIX") << "data_matrix.png"
                                                  << "DATA_MATRIX"
                                                  << "Lantrix Data Matrix 0042";
        QTest::newRow("EAN-13, Auto") << "ean_13.png"
                                      << "Auto"
                                      << "4006381333931";
        QTest::newRow("EAN-13, EAN_13") << "ean_13.png"
                                        << "EAN_13"
                                        << "4006381333931";
        QTest::newRow("EAN-13, QR_CODE") << "ean_13.png"
                                         << "QR_CODE" << kUnreadable;
    }

    // Off: "Unreadable!"; on: the text (when the format's reader reads it),
    // the picture on screen read again at once; off again: "Unreadable!".
    void negativePictures()
    {
        QFETCH(QString, sample);
        QFETCH(QString, format);
        QFETCH(QString, text);
        const QString negative = SavePicture(QStringLiteral("negative.png"), Negative(sample));
        auto form = MakeForm();
        form->CodeFormatEntry(format)->trigger();
        QCOMPARE(Pick(*form, negative), kUnreadable);
        QCOMPARE(PaneColour(form->Memo1), kRed);

        form->ReadInvertedCodes1->trigger();
        QVERIFY(form->ReadInvertedCodes1->isChecked());
        QVERIFY(form->State().SelectedDecodeOptions.inverted);
        QCOMPARE(form->Memo1->toPlainText(), text); // the picture on screen is read again
        QCOMPARE(Pick(*form, negative), text);
        QCOMPARE(PaneColour(form->Memo1), text == kUnreadable ? kRed : kLime);
        // The plain picture reads as before.
        QCOMPARE(Pick(*form, kSamples + QLatin1Char('/') + sample), text);

        form->ReadInvertedCodes1->trigger();
        QVERIFY(!form->ReadInvertedCodes1->isChecked());
        QVERIFY(!form->State().SelectedDecodeOptions.inverted);
        QCOMPARE(Pick(*form, negative), kUnreadable);
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
    }

    // ---- settings.ini --------------------------------------------------------

    void keptInSettingsAcrossRuns()
    {
        auto form = MakeForm();
        QCOMPARE(Pick(*form, kSamples + QStringLiteral("/qr_code.png")), kQrText); // InitialDir is written
        form->ReadInvertedCodes1->trigger();
        QCOMPARE(ReadSettings(), QByteArray("\xEF\xBB\xBF[Settings]\r\nInitialDir=") + kSamples.toUtf8()
                                     + QByteArray("\r\nReadInvertedCodes=1\r\n\r\n"));
        form.reset();

        auto next = MakeForm();
        QVERIFY(next->ReadInvertedCodes1->isChecked());
        QVERIFY(next->State().SelectedDecodeOptions.inverted);
        QCOMPARE(Pick(*next, SavePicture(QStringLiteral("negative.png"), Negative(QStringLiteral("qr_code.png")))),
                 kQrText);
        next->ReadInvertedCodes1->trigger();
        QVERIFY(ReadSettings().contains("\r\nReadInvertedCodes=0\r\n"));
        next.reset();

        auto third = MakeForm();
        QVERIFY(!third->ReadInvertedCodes1->isChecked());
        QVERIFY(!third->State().SelectedDecodeOptions.inverted);
        QVERIFY(errors.isEmpty());
    }

    void valuesInTheFile_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<bool>("on");
        QTest::newRow("on") << QByteArray("[Settings]\r\nReadInvertedCodes=1\r\n") << true;
        QTest::newRow("off") << QByteArray("[Settings]\r\nReadInvertedCodes=0\r\n") << false;
        QTest::newRow("key in another case") << QByteArray("[settings]\r\nreadinvertedcodes=1\r\n") << true;
        QTest::newRow("blanks around the value") << QByteArray("[Settings]\r\nReadInvertedCodes= 1 \r\n") << true;
        QTest::newRow("a word") << QByteArray("[Settings]\r\nReadInvertedCodes=yes\r\n") << false;
        QTest::newRow("another number") << QByteArray("[Settings]\r\nReadInvertedCodes=2\r\n") << false;
        QTest::newRow("no key") << QByteArray("[Settings]\r\nInitialDir=/tmp\r\n") << false;
        QTest::newRow("another section") << QByteArray("[Other]\r\nReadInvertedCodes=1\r\n") << false;
    }

    void valuesInTheFile()
    {
        QFETCH(QByteArray, settings);
        QFETCH(bool, on);
        QFile file(SettingsFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(settings);
        file.close();
        auto form = MakeForm();
        QCOMPARE(form->ReadInvertedCodes1->isChecked(), on);
        QCOMPARE(form->State().SelectedDecodeOptions.inverted, on);
        QVERIFY(errors.isEmpty());
    }

    // Reset to Defaults deletes settings.ini: the next start has the option off.
    void resetToDefaultsTurnsItOff()
    {
        auto form = MakeForm();
        form->ReadInvertedCodes1->trigger();
        QVERIFY(ReadSettings().contains("ReadInvertedCodes=1"));
        AnswerNextMessageBox([](QMessageBox* box) { MessageBoxButton(box, QStringLiteral("Yes"))->click(); });
        form->ResettoDefaults1->trigger();
        QCOMPARE(restarts, (QStringList{"start, file gone", "terminate"}));
        QVERIFY(!QFile::exists(SettingsFile()));
        form.reset();

        auto next = MakeForm();
        QVERIFY(!next->ReadInvertedCodes1->isChecked());
        QCOMPARE(Pick(*next, SavePicture(QStringLiteral("negative.png"), Negative(QStringLiteral("qr_code.png")))),
                 kUnreadable);
        QVERIFY(errors.isEmpty());
    }

    void resetToDefaultsTurnsEverySwitchOff()
    {
        auto form = MakeForm();
        for (QAction* entry : {form->ReadInvertedCodes1, form->ReadEveryFormat1, form->TryHarder1})
            entry->trigger();
        QCOMPARE(ReadSettings(), QByteArray("\xEF\xBB\xBF[Settings]\r\nReadInvertedCodes=1\r\nReadEveryFormat=1\r\n"
                                            "TryHarder=1\r\n\r\n"));
        AnswerNextMessageBox([](QMessageBox* box) { MessageBoxButton(box, QStringLiteral("Yes"))->click(); });
        form->ResettoDefaults1->trigger();
        QCOMPARE(restarts, (QStringList{"start, file gone", "terminate"}));
        form.reset();

        auto next = MakeForm();
        for (QAction* entry : {next->ReadInvertedCodes1, next->ReadEveryFormat1, next->TryHarder1})
            QVERIFY(!entry->isChecked());
        QVERIFY(!next->State().SelectedDecodeOptions.inverted && !next->State().SelectedDecodeOptions.everyFormat
                && !next->State().SelectedDecodeOptions.tryHarder);
        QVERIFY(errors.isEmpty());
    }

    // ---- The status bar's words ------------------------------------------------

    // A picture that gives "Unreadable!" names, for a few seconds, the entries
    // that are off and may read more; the pane stays as it is.
    void unreadableNamesTheEntriesThatAreOff_data()
    {
        QTest::addColumn<QStringList>("on");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("hint"); // empty: none
        QTest::newRow("all off") << QStringList() << "Auto"
                                 << kHint + "Read Inverted Codes, Read Every Format, Try Harder";
        QTest::newRow("inverted on") << QStringList{"ReadInvertedCodes1"} << "Auto"
                                     << kHint + "Read Every Format, Try Harder";
        QTest::newRow("every format and try harder on")
            << QStringList{"ReadEveryFormat1", "TryHarder1"} << "Auto" << kHint + "Read Inverted Codes";
        QTest::newRow("all on") << QStringList{"ReadInvertedCodes1", "ReadEveryFormat1", "TryHarder1"} << "Auto"
                                << QString();
        // QR_CODE is looked for alone with every format too.
        QTest::newRow("QR_CODE, all off") << QStringList() << "QR_CODE" << kHint + "Read Inverted Codes, Try Harder";
        QTest::newRow("PDF_417, all off")
            << QStringList() << "PDF_417" << kHint + "Read Inverted Codes, Read Every Format, Try Harder";
    }

    void unreadableNamesTheEntriesThatAreOff()
    {
        QFETCH(QStringList, on);
        QFETCH(QString, format);
        QFETCH(QString, hint);
        const QString file = BlankPicture();
        auto form = MakeForm();
        for (const QString& entry : on)
            form->findChild<QAction*>(entry)->trigger();
        form->CodeFormatEntry(format)->trigger();
        form->statusBar()->clearMessage(); // the format's own word, if any, is not what is looked at
        QCOMPARE(Pick(*form, file), kUnreadable);
        QCOMPARE(PaneColour(form->Memo1), kRed);
        QCOMPARE(form->statusBar()->currentMessage(), hint);
        QCOMPARE(form->StatusBar1->isVisible(), hint.isEmpty());
        QCOMPARE(form->StatusBar1->text(), "Code Format: " + format);
        QTRY_VERIFY_WITH_TIMEOUT(form->statusBar()->currentMessage().isEmpty(), 30000);
        QVERIFY(form->StatusBar1->isVisible());
        QCOMPARE(form->Memo1->toPlainText(), kUnreadable);
        // A picture that reads says nothing more.
        QCOMPARE(Pick(*form, kSamples + QStringLiteral("/qr_code.png")), kQrText);
        QVERIFY(form->statusBar()->currentMessage().isEmpty());
        QVERIFY(errors.isEmpty());
    }

    // Choosing a format that the decode has no reader for says so, for a few
    // seconds, over the status bar's panel, which names the format as always.
    void codeFormatWithoutReader_data()
    {
        QTest::addColumn<bool>("everyFormat");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("notice"); // empty: none
        QTest::newRow("AZTEC") << false << "AZTEC"
                               << "No reader for AZTEC: decoding as with Auto.";
        QTest::newRow("UPC_EAN_EXTENSION") << false << "UPC_EAN_EXTENSION"
                                           << "No reader for UPC_EAN_EXTENSION: decoding as with Auto.";
        QTest::newRow("MSI") << false << "MSI"
                             << "No reader for MSI: decoding as with Auto.";
        QTest::newRow("QR_CODE") << false << "QR_CODE" << QString();
        QTest::newRow("Auto") << false << "Auto" << QString();
        QTest::newRow("AZTEC, every format") << true << "AZTEC" << QString();
        QTest::newRow("PDF_417, every format") << true << "PDF_417" << QString();
        QTest::newRow("MSI, every format") << true << "MSI"
                                           << "No reader for MSI: decoding as with Auto.";
        QTest::newRow("PLESSEY, every format") << true << "PLESSEY"
                                               << "No reader for PLESSEY: decoding as with Auto.";
    }

    void codeFormatWithoutReader()
    {
        QFETCH(bool, everyFormat);
        QFETCH(QString, format);
        QFETCH(QString, notice);
        auto form = MakeForm();
        if (everyFormat)
            form->ReadEveryFormat1->trigger();
        form->CodeFormatEntry(format)->trigger();
        QCOMPARE(form->statusBar()->currentMessage(), notice);
        QCOMPARE(form->StatusBar1->text(), "Code Format: " + format);
        QCOMPARE(form->StatusBar1->isVisible(), notice.isEmpty());
        // Another format takes the word away; the first one brings it back.
        form->CodeFormatEntry(QStringLiteral("QR_CODE"))->trigger();
        QVERIFY(form->statusBar()->currentMessage().isEmpty());
        form->CodeFormatEntry(format)->trigger();
        QCOMPARE(form->statusBar()->currentMessage(), notice);
        if (!notice.isEmpty()) {
            QTRY_VERIFY_WITH_TIMEOUT(form->statusBar()->currentMessage().isEmpty(), 30000);
            QVERIFY(form->StatusBar1->isVisible());
        }
        QVERIFY(errors.isEmpty());
    }

    // With AZTEC chosen, Read Every Format brings its reader, and taking it
    // away says that AZTEC decodes as Auto again.
    void everyFormatToggledUnderAFormat()
    {
        auto form = MakeForm();
        form->CodeFormatEntry(QStringLiteral("AZTEC"))->trigger();
        QCOMPARE(form->statusBar()->currentMessage(), QStringLiteral("No reader for AZTEC: decoding as with Auto."));
        form->ReadEveryFormat1->trigger();
        QVERIFY(form->statusBar()->currentMessage().isEmpty());
        form->ReadEveryFormat1->trigger();
        QCOMPARE(form->statusBar()->currentMessage(), QStringLiteral("No reader for AZTEC: decoding as with Auto."));
        QCOMPARE(form->StatusBar1->text(), QStringLiteral("Code Format: AZTEC"));
    }

    // The words speak the user's language; the entries they name stay English.
    void wordsInTheUsersLanguage()
    {
        WriteGermanLanguage("{These Settings entries are off and may read it: %s}"
                            "Diese Einträge unter Settings sind aus und könnten es lesen: %s\r\n"
                            "{No reader for %s: decoding as with Auto.}"
                            "Kein Leser für %s: es wird wie mit Auto gelesen.\r\n");
        uiLanguage = [] { return quint16(1031); };
        auto form = MakeForm();
        form->ReadInvertedCodes1->trigger();
        QCOMPARE(Pick(*form, BlankPicture()), kUnreadable);
        QCOMPARE(form->statusBar()->currentMessage(),
                 QStringLiteral("Diese Einträge unter Settings sind aus und könnten es lesen: Read Every Format, "
                                "Try Harder"));
        form->CodeFormatEntry(QStringLiteral("PLESSEY"))->trigger();
        QCOMPARE(form->statusBar()->currentMessage(),
                 QStringLiteral("Kein Leser für PLESSEY: es wird wie mit Auto gelesen."));
        QCOMPARE(form->TryHarder1->text(), QStringLiteral("&Try Harder"));
        QVERIFY(errors.isEmpty());
    }

    // Neither the program's folder nor the user's configuration folder can be
    // written: the failure is reported, and the option holds for this run.
    void settingsThatCannotBeWritten()
    {
        QDir(exeFolder).removeRecursively();
        QFile blocker(root->filePath(QStringLiteral("not-a-folder")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        configFolder = blocker.fileName() + QStringLiteral("/config");
        auto form = MakeForm();
        QVERIFY(errors.isEmpty());
        form->ReadInvertedCodes1->trigger();
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.first().contains(QStringLiteral("settings.ini")), qPrintable(errors.first()));
        QVERIFY(form->ReadInvertedCodes1->isChecked());
        QCOMPARE(Pick(*form, SavePicture(QStringLiteral("negative.png"), Negative(QStringLiteral("qr_code.png")))),
                 kQrText);
    }

    // The screen scan's message speaks the user's language; the entry stays
    // English like the rest of the window's menus (even where a language file
    // translates it) and takes an access key that the classic entries leave free.
    void inTheUsersLanguage()
    {
        WriteGermanLanguage("{Read Inverted Codes}Invertierte Codes lesen\r\n"
                            "{The text is on the clipboard.}Der Text ist in der Zwischenablage.\r\n");
        uiLanguage = [] { return quint16(1031); };
        auto form = MakeForm();
        QVERIFY(errors.isEmpty());
        QCOMPARE(form->ReadInvertedCodes1->text(), QStringLiteral("R&ead Inverted Codes"));
        QCOMPARE(form->ResettoDefaults1->text(), QStringLiteral("&Reset to Defaults"));
        form->ScreenScanned(SceneWithCode(800, 600, LoadSample(QStringLiteral("qr_code.png")), 300, 150));
        QCOMPARE(form->statusBar()->currentMessage(), QStringLiteral("Der Text ist in der Zwischenablage."));
    }

    // ---- Screen scans --------------------------------------------------------

    void screenScan_data()
    {
        QTest::addColumn<QImage>("screen");
        QTest::addColumn<bool>("inverted");
        QTest::addColumn<QString>("text"); // empty: nothing read
        const QImage qr = LoadSample(QStringLiteral("qr_code.png"));
        QImage dark = SceneWithCode(800, 600, qr, 300, 150);
        dark.invertPixels(); // a dark desktop with a light code on it
        QTest::newRow("QR code") << SceneWithCode(800, 600, qr, 300, 150) << false << kQrText;
        QTest::newRow("Data Matrix") << SceneWithCode(800, 600, LoadSample(QStringLiteral("data_matrix.png")), 200, 60)
                                     << false << "Lantrix Data Matrix 0042";
        QTest::newRow("nothing") << SceneWithCode(800, 600, QImage(), 0, 0) << false << QString();
        QTest::newRow("light code, option off") << dark << false << QString();
        QTest::newRow("light code, option on") << dark << true << kQrText;
    }

    // A decoded text goes to the pane and to the clipboard, and the status bar
    // says so for a few seconds, then shows the code format again; a screen
    // without a code leaves the clipboard and the status bar as they were.
    void screenScan()
    {
        QFETCH(QImage, screen);
        QFETCH(bool, inverted);
        QFETCH(QString, text);
        auto form = MakeForm();
        if (inverted)
            form->ReadInvertedCodes1->trigger();
        form->CodeFormatEntry(QStringLiteral("Auto"))->trigger();
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->setText(QStringLiteral("before"));
        form->PageControl1->blockSignals(true); // from the webcam tab, without a camera search
        form->PageControl1->setCurrentIndex(1);
        form->PageControl1->blockSignals(false);

        form->ScreenScanned(screen);
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
        QCOMPARE(form->PageControl1->currentIndex(), 0);
        QCOMPARE(form->Edit1->text(), QStringLiteral("[Screenshot]"));
        if (text.isEmpty()) {
            QCOMPARE(form->Memo1->toPlainText(), kUnreadable);
            QCOMPARE(clipboard->text(), QStringLiteral("before"));
            QVERIFY(form->statusBar()->currentMessage().isEmpty());
            QVERIFY(form->StatusBar1->isVisible());
            return;
        }
        QCOMPARE(form->Memo1->toPlainText(), text);
        QCOMPARE(clipboard->text(), text);
        QCOMPARE(form->statusBar()->currentMessage(), kClipboardMessage);
        QVERIFY(!form->StatusBar1->isVisible()); // the message stands in its place for now
        // A few seconds later the code format is back.
        QTRY_VERIFY_WITH_TIMEOUT(form->statusBar()->currentMessage().isEmpty(), 30000);
        QVERIFY(form->StatusBar1->isVisible());
        QCOMPARE(form->StatusBar1->text(), QStringLiteral("Code Format: Auto"));
    }

    // Pictures that come otherwise leave the clipboard alone.
    void otherPicturesLeaveTheClipboard()
    {
        auto form = MakeForm();
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->setText(QStringLiteral("before"));
        QCOMPARE(Pick(*form, kSamples + QStringLiteral("/qr_code.png")), kQrText);
        QCOMPARE(clipboard->text(), QStringLiteral("before"));
        QVERIFY(form->statusBar()->currentMessage().isEmpty());
    }
};

QTEST_MAIN(ReadOptionsTest)
#include "tst_read_options.moc"
