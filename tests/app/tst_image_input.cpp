// Pictures that reach the "Image File" tab without the open dialog: a file
// named on the command line, a drop, the clipboard (Ctrl+V); and the
// standard shortcuts of the tab's commands. Driven offscreen with Qt's test
// events and mime data.
#include "app/PictureInput.h"
#include "app/widgets/AppForm.h"
#include "localization/LanguageFiles.h"
#include "support/KeyboardFocus.h"
#include "support/MainWindowFixture.h"
#include "support/PictureFiles.h"
#include "support/Samples.h"
#include "support/TestDecoder.h"

#include <QAction>
#include <QBuffer>
#include <QClipboard>
#include <QDropEvent>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTextEdit>

#include <memory>
#include <vector>

namespace {
const QString kSamples = QStringLiteral(LANTRIX_SOURCE_DIR "/samples");
const QString kQrPicture = kSamples + QStringLiteral("/qr_code.png");
const QString kQrText = QStringLiteral("https://lantrix.invalid/hello?from=qr");
const QColor kLime(0, 255, 0);
const QColor kRed(255, 0, 0);

QByteArray PngBytes(const QImage& picture)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return bytes;
}
} // namespace

// What the mime data of a test carries.
enum class Offer { FileUrl, TextFileUrl, PictureData, PngBytesOfABrowser, PathAsText, UriAsText, WordsAsText };
Q_DECLARE_METATYPE(Offer)

class ImageInputTest : public QObject, TMainWindowFixture {
    Q_OBJECT

    QString textFile;

    static QByteArray RememberedFolder(const QString& folder)
    {
        return QByteArray("\xEF\xBB\xBF[Settings]\r\nInitialDir=") + folder.toUtf8() + QByteArray("\r\n\r\n");
    }

    std::unique_ptr<QMimeData> MakeOffer(Offer offer) const
    {
        auto data = std::make_unique<QMimeData>();
        switch (offer) {
        case Offer::FileUrl: data->setUrls({QUrl::fromLocalFile(kQrPicture)}); break;
        case Offer::TextFileUrl: data->setUrls({QUrl::fromLocalFile(textFile)}); break;
        case Offer::PictureData: data->setImageData(LoadSample(QStringLiteral("qr_code.png"))); break;
        case Offer::PngBytesOfABrowser:
            data->setUrls({QUrl(QStringLiteral("https://example.invalid/code.png"))});
            data->setData(QStringLiteral("image/png"), PngBytes(LoadSample(QStringLiteral("qr_code.png"))));
            break;
        case Offer::PathAsText: data->setText(kQrPicture); break;
        case Offer::UriAsText: data->setText(QUrl::fromLocalFile(kQrPicture).toString()); break;
        case Offer::WordsAsText: data->setText(QStringLiteral("hello, this is no picture")); break;
        }
        return data;
    }

    // The tab's state once a picture has been picked in the dialog, so that a
    // change, or none, can be seen.
    void PickCode128(TAppForm& form)
    {
        answers = {kSamples + QStringLiteral("/code_128.png")};
        form.ButtonBrowse->click();
        QCOMPARE(form.Memo1->toPlainText(), QStringLiteral("LANTRIX-128-Sample"));
        errors.clear();
    }

private slots:
    void init()
    {
        Init();
        textFile = root->filePath(QStringLiteral("notes.txt"));
        QFile text(textFile);
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("not a picture");
    }

    void cleanup()
    {
        Cleanup();
        QGuiApplication::clipboard()->clear();
    }

    // ---- Command line --------------------------------------------------

    // Started as "lantrix <Qt's options> picture": Qt takes its options
    // (main() below gives them), and the picture is scanned as if picked in
    // the dialog.
    void commandLinePictureAfterQtsOptions()
    {
        QCOMPARE(QCoreApplication::arguments().size(), 2);
        QCOMPARE(PictureFileArgument(QCoreApplication::arguments()), std::optional<QString>(kQrPicture));
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("offscreen"));

        auto form = MakeForm();
        form->OpenFromCommandLine(QCoreApplication::arguments());
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
        QCOMPARE(form->PageControl1->currentIndex(), 0);
        QCOMPARE(form->Edit1->text(), kQrPicture);
        QCOMPARE(form->Image1->Picture().size(), LoadSample(QStringLiteral("qr_code.png")).size());
        QCOMPARE(form->Memo1->toPlainText(), kQrText);
        QCOMPARE(PaneColour(form->Memo1), kLime);
        QCOMPARE(ReadSettings(), RememberedFolder(kSamples));
        QVERIFY(dialogFolders.isEmpty()); // no dialog was shown
    }

    void commandLineWithoutPicture()
    {
        auto form = MakeForm();
        form->OpenFromCommandLine({QStringLiteral("lantrix")});
        QVERIFY(errors.isEmpty());
        QCOMPARE(form->Edit1->text(), QStringLiteral("[None]"));
        QVERIFY(form->Image1->Picture().isNull());
        QVERIFY(!form->Memo1->isVisible());
        QVERIFY(!QFile::exists(SettingsFile()));
    }

    void commandLineUnreadableFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes"); // empty: no such file
        QTest::addColumn<QString>("message");  // empty: the reader's own text
        QTest::newRow("text file") << "notes.txt" << QByteArray("hello") << "Unknown picture file extension (.txt)";
        QTest::newRow("damaged png") << "broken.png" << QByteArray("\x89PNG\r\n\x1a\nbroken") << "";
        QTest::newRow("missing file") << "gone.png" << QByteArray() << "";
    }

    void commandLineUnreadableFile()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        const QString path = root->filePath(name);
        if (!bytes.isEmpty()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        }
        auto form = MakeForm();
        form->OpenFromCommandLine({QStringLiteral("lantrix"), path});
        QCOMPARE(errors.size(), 1);
        if (!message.isEmpty())
            QCOMPARE(errors.first(), message);
        else
            QVERIFY(!errors.first().isEmpty());
        QCOMPARE(form->Edit1->text(), path);
        QVERIFY(form->Image1->Picture().isNull());
        QVERIFY(!form->Memo1->isVisible());
        QVERIFY(!QFile::exists(SettingsFile()));

        // The window goes on working.
        answers = {kQrPicture};
        form->ButtonBrowse->click();
        QCOMPARE(form->Memo1->toPlainText(), kQrText);
        QCOMPARE(errors.size(), 1);
    }

    // ---- Drop ------------------------------------------------------------

    void drop_data()
    {
        QTest::addColumn<Offer>("offer");
        QTest::addColumn<QString>("target");  // the control the drop lands on
        QTest::addColumn<QString>("path");    // Edit1 afterwards; empty: unchanged
        QTest::addColumn<bool>("remembered"); // the file's folder in settings.ini
        const QString dropped = QStringLiteral("[Dropped picture]");
        QTest::newRow("file from a file manager") << Offer::FileUrl << "Image1" << kQrPicture << true;
        QTest::newRow("file on the path field") << Offer::FileUrl << "Edit1" << kQrPicture << true;
        QTest::newRow("file on the result pane") << Offer::FileUrl << "Memo1" << kQrPicture << true;
        QTest::newRow("picture data") << Offer::PictureData << "Image1" << dropped << false;
        QTest::newRow("browser's picture data") << Offer::PngBytesOfABrowser << "Image1" << dropped << false;
        QTest::newRow("path as text") << Offer::PathAsText << "Image1" << kQrPicture << true;
        QTest::newRow("words: not taken") << Offer::WordsAsText << "Image1"
                                          << "" << false;
        QTest::newRow("words on the path field: not taken") << Offer::WordsAsText << "Edit1"
                                                            << "" << false;
    }

    void drop()
    {
        QFETCH(Offer, offer);
        QFETCH(QString, target);
        QFETCH(QString, path);
        QFETCH(bool, remembered);
        auto form = MakeForm();
        PickCode128(*form);
        const QByteArray settingsBefore = ReadSettings();
        const QImage pictureBefore = form->Image1->Picture();
        QWidget* on = form->findChild<QWidget*>(target);
        QVERIFY(on);

        const auto data = MakeOffer(offer);
        const QPoint at = on->rect().center();
        const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
        QDragEnterEvent enter(at, actions, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(on, &enter);
        QDropEvent drop(QPointF(at), actions, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(on, &drop);

        if (path.isEmpty()) {
            QVERIFY(!enter.isAccepted());
            QVERIFY(!drop.isAccepted());
            QTest::qWait(50); // a scan, if one were queued, would run now
            QCOMPARE(form->Edit1->text(), kSamples + QStringLiteral("/code_128.png"));
            QCOMPARE(form->Image1->Picture(), pictureBefore);
            QCOMPARE(form->Memo1->toPlainText(), QStringLiteral("LANTRIX-128-Sample"));
            QVERIFY(errors.isEmpty());
            return;
        }
        QVERIFY(enter.isAccepted());
        QVERIFY(drop.isAccepted());
        QCOMPARE(drop.dropAction(), Qt::CopyAction); // the dropped file is only read
        QTRY_COMPARE(form->Memo1->toPlainText(), kQrText);
        QCOMPARE(PaneColour(form->Memo1), kLime);
        QCOMPARE(form->Edit1->text(), path);
        QCOMPARE(form->Image1->Picture().size(), LoadSample(QStringLiteral("qr_code.png")).size());
        QCOMPARE(ReadSettings(), remembered ? RememberedFolder(kSamples) : settingsBefore);
        QVERIFY(errors.isEmpty());
    }

    // A dropped file that is no picture gives the loader's error once the
    // drop is over, as a pick in the dialog would.
    void droppedFileThatIsNoPicture()
    {
        auto form = MakeForm();
        PickCode128(*form);
        const QByteArray settingsBefore = ReadSettings();
        const auto data = MakeOffer(Offer::TextFileUrl);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form->Image1, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form->Image1, &drop);
        QVERIFY(drop.isAccepted());
        QVERIFY(errors.isEmpty()); // not while the drop is going on
        QTRY_COMPARE(errors, QStringList{QStringLiteral("Unknown picture file extension (.txt)")});
        QCOMPARE(form->Edit1->text(), textFile);
        QCOMPARE(form->Memo1->toPlainText(), QStringLiteral("LANTRIX-128-Sample"));
        QCOMPARE(ReadSettings(), settingsBefore);
    }

    // ---- Photos stored sideways ------------------------------------------

    // A phone's photo of a barcode taken sideways (stored as the sensor saw
    // it, with an EXIF orientation) comes upright and is read on every road
    // a picture file takes into the tab: the command line, a drop and a
    // paste of the file, and its bytes dropped or pasted from a browser.
    void sidewaysPhotoComesUpright_data()
    {
        QTest::addColumn<QString>("road");
        QTest::addColumn<bool>("asFile"); // else the bytes as image/jpeg
        QTest::newRow("command line") << "command line" << true;
        QTest::newRow("dropped file") << "drop" << true;
        QTest::newRow("pasted file") << "paste" << true;
        QTest::newRow("dropped bytes") << "drop" << false;
        QTest::newRow("pasted bytes") << "paste" << false;
    }

    void sidewaysPhotoComesUpright()
    {
        QFETCH(QString, road);
        QFETCH(bool, asFile);
        const QImage upright = LoadSample(QStringLiteral("ean_13.png"));
        const QByteArray jpeg = SidewaysJpeg(upright, 6);
        const QString photo = root->filePath(QStringLiteral("IMG_2041.jpg"));
        {
            QFile file(photo);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(jpeg), jpeg.size());
        }
        auto data = std::make_unique<QMimeData>();
        if (asFile) {
            data->setUrls({QUrl::fromLocalFile(photo)});
        } else {
            data->setUrls({QUrl(QStringLiteral("https://example.invalid/IMG_2041.jpg"))});
            data->setData(QStringLiteral("image/jpeg"), jpeg);
        }

        auto form = MakeForm();
        PickCode128(*form);
        if (road == QLatin1String("command line")) {
            form->OpenFromCommandLine({QStringLiteral("lantrix"), photo});
        } else if (road == QLatin1String("drop")) {
            QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(form->Image1, &enter);
            QVERIFY(enter.isAccepted());
            QDropEvent drop(QPointF(10, 10), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(form->Image1, &drop);
            QVERIFY(drop.isAccepted());
        } else {
            QVERIFY(ActivateWindow(form.get()));
            form->Edit1->setFocus();
            QGuiApplication::clipboard()->setMimeData(data.release());
            QTest::keyClick(form->Edit1, Qt::Key_V, Qt::ControlModifier);
        }
        QTRY_COMPARE(form->Memo1->toPlainText(), QStringLiteral("4006381333931"));
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
        QCOMPARE(PaneColour(form->Memo1), kLime);
        QCOMPARE(form->Image1->Picture().size(), upright.size());
    }

    // ---- Paste -----------------------------------------------------------

    void paste_data()
    {
        QTest::addColumn<Offer>("offer");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("remembered");
        const QString pasted = QStringLiteral("[Picture from the clipboard]");
        QTest::newRow("picture, focus on the path field") << Offer::PictureData << "Edit1" << pasted << false;
        QTest::newRow("picture, focus on the button") << Offer::PictureData << "ButtonBrowse" << pasted << false;
        QTest::newRow("picture, focus on the result pane") << Offer::PictureData << "Memo1" << pasted << false;
        QTest::newRow("png bytes") << Offer::PngBytesOfABrowser << "Edit1" << pasted << false;
        QTest::newRow("copied file") << Offer::FileUrl << "Edit1" << kQrPicture << true;
        QTest::newRow("path as text") << Offer::PathAsText << "Edit1" << kQrPicture << true;
        QTest::newRow("file uri as text") << Offer::UriAsText << "Memo1" << kQrPicture << true;
    }

    void paste()
    {
        QFETCH(Offer, offer);
        QFETCH(QString, focus);
        QFETCH(QString, path);
        QFETCH(bool, remembered);
        auto form = MakeForm();
        PickCode128(*form);
        const QByteArray settingsBefore = ReadSettings();
        QVERIFY(ActivateWindow(form.get()));
        QWidget* on = form->findChild<QWidget*>(focus);
        QVERIFY(on);
        on->setFocus();
        QGuiApplication::clipboard()->setMimeData(MakeOffer(offer).release());

        QTest::keyClick(on, Qt::Key_V, Qt::ControlModifier);
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
        QCOMPARE(form->Edit1->text(), path);
        QCOMPARE(form->Memo1->toPlainText(), kQrText);
        QCOMPARE(PaneColour(form->Memo1), kLime);
        QCOMPARE(form->Image1->Picture().size(), LoadSample(QStringLiteral("qr_code.png")).size());
        QCOMPARE(ReadSettings(), remembered ? RememberedFolder(kSamples) : settingsBefore);
    }

    void pastedPictureWithoutCode()
    {
        auto form = MakeForm();
        QImage blank(120, 80, QImage::Format_RGB32);
        blank.fill(Qt::white);
        QGuiApplication::clipboard()->setImage(blank);
        form->Paste1->trigger();
        QCOMPARE(form->Edit1->text(), QStringLiteral("[Picture from the clipboard]"));
        QCOMPARE(form->Memo1->toPlainText(), QStringLiteral("Unreadable!"));
        QCOMPARE(PaneColour(form->Memo1), kRed);
        QVERIFY(!QFile::exists(SettingsFile())); // nothing to remember
    }

    void pasteOfTextThatIsNoPicture_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("words") << "hello, this is no picture";
        QTest::newRow("missing file") << "/no/such/folder/code.png";
        QTest::newRow("empty") << "";
    }

    // ---- A decoder that stops ------------------------------------------

    // A picture on which the decoder process aborts, crashes, loops or runs
    // out of memory costs that picture alone: the window says so where a
    // load error is said, keeps the tab as it was, and reads the next
    // picture (a file, pasted bytes) with a fresh process.
    void aDecoderThatStopsCostsOnePicture_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("pasted");
        for (const char* fault : {"abort", "segv", "loop", "alloc"}) {
            QTest::newRow(qPrintable(QStringLiteral("%1, file").arg(QLatin1String(fault)))) << fault << false;
            QTest::newRow(qPrintable(QStringLiteral("%1, pasted").arg(QLatin1String(fault)))) << fault << true;
        }
    }

    void aDecoderThatStopsCostsOnePicture()
    {
        QFETCH(QString, fault);
        QFETCH(bool, pasted);
        const TDecoderFaults faults(1500);
        auto form = MakeForm();
        PickCode128(*form);
        const QImage pictureBefore = form->Image1->Picture();
        const QString faultFile = SavePicture(QStringLiteral("fault.png"), FaultPicture(fault));

        if (pasted) {
            auto data = std::make_unique<QMimeData>();
            data->setData(QStringLiteral("image/png"), PngBytes(FaultPicture(fault)));
            QGuiApplication::clipboard()->setMimeData(data.release());
            form->Paste1->trigger();
        } else {
            form->OpenPictureFile(faultFile);
        }
        QCOMPARE(errors.size(), 1);
        if (fault == QLatin1String("alloc"))
            QVERIFY2(errors.front() == QLatin1String(kDecoderStoppedText)
                         || errors.front() == QLatin1String("Not enough memory to decode the picture."),
                     qPrintable(errors.front()));
        else
            QCOMPARE(errors.front(), QLatin1String(kDecoderStoppedText));
        QCOMPARE(form->Image1->Picture(), pictureBefore);
        QCOMPARE(form->Memo1->toPlainText(), QStringLiteral("LANTRIX-128-Sample"));
        QVERIFY(form->isVisible());

        errors.clear();
        if (pasted) {
            auto data = std::make_unique<QMimeData>();
            data->setData(QStringLiteral("image/png"), PngBytes(LoadSample(QStringLiteral("qr_code.png"))));
            QGuiApplication::clipboard()->setMimeData(data.release());
            form->Paste1->trigger();
        } else {
            form->OpenPictureFile(kQrPicture);
        }
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
        QCOMPARE(form->Memo1->toPlainText(), kQrText);
        QCOMPARE(form->Image1->Picture().size(), LoadSample(QStringLiteral("qr_code.png")).size());
    }

    // The message is the user's language's.
    void aDecoderThatStopsIsSaidInTheUsersLanguage()
    {
        const TDecoderFaults faults;
        WriteGermanLanguage(QByteArray("{") + kDecoderStoppedText
                            + "}Das Bild konnte nicht gelesen werden: der Decoder hat aufgeh\xC3\xB6rt.\r\n");
        uiLanguage = [] { return quint16(1031); };
        auto form = MakeForm();
        form->OpenPictureFile(SavePicture(QStringLiteral("fault.png"), FaultPicture(QStringLiteral("abort"))));
        QCOMPARE(errors,
                 QStringList{QStringLiteral("Das Bild konnte nicht gelesen werden: der Decoder hat aufgeh\u00F6rt.")});
    }

    void pasteOfTextThatIsNoPicture()
    {
        QFETCH(QString, text);
        auto form = MakeForm();
        PickCode128(*form);
        const QByteArray settingsBefore = ReadSettings();
        if (text.isEmpty())
            QGuiApplication::clipboard()->clear();
        else
            QGuiApplication::clipboard()->setText(text);
        form->Paste1->trigger();
        QCOMPARE(errors, QStringList{QStringLiteral("The clipboard holds no picture and no picture file.")});
        QCOMPARE(form->Edit1->text(), kSamples + QStringLiteral("/code_128.png"));
        QCOMPARE(form->Memo1->toPlainText(), QStringLiteral("LANTRIX-128-Sample"));
        QCOMPARE(ReadSettings(), settingsBefore);
    }

    // Ctrl+V belongs to the "Image File" tab: on the webcam tab it does nothing.
    void pasteOnTheWebcamTab()
    {
        auto form = MakeForm();
        form->PageControl1->blockSignals(true); // no camera search
        form->PageControl1->setCurrentIndex(1);
        form->PageControl1->blockSignals(false);
        QGuiApplication::clipboard()->setImage(LoadSample(QStringLiteral("qr_code.png")));
        form->Paste1->trigger();
        QVERIFY(errors.isEmpty());
        QCOMPARE(form->PageControl1->currentIndex(), 1);
        QCOMPARE(form->Edit1->text(), QStringLiteral("[None]"));
        QVERIFY(form->Image1->Picture().isNull());
    }

    // ---- Shortcuts -------------------------------------------------------

    void ctrlOOpensTheDialog()
    {
        auto form = MakeForm();
        QVERIFY(ActivateWindow(form.get()));
        answers = {kQrPicture};
        QTest::keyClick(form->Edit1, Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(dialogFolders.size(), 1);
        QCOMPARE(form->Memo1->toPlainText(), kQrText);
    }

    void ctrlQExits()
    {
        auto form = MakeForm();
        QVERIFY(ActivateWindow(form.get()));
        QSignalSpy exit(form->Exit1, &QAction::triggered);
        QTest::keyClick(form->Edit1, Qt::Key_Q, Qt::ControlModifier);
        QCOMPARE(exit.size(), 1);
    }

    // The entry this program adds to the File menu stays English among its
    // English neighbours, even where a language file translates it; the text
    // shown in place of a picture's path speaks the user's language.
    void scanScreenStaysEnglish()
    {
        WriteGermanLanguage(
            "{Scan Screen...}Bildschirm lesen...\r\n{[Picture from the clipboard]}[Bild aus der Zwischenablage]\r\n");
        uiLanguage = [] { return quint16(1031); };
        TAppForm form(Environment());
        QVERIFY(errors.isEmpty());
        QCOMPARE(form.ScanScreen1->text(), QStringLiteral("&Scan Screen..."));
        QGuiApplication::clipboard()->setImage(LoadSample(QStringLiteral("qr_code.png")));
        form.Paste1->trigger();
        QCOMPARE(form.Edit1->text(), QStringLiteral("[Bild aus der Zwischenablage]"));
    }
};

// The test starts as the program would be started by a desktop that adds
// Qt's options: they come first, the picture after them.
int main(int argc, char** argv)
{
    static const QByteArray picture = kQrPicture.toLocal8Bit();
    std::vector<char*> appArgs = {argv[0],
                                  const_cast<char*>("-platform"),
                                  const_cast<char*>("offscreen"),
                                  const_cast<char*>("-style"),
                                  const_cast<char*>("Fusion"),
                                  const_cast<char*>("-qwindowtitle"),
                                  const_cast<char*>("Lantrix"),
                                  const_cast<char*>(picture.constData()),
                                  nullptr};
    int appArgc = int(appArgs.size()) - 1;
    QApplication application(appArgc, appArgs.data());
    ImageInputTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_image_input.moc"
