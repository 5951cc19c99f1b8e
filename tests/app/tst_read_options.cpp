// Settings > "Read Inverted Codes" in the main window: light codes on a dark
// ground read only with it, its place in settings.ini, Reset to Defaults and
// its caption in the user's language; and a screen scan's text put on the
// clipboard, with a passing word in the status bar. Driven offscreen.
#include "app/AccessKeys.h"
#include "app/AppState.h"
#include "app/widgets/AppForm.h"
#include "localization/LanguageFiles.h"
#include "support/MainWindowFixture.h"
#include "support/ModalAnswers.h"
#include "support/Samples.h"

#include <QAction>
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

#include <memory>

namespace {
const QString kSamples = QStringLiteral(LANTRIX_SOURCE_DIR "/samples");
const QString kQrText = QStringLiteral("https://lantrix.invalid/hello?from=qr");
const QString kUnreadable = QStringLiteral("Unreadable!");
const QString kClipboardMessage = QStringLiteral("The text is on the clipboard.");
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
        QVERIFY(!SelectedDecodeOptions.inverted);
        QCOMPARE(Captions(form->menuBar()->actions().at(1)->menu()),
                 (QStringList{"&Code Format", "R&ead Inverted Codes", "-", "&Reset to Defaults"}));
        QVERIFY(!QFile::exists(SettingsFile())); // nothing written until the user chooses
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

    // Off: "Unreadable!"; on: the text (when the format's reader reads it);
    // off again: "Unreadable!". A change decodes nothing by itself.
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
        QVERIFY(SelectedDecodeOptions.inverted);
        QCOMPARE(form->Memo1->toPlainText(), kUnreadable); // the shown picture is not decoded again
        QCOMPARE(Pick(*form, negative), text);
        QCOMPARE(PaneColour(form->Memo1), text == kUnreadable ? kRed : kLime);
        // The plain picture reads as before.
        QCOMPARE(Pick(*form, kSamples + QLatin1Char('/') + sample), text);

        form->ReadInvertedCodes1->trigger();
        QVERIFY(!form->ReadInvertedCodes1->isChecked());
        QVERIFY(!SelectedDecodeOptions.inverted);
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
        SelectedDecodeOptions = {}; // as in a new process

        auto next = MakeForm();
        QVERIFY(next->ReadInvertedCodes1->isChecked());
        QVERIFY(SelectedDecodeOptions.inverted);
        QCOMPARE(Pick(*next, SavePicture(QStringLiteral("negative.png"), Negative(QStringLiteral("qr_code.png")))),
                 kQrText);
        next->ReadInvertedCodes1->trigger();
        QVERIFY(ReadSettings().contains("\r\nReadInvertedCodes=0\r\n"));
        next.reset();
        SelectedDecodeOptions = {};

        auto third = MakeForm();
        QVERIFY(!third->ReadInvertedCodes1->isChecked());
        QVERIFY(!SelectedDecodeOptions.inverted);
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
        SelectedDecodeOptions.inverted = !on; // the window must set it either way
        QFile file(SettingsFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(settings);
        file.close();
        auto form = MakeForm();
        QCOMPARE(form->ReadInvertedCodes1->isChecked(), on);
        QCOMPARE(SelectedDecodeOptions.inverted, on);
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
        SelectedDecodeOptions = {};

        auto next = MakeForm();
        QVERIFY(!next->ReadInvertedCodes1->isChecked());
        QCOMPARE(Pick(*next, SavePicture(QStringLiteral("negative.png"), Negative(QStringLiteral("qr_code.png")))),
                 kUnreadable);
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
