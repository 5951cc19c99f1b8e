// The main window driven offscreen: start-up state, the code-format menu, and
// image-file scanning with the open dialog answered by the test.
#include "about/widgets/AboutBox.h"
#include "app/AccessKeys.h"
#include "app/AppState.h"
#include "app/widgets/AppForm.h"
#include "localization/LanguageFiles.h"
#include "online/widgets/FeedbackForm.h"
#include "platform/SettingsStore.h"
#include "support/KeyboardFocus.h"
#include "support/MainWindowFixture.h"
#include "support/ModalAnswers.h"
#include "support/PictureFiles.h"
#include "support/Samples.h"

#include <QAction>
#include <QBuffer>
#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <memory>

namespace {
const QString kSamples = QStringLiteral(LANTRIX_SOURCE_DIR "/samples");
const QString kQrText = QStringLiteral("https://lantrix.invalid/hello?from=qr");
const QColor kLime(0, 255, 0);
const QColor kRed(255, 0, 0);
} // namespace

// Receives the addresses that the window asks the desktop to open.
class TUrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};

class MainWindowTest : public QObject, TMainWindowFixture {
    Q_OBJECT

    QString SaveBlankPicture(const QString& name)
    {
        QImage blank(200, 150, QImage::Format_RGB32);
        blank.fill(Qt::white);
        return SavePicture(name, blank);
    }

private slots:
    void init() { Init(); }
    void cleanup() { Cleanup(); }

    void stateAfterStart()
    {
        auto form = MakeForm();
        QVERIFY(errors.isEmpty());
        QCOMPARE(form->windowTitle(), QStringLiteral("DASTREL - Lantrix"));
        QCOMPARE(form->State().AppCaption, QStringLiteral("DASTREL - Lantrix"));
        QCOMPARE(form->State().AppVersion, QStringLiteral("1.2"));
        QCOMPARE(form->State().DataFolder, exeFolder + QLatin1Char('/'));
        QVERIFY(!QFile::exists(SettingsFile())); // nothing written before a picture is opened

        QCOMPARE(form->PageControl1->currentIndex(), 0);
        QCOMPARE(form->PageControl1->tabText(0), QStringLiteral("Image File"));
        QCOMPARE(form->PageControl1->tabText(1), QStringLiteral("Webcam"));
        QCOMPARE(form->PageControl1->tabText(2), QStringLiteral("History"));
        QCOMPARE(form->PageControl1->count(), 3);
        QVERIFY(!form->PageControl1->tabIcon(0).isNull());
        QVERIFY(!form->PageControl1->tabIcon(1).isNull());
        QVERIFY(!form->PageControl1->tabIcon(2).isNull());
        QCOMPARE(form->Edit1->text(), QStringLiteral("[None]"));
        QVERIFY(form->Edit1->isReadOnly());
        QCOMPARE(form->ButtonBrowse->text(), QStringLiteral("Browse..."));
        QCOMPARE(form->ButtonBrowse->size(), QSize(100, 29));
        QCOMPARE(form->Button1->text(), QStringLiteral("Start"));
        QCOMPARE(form->ComboBox1->count(), 0);
        QVERIFY(!form->Memo1->isVisible());
        QVERIFY(!form->Memo2->isVisible());
        QVERIFY(form->Memo1->isReadOnly());
        QCOMPARE(PaneColour(form->Memo1), kLime);
        QCOMPARE(PaneColour(form->Memo2), kLime);
        QCOMPARE(form->StatusBar1->text(), QStringLiteral("Code Format: Auto"));
        QVERIFY(form->TimerChecker->isActive());
        QCOMPARE(form->TimerChecker->interval(), 1000);

        QVERIFY(form->UpdateNotifications1->isChecked());
        QVERIFY(!form->UpdateNotifications1->isEnabled());
        QVERIFY(!form->Language1->isVisible());
        QAction* autoEntry = form->CodeFormatEntry(QStringLiteral("Auto"));
        QVERIFY(autoEntry->isChecked());
        QVERIFY(autoEntry->font().bold());
        QCOMPARE(form->centralWidget()->size(), QSize(672, 563 - form->statusBar()->height()));
    }

    void menus()
    {
        auto form = MakeForm();
        QStringList layout;
        for (QAction* menu : form->menuBar()->actions()) {
            layout << WithoutAccessKey(menu->text());
            for (QAction* entry : menu->menu()->actions())
                layout << QStringLiteral("  ")
                              + (entry->isSeparator() ? QStringLiteral("-") : WithoutAccessKey(entry->text()));
        }
        QCOMPARE(layout, (QStringList{"File",
                                      "  Load Image File...",
                                      "  Scan Screen...",
                                      "  -",
                                      "  Exit",
                                      "Settings",
                                      "  Code Format",
                                      "  Read Inverted Codes",
                                      "  Read Every Format",
                                      "  Try Harder",
                                      "  -",
                                      "  Keep History",
                                      "  -",
                                      "  Reset to Defaults",
                                      "Help",
                                      "  Online Help",
                                      "  -",
                                      "  Update Notifications",
                                      "  -",
                                      "  Language...",
                                      "  Send Feedback...",
                                      "  About..."}));
        QStringList formats;
        for (QAction* entry : form->CodeFormat1->actions())
            formats << WithoutAccessKey(entry->text());
        QCOMPARE(
            formats,
            (QStringList{"Auto",         "AZTEC",  "CODABAR", "CODE_39",           "CODE_93", "CODE_128", "DATA_MATRIX",
                         "EAN_8",        "EAN_13", "ITF",     "MAXICODE",          "PDF_417", "QR_CODE",  "RSS_14",
                         "RSS_EXPANDED", "UPC_A",  "UPC_E",   "UPC_EAN_EXTENSION", "MSI",     "PLESSEY"}));
        QCOMPARE(form->Help2->shortcut(), QKeySequence(Qt::Key_F1));
        QCOMPARE(form->LoadImageFile1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
        QCOMPARE(form->Exit1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
        QStringList popup;
        for (QAction* entry : form->PopupMenu1->actions())
            popup << WithoutAccessKey(entry->text());
        QCOMPARE(popup, (QStringList{"Copy", "Select All"}));
    }

    // Every menu and entry carries an access key, the explicit ones kept, and
    // the keys of one menu differ.
    void accessKeys()
    {
        auto form = MakeForm();
        QStringList bar, file, settings, help, popup;
        for (QAction* menu : form->menuBar()->actions())
            bar << menu->text();
        for (auto [list, menu] :
             {std::pair{&file, form->menuBar()->actions()[0]->menu()},
              std::pair{&settings, form->menuBar()->actions()[1]->menu()},
              std::pair{&help, form->menuBar()->actions()[2]->menu()}, std::pair{&popup, form->PopupMenu1}})
            for (QAction* entry : menu->actions())
                if (!entry->isSeparator())
                    *list << entry->text();
        QCOMPARE(bar, (QStringList{"&File", "&Settings", "&Help"}));
        QCOMPARE(file, (QStringList{"&Load Image File...", "&Scan Screen...", "&Exit"}));
        QCOMPARE(settings, (QStringList{"&Code Format", "R&ead Inverted Codes", "Re&ad Every Format", "&Try Harder",
                                        "&Keep History", "&Reset to Defaults"}));
        QCOMPARE(help, (QStringList{"&Online Help", "&Update Notifications", "&Language...", "Send &Feedback...",
                                    "&About..."}));
        QCOMPARE(popup, (QStringList{"&Copy", "&Select All"}));
        QCOMPARE(form->CodeFormat1->actions()[0]->text(), QStringLiteral("&Auto"));
        QCOMPARE(form->CodeFormatEntry(QStringLiteral("QR_CODE"))->text(), QStringLiteral("&QR_CODE"));
    }

    // A keyboard-only user reaches every menu: Alt and the menu's letter, or
    // F10 for the first; then the entries' letters.
    void keyboardRoadIntoTheMenus_data()
    {
        QTest::addColumn<QKeyCombination>("opener");
        QTest::addColumn<QString>("menu");
        QTest::newRow("Alt+F") << QKeyCombination(Qt::AltModifier, Qt::Key_F) << "File";
        QTest::newRow("F10") << QKeyCombination(Qt::NoModifier, Qt::Key_F10) << "File";
        QTest::newRow("Alt+S") << QKeyCombination(Qt::AltModifier, Qt::Key_S) << "Settings";
        QTest::newRow("Alt+H") << QKeyCombination(Qt::AltModifier, Qt::Key_H) << "Help";
    }

    void keyboardRoadIntoTheMenus()
    {
        QFETCH(QKeyCombination, opener);
        QFETCH(QString, menu);
        auto form = MakeForm();
        QVERIFY(ActivateWindow(form.get()));
        QTest::keyClick(form->Edit1, opener.key(), opener.keyboardModifiers());
        QTRY_VERIFY(QApplication::activePopupWidget());
        auto* open = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(open);
        QCOMPARE(WithoutAccessKey(open->title()), menu);
        QTest::keyClick(open, Qt::Key_Escape);
        QTRY_VERIFY(!QApplication::activePopupWidget());
    }

    void keyboardChoosesACodeFormat()
    {
        auto form = MakeForm();
        QVERIFY(ActivateWindow(form.get()));
        QTest::keyClick(form->Edit1, Qt::Key_S, Qt::AltModifier);
        QTRY_VERIFY(QApplication::activePopupWidget());
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_C); // Code Format
        QTRY_COMPARE(QApplication::activePopupWidget(), static_cast<QWidget*>(form->CodeFormat1));
        QTest::keyClick(form->CodeFormat1, Qt::Key_Q); // QR_CODE
        QTRY_VERIFY(!QApplication::activePopupWidget());
        QCOMPARE(form->State().SelectedCodeFormat(), TBarcodeFormat::QR_CODE);
        QCOMPARE(form->StatusBar1->text(), QStringLiteral("Code Format: QR_CODE"));
    }

    void windowIconIsOurs()
    {
        auto form = MakeForm();
        const QIcon icon = form->windowIcon();
        QVERIFY(!icon.isNull());
        for (const int size : {16, 32, 48, 256}) {
            const QImage picture = icon.pixmap(size, size).toImage();
            QCOMPARE(picture.size(), QSize(size, size));
            // Our picture: the frame's colour in the middle of the left edge, and
            // the corners outside the rounded frame transparent.
            QCOMPARE(picture.pixelColor(0, 0).alpha(), 0);
            QVERIFY(picture.pixelColor(size / 16, size / 2 + size / 8).blue() > 100);
        }
    }

    void codeFormat_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<uint>("value");
        QTest::newRow("QR_CODE") << "QRCODE1"
                                 << "QR_CODE" << 2048u;
        QTest::newRow("AZTEC") << "AZTEC1"
                               << "AZTEC" << 1u;
        QTest::newRow("CODE_128") << "CODE1281"
                                  << "CODE_128" << 16u;
        QTest::newRow("UPC_EAN_EXTENSION") << "UPCEANEXTENSION1"
                                           << "UPC_EAN_EXTENSION" << 65536u;
        QTest::newRow("PLESSEY") << "PLESSEY1"
                                 << "PLESSEY" << 262144u;
        QTest::newRow("access key inserted") << "DATAMATRIX1"
                                             << "&DATA_MATRIX" << 32u;
        QTest::newRow("Auto again") << "Auto1"
                                    << "Auto" << 0u;
    }

    void codeFormat()
    {
        QFETCH(QString, entry);
        QFETCH(QString, caption);
        QFETCH(uint, value);
        auto form = MakeForm();
        form->CodeFormatEntry(QStringLiteral("EAN_8"))->trigger(); // start from another entry
        QAction* action = form->findChild<QAction*>(entry);
        QVERIFY(action);
        action->setText(caption); // the menu may carry an access key in the caption
        action->trigger();
        QCOMPARE(static_cast<uint>(form->State().SelectedCodeFormat()), value);
        QCOMPARE(form->StatusBar1->text(), QStringLiteral("Code Format: ") + QString(caption).remove('&'));
        for (QAction* other : form->CodeFormat1->actions())
            QCOMPARE(other->isChecked(), other == action);
        action->trigger(); // choosing the checked entry again changes nothing
        QVERIFY(action->isChecked());
        QCOMPARE(static_cast<uint>(form->State().SelectedCodeFormat()), value);
    }

    void pickThatDecodes()
    {
        auto form = MakeForm();
        answers = {kSamples + QStringLiteral("/qr_code.png")};
        QTest::mouseClick(form->ButtonBrowse, Qt::LeftButton);
        QVERIFY(errors.isEmpty());
        QCOMPARE(dialogFolders, QStringList{exeFolder + QStringLiteral("/samples")}); // the shipped samples first
        QCOMPARE(form->Edit1->text(), kSamples + QStringLiteral("/qr_code.png"));
        QVERIFY(!form->Image1->Picture().isNull());
        QVERIFY(form->Memo1->isVisible());
        QCOMPARE(form->Memo1->toPlainText(), kQrText);
        QCOMPARE(PaneColour(form->Memo1), kLime);
        QCOMPARE(ReadSettings(),
                 QByteArray("\xEF\xBB\xBF[Settings]\r\nInitialDir=") + kSamples.toUtf8() + QByteArray("\r\n\r\n"));

        // The next run starts where this one left off.
        form.reset();
        auto next = MakeForm();
        QTest::mouseClick(next->ButtonBrowse, Qt::LeftButton); // cancelled
        QCOMPARE(dialogFolders.last(), kSamples);
    }

    void pickWithoutCodeThenWithCode()
    {
        auto form = MakeForm();
        answers = {SaveBlankPicture(QStringLiteral("blank.png")), kSamples + QStringLiteral("/ean_13.png")};
        form->ButtonBrowse->click();
        QVERIFY(form->Memo1->isVisible());
        QCOMPARE(form->Memo1->toPlainText(), QStringLiteral("Unreadable!"));
        QCOMPARE(PaneColour(form->Memo1), kRed);
        QVERIFY(ReadSettings().contains(root->path().toUtf8()));

        form->LoadImageFile1->trigger(); // the menu entry runs the same operation
        QCOMPARE(form->Memo1->toPlainText(), QStringLiteral("4006381333931"));
        QCOMPARE(PaneColour(form->Memo1), kLime);
        QVERIFY(errors.isEmpty());
    }

    void selectedFormatApplies()
    {
        auto form = MakeForm();
        form->CodeFormatEntry(QStringLiteral("EAN_13"))->trigger();
        answers = {kSamples + QStringLiteral("/qr_code.png")};
        form->ButtonBrowse->click();
        QCOMPARE(form->Memo1->toPlainText(), QStringLiteral("Unreadable!"));
        form->CodeFormatEntry(QStringLiteral("AZTEC"))->trigger();           // no reader: decodes as Auto
        QCOMPARE(form->Memo1->toPlainText(), QStringLiteral("Unreadable!")); // nothing decoded again
        answers = {kSamples + QStringLiteral("/qr_code.png")};
        form->ButtonBrowse->click();
        QCOMPARE(form->Memo1->toPlainText(), kQrText);

        // An EAN-13 code is no UPC-A code.
        form->CodeFormatEntry(QStringLiteral("UPC_A"))->trigger();
        answers = {kSamples + QStringLiteral("/ean_13.png")};
        form->ButtonBrowse->click();
        QCOMPARE(form->Memo1->toPlainText(), QStringLiteral("Unreadable!"));
        QCOMPARE(PaneColour(form->Memo1), kRed);
    }

    void cancelledPickChangesNothing()
    {
        auto form = MakeForm();
        answers = {std::nullopt};
        form->ButtonBrowse->click();
        QCOMPARE(form->Edit1->text(), QStringLiteral("[None]"));
        QVERIFY(form->Image1->Picture().isNull());
        QVERIFY(!form->Memo1->isVisible());
        QVERIFY(!QFile::exists(SettingsFile()));
        QVERIFY(errors.isEmpty());
    }

    void pictureThatCannotBeLoaded_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown extension")
            << "notes.xyz" << QByteArray("hello") << "Unknown picture file extension (.xyz)";
        QTest::newRow("no extension") << "README" << QByteArray("hello") << "Unsupported image format";
        QTest::newRow("damaged png") << "broken.png" << QByteArray("\x89PNG\r\n\x1a\nnot really") << "";
        QTest::newRow("empty jpeg") << "empty.jpg" << QByteArray() << "";
    }

    void pictureThatCannotBeLoaded()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        auto form = MakeForm();
        answers = {kSamples + QStringLiteral("/code_128.png"), WriteFile(name, bytes)};
        form->ButtonBrowse->click();
        const QImage before = form->Image1->Picture();
        const QByteArray settingsBefore = ReadSettings();

        form->ButtonBrowse->click();
        QCOMPARE(errors.size(), 1);
        if (!message.isEmpty())
            QCOMPARE(errors.first(), message);
        else
            QVERIFY(!errors.first().isEmpty());
        QCOMPARE(form->Edit1->text(), root->filePath(name)); // the path is shown already
        QCOMPARE(form->Image1->Picture(), before);
        QCOMPARE(form->Memo1->toPlainText(), QStringLiteral("LANTRIX-128-Sample"));
        QCOMPARE(PaneColour(form->Memo1), kLime);
        QCOMPARE(ReadSettings(), settingsBefore);
    }

    // The picture's type comes from its content, whatever its name says;
    // a photo stored sideways is shown and read upright.
    void pictureReadByItsContent_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("shown");
        QTest::addColumn<QString>("text");
        const QImage qr = LoadSample(QStringLiteral("qr_code.png"));
        const QImage ean = LoadSample(QStringLiteral("ean_13.png"));
        const auto encoded = [](const QImage& picture, const char* format) {
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            picture.save(&buffer, format);
            return bytes;
        };
        QTest::newRow("jfif") << "code.jfif" << encoded(qr, "JPG") << qr.size() << kQrText;
        QTest::newRow("jpe") << "code.jpe" << encoded(qr, "JPG") << qr.size() << kQrText;
        QTest::newRow("dib") << "code.dib" << encoded(qr, "BMP") << qr.size() << kQrText;
        QTest::newRow("svg.gz") << "code.svg.gz" << Gzip(SvgDrawing(qr)) << qr.size() << kQrText;
        QTest::newRow("no extension") << "download" << encoded(qr, "PNG") << qr.size() << kQrText;
        QTest::newRow("wrong extension") << "code.gif" << encoded(qr, "PNG") << qr.size() << kQrText;
        QTest::newRow("sideways photo") << "IMG_2041.jpg" << SidewaysJpeg(ean, 6) << ean.size()
                                        << QStringLiteral("4006381333931");
        QTest::newRow("sideways photo, other way")
            << "IMG_2042.jpg" << SidewaysJpeg(ean, 8) << ean.size() << QStringLiteral("4006381333931");
    }

    void pictureReadByItsContent()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, shown);
        QFETCH(QString, text);
        auto form = MakeForm();
        answers = {WriteFile(name, bytes)};
        form->ButtonBrowse->click();
        QCOMPARE(errors, QStringList());
        QCOMPARE(form->Image1->Picture().size(), shown);
        QCOMPARE(form->Memo1->toPlainText(), text);
        QCOMPARE(PaneColour(form->Memo1), kLime);
    }

    // A file that cannot be opened: the message names it and says what
    // happened, in the system's words.
    void fileThatCannotBeOpened_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("error");
        QTest::newRow("folder") << "folder" << EISDIR;
        QTest::newRow("folder named like a picture") << "folder.png" << EISDIR;
        QTest::newRow("link loop") << "loop" << ELOOP;
        QTest::newRow("gone") << "gone" << ENOENT;
    }

    void fileThatCannotBeOpened()
    {
        QFETCH(QString, kind);
        QFETCH(int, error);
        const QString path = root->filePath(QStringLiteral("picked.png"));
        if (kind.startsWith(QLatin1String("folder")))
            QVERIFY(QDir(root->path()).mkdir(QStringLiteral("picked.png")));
        else if (kind == QLatin1String("loop"))
            QVERIFY(QFile::link(QStringLiteral("picked.png"), path));
        auto form = MakeForm();
        answers = {kSamples + QStringLiteral("/code_128.png"), path};
        form->ButtonBrowse->click();
        form->ButtonBrowse->click();
        QCOMPARE(
            errors,
            QStringList{
                QStringLiteral("Cannot open file \"%1\". %2").arg(path, QString::fromLocal8Bit(std::strerror(error)))});
        QCOMPARE(form->Edit1->text(), path);
        QCOMPARE(form->Memo1->toPlainText(), QStringLiteral("LANTRIX-128-Sample"));
    }

    void hugePictureIsRefused_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("bitDepth");
        QTest::addColumn<int>("colourType");
        // 30000 x 30000 pixels: more pixels than the loader takes.
        QTest::newRow("30000 x 30000 1-bit") << 30000 << 1 << 0;
        // Fewer pixels than that, but 8 bytes a pixel: more bytes than the loader takes.
        QTest::newRow("6000 x 6000 16-bit RGBA") << 6000 << 16 << 6;
    }

    void hugePictureIsRefused()
    {
        QFETCH(int, size);
        QFETCH(int, bitDepth);
        QFETCH(int, colourType);
        const QString path = root->filePath(QStringLiteral("bomb.png"));
        QVERIFY(WriteZeroPng(path, size, size, bitDepth, colourType));
        auto form = MakeForm();
        answers = {path};
        form->ButtonBrowse->click();
        QCOMPARE(errors.size(), 1);
        QCOMPARE(errors.first(), QStringLiteral("The picture is too large to open (%1 x %1 pixels).").arg(size));
        QVERIFY(form->Image1->Picture().isNull());
    }

    void invalidSettingsFileIsReplacedSilently()
    {
        QFile file(SettingsFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Settings]\r\nInitialDir=/caf\xE9\r\n");
        file.close();
        auto form = MakeForm();
        QVERIFY(errors.isEmpty());
        QVERIFY(!QFile::exists(SettingsFile()));
        form->ButtonBrowse->click(); // cancelled
        QCOMPARE(dialogFolders, QStringList{exeFolder + QStringLiteral("/samples")});
    }

    // The folder of a picked picture is remembered exactly, blanks at its ends
    // included, or, when its name holds a line break, not at all: the folder
    // remembered before stays, and the picture is decoded either way.
    void folderNamesAreRememberedFaithfullyOrNotAtAll_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("remembered");
        QTest::newRow("trailing blank") << "scans " << true;
        QTest::newRow("leading blank") << " scans" << true;
        QTest::newRow("in quotes") << "\"scans\"" << true;
        QTest::newRow("section injected") << "a\n[Evil]\nInitialDir=/etc" << false;
        QTest::newRow("cr lf") << "scans\r\nmore" << false;
    }

    void folderNamesAreRememberedFaithfullyOrNotAtAll()
    {
        QFETCH(QString, folder);
        QFETCH(bool, remembered);
        const QString earlier = root->filePath(QStringLiteral("earlier"));
        QVERIFY(QDir(root->path()).mkpath(QStringLiteral("earlier")));
        QVERIFY(QDir(root->path()).mkpath(folder));
        const QString picked = root->filePath(folder);
        QVERIFY(QFile::copy(kSamples + QStringLiteral("/qr_code.png"), picked + QStringLiteral("/qr.png")));
        QVERIFY(QFile::copy(kSamples + QStringLiteral("/qr_code.png"), earlier + QStringLiteral("/qr.png")));

        auto form = MakeForm();
        answers = {earlier + QStringLiteral("/qr.png"), picked + QStringLiteral("/qr.png")};
        form->ButtonBrowse->click();
        form->ButtonBrowse->click();
        QVERIFY(errors.isEmpty());
        QCOMPARE(form->Memo1->toPlainText(), kQrText);
        QVERIFY(!ReadSettings().contains("Evil"));

        form.reset();
        auto next = MakeForm();
        next->ButtonBrowse->click(); // cancelled
        QCOMPARE(dialogFolders.last(), remembered ? picked : earlier);
    }

    void missingRememberedFolderKeepsThePreviousOne()
    {
        auto form = MakeForm();
        QDir(root->path()).mkpath(QStringLiteral("gone"));
        const QString picture = root->filePath(QStringLiteral("gone/qr.png"));
        QFile::copy(kSamples + QStringLiteral("/qr_code.png"), picture);
        answers = {picture};
        form->ButtonBrowse->click();
        QVERIFY(QDir(root->filePath(QStringLiteral("gone"))).removeRecursively());
        form->ButtonBrowse->click(); // cancelled
        QCOMPARE(dialogFolders, (QStringList{exeFolder + "/samples", exeFolder + "/samples"}));
    }

    // The program's folder is not writable and neither is the user's
    // configuration folder (it lies under a plain file): the picture is still
    // decoded and shown, and the failed write is reported after that.
    void settingsThatCannotBeWritten()
    {
        QDir(exeFolder).removeRecursively(); // no writable program folder
        configFolder = WriteFile(QStringLiteral("not-a-folder"), "x") + QStringLiteral("/config");
        auto form = MakeForm();
        QVERIFY(errors.isEmpty());
        QCOMPARE(form->State().DataFolder, configFolder + QStringLiteral("/DASTREL/Lantrix/"));
        answers = {kSamples + QStringLiteral("/qr_code.png")};
        form->ButtonBrowse->click();
        QCOMPARE(form->Memo1->toPlainText(), kQrText);
        QCOMPARE(PaneColour(form->Memo1), kLime);
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.first().contains(QStringLiteral("settings.ini")), qPrintable(errors.first()));
    }

    void dataFolderOfTheUserWhenProgramFolderIsNotWritable()
    {
        QDir(exeFolder).removeRecursively();
        auto form = MakeForm();
        QCOMPARE(form->State().DataFolder, configFolder + QStringLiteral("/DASTREL/Lantrix/"));
        answers = {kSamples + QStringLiteral("/qr_code.png")};
        form->ButtonBrowse->click();
        QVERIFY(errors.isEmpty());
        QVERIFY(QFile::exists(configFolder + QStringLiteral("/DASTREL/Lantrix/settings.ini")));
    }

    void missingVersionBlockIsReported()
    {
        const QString program = WriteFile(QStringLiteral("no-block"), "not a program");
        TAppForm form(Environment([&](TAppEnvironment& environment) { environment.executableFile = program; }));
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.first().startsWith(QStringLiteral("System Error.  Code: ")), qPrintable(errors.first()));
        form.ButtonBrowse->click(); // still usable, and settings.ini is never touched
        QCOMPARE(errors.size(), 1);
    }

    void f1OpensTheOnlineHelp()
    {
        TUrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "open");
        auto form = MakeForm();
        QVERIFY(ActivateWindow(form.get()));
        QTest::keyClick(form->Edit1, Qt::Key_F1); // from any control of the window
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        QCOMPARE(catcher.urls.size(), 1);
        QCOMPARE(catcher.urls.first().toString(), QStringLiteral("http://" LANTRIX_WEB_HOST "/help/lantrix/"));
    }

    void copyAndSelectAll()
    {
        auto form = MakeForm();
        answers = {kSamples + QStringLiteral("/code_39.png")};
        form->ButtonBrowse->click();
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->setText(QStringLiteral("before"));
        form->Copy1->trigger(); // nothing selected
        QCOMPARE(clipboard->text(), QStringLiteral("before"));
        form->SelectAll1->trigger();
        form->Copy1->trigger();
        QCOMPARE(clipboard->text(), QStringLiteral("LANTRIX 39"));
    }

    void resizingKeepsTheLayout()
    {
        auto form = MakeForm();
        answers = {kSamples + QStringLiteral("/qr_code.png")};
        form->ButtonBrowse->click();
        for (const QSize size : {QSize(900, 760), QSize(500, 400)}) {
            form->resize(size);
            QCoreApplication::processEvents();
            QCOMPARE(form->Panel2->geometry().top(), 0);
            QCOMPARE(form->Panel2->width(), form->TabSheet1->width());
            // The sample holds a link, so the row of its actions sits under the pane, at the bottom.
            QVERIFY(!form->ActionRow1->isHidden());
            QCOMPARE(form->Memo1->geometry().bottom(), form->ActionRow1->geometry().top() - 1);
            QCOMPARE(form->ActionRow1->geometry().bottom(), form->TabSheet1->height() - 1);
            QCOMPARE(form->ActionRow1->width(), form->TabSheet1->width());
            QCOMPARE(form->Image1->geometry().top(), form->Panel2->geometry().bottom() + 1);
            QCOMPARE(form->Image1->geometry().bottom(), form->Memo1->geometry().top() - 1);
            QCOMPARE(form->statusBar()->geometry().bottom(), form->height() - 1);
            QVERIFY(form->statusBar()->geometry().top() > form->centralWidget()->geometry().bottom());
            // The picture keeps its proportions and starts in the top-left corner.
            const QRect drawn = form->Image1->TargetRect();
            QCOMPARE(drawn.topLeft(), QPoint(0, 0));
            QCOMPARE(drawn.width(), drawn.height()); // the QR sample is square
            QVERIFY(drawn.width() == form->Image1->width() || drawn.height() == form->Image1->height());
        }
    }

    // The language is loaded as the last step of start-up, from the table
    // and files shipped beside the program.
    void startsInTheUsersLanguage_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("yes");
        QTest::addColumn<QString>("loaded");
        QTest::newRow("German (Germany)") << 1031 << "Ja"
                                          << "German";
        QTest::newRow("German (Switzerland)") << 2055 << "Ja"
                                              << "German";
        QTest::newRow("French") << 1036 << "Oui"
                                << "French";
        QTest::newRow("English (US): no file") << 1033 << "Yes"
                                               << "";
        QTest::newRow("Klingon: no table row") << 0x0454 << "Yes"
                                               << "";
    }

    void startsInTheUsersLanguage()
    {
        QFETCH(int, language);
        QFETCH(QString, yes);
        QFETCH(QString, loaded);
        QVERIFY(QFile::link(QStringLiteral(LANTRIX_SOURCE_DIR "/Languages"), exeFolder + QStringLiteral("/Languages")));
        uiLanguage = [language] { return quint16(language); };
        auto form = MakeForm();
        QCOMPARE(CurrentLanguage, loaded);
        QCOMPARE(Translate(QStringLiteral("Yes")), yes);
        QVERIFY(errors.isEmpty());
    }

    // A language file that cannot be read is reported, and the program starts
    // in English all the same.
    void unreadableLanguageFileIsReported()
    {
        QDir(exeFolder).mkpath(QStringLiteral("Languages"));
        WriteFile(QStringLiteral("program/Languages/LanguageCodes.csv"), "1031,German.lang.txt\r\n");
        QVERIFY(
            QFile::link(QStringLiteral("/proc/self/mem"), exeFolder + QStringLiteral("/Languages/German.lang.txt")));
        uiLanguage = [] { return quint16(1031); };
        auto form = MakeForm();
        QCOMPARE(errors.size(), 1);
        QCOMPARE(Translate(QStringLiteral("Yes")), QStringLiteral("Yes"));
        answers = {kSamples + QStringLiteral("/qr_code.png")};
        form->ButtonBrowse->click(); // the window works
        QCOMPARE(form->Memo1->toPlainText(), kQrText);
    }

    // Reset to Defaults asks in the user's language; No changes nothing.
    void resetToDefaultsAnsweredNo()
    {
        QVERIFY(QFile::link(QStringLiteral(LANTRIX_SOURCE_DIR "/Languages"), exeFolder + QStringLiteral("/Languages")));
        uiLanguage = [] { return quint16(1031); };
        auto form = MakeForm();
        answers = {kSamples + QStringLiteral("/qr_code.png")};
        form->ButtonBrowse->click();
        const QByteArray before = ReadSettings();
        QVERIFY(!before.isEmpty());
        QString question;
        AnswerNextMessageBox([&question](QMessageBox* box) {
            question = box->text();
            MessageBoxButton(box, QStringLiteral("Nein"))->click();
        });
        form->ResettoDefaults1->trigger();
        QCOMPARE(question, Translate(QStringLiteral("Restart Application?")));
        QVERIFY(question != QStringLiteral("Restart Application?"));
        QCOMPARE(ReadSettings(), before);
        QVERIFY(form->isVisible());
    }

    // Help > About opens the About window as the current one, titled in the
    // user's language.
    void aboutOpensTheAboutWindow()
    {
        QVERIFY(QFile::link(QStringLiteral(LANTRIX_SOURCE_DIR "/Languages"), exeFolder + QStringLiteral("/Languages")));
        uiLanguage = [] { return quint16(1031); };
        auto form = MakeForm();
        QString title;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            if (AboutBox && AboutBox->isVisible()) {
                title = AboutBox->windowTitle();
                AboutBox->reject();
            }
        });
        poll.start(10);
        form->About1->trigger();
        QCOMPARE(title, Translate(QStringLiteral("About %s")).replace(QStringLiteral("%s"), QStringLiteral("Lantrix")));
        QVERIFY(!AboutBox);
    }

    // Help > Send Feedback opens a new, empty feedback window as the current
    // one, modally; Escape closes and destroys it, and the next one starts
    // empty again.
    void sendFeedbackOpensTheFeedbackWindow()
    {
        auto form = MakeForm();
        QStringList seen;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            if (!FeedbackForm || !FeedbackForm->isVisible() || QApplication::activeModalWidget() != FeedbackForm)
                return;
            seen << FeedbackForm->windowTitle() + "|" + FeedbackForm->Memo1->toPlainText() + "|"
                        + (FeedbackForm->Panel4->IsChosen() || FeedbackForm->Panel5->IsChosen() ? "chosen" : "none");
            FeedbackForm->Memo1->setPlainText(QStringLiteral("left behind"));
            FeedbackForm->Image1Click();
            QTest::keyClick(FeedbackForm->Memo1, Qt::Key_Escape);
        });
        poll.start(10);
        form->SendFeedback1->trigger();
        QVERIFY(!FeedbackForm);
        form->SendFeedback1->trigger();
        QVERIFY(!FeedbackForm);
        QCOMPARE(seen, QStringList(2, QStringLiteral("Lantrix feedback||none")));
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_main_window.moc"
