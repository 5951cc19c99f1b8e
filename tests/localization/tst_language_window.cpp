// The language window opened directly (its menu entry is hidden): the list
// with flags, the selection, the translator lines, and OK with the restart
// question, SetLanguageFile and start.sh; the restart itself is a stand-in.
#include "localization/LanguageFiles.h"
#include "localization/LanguageWindow.h"
#include "localization/RestartScript.h"
#include "localization/widgets/LinkLabel.h"
#include "localization/widgets/TranslateForm.h"
#include "platform/WebHost.h"
#include "support/ModalAnswers.h"
#include "support/UrlCatcher.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "support/FifoGuard.h"
#include "support/KeyboardFocus.h"

#include <memory>

class LanguageWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> root;
    QString languages, dataFolder;
    QStringList calls;  // what the window asked of the program, in order
    QStringList errors; // texts given to the default error handler

    void Write(const QString& name, const QByteArray& bytes)
    {
        QFile file(languages + '/' + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    // Loads `preferred` ("" for none) from the test's language folder.
    void Load(const QString& preferred)
    {
        LoadLanguage(preferred, root->path(), [] { return quint16(0); });
    }

    std::unique_ptr<TTranslateForm> MakeForm()
    {
        TTranslateFormEnvironment environment;
        environment.dataFolder = dataFolder;
        environment.executableFile = QStringLiteral("/opt/Lantrix/bin/lantrix");
        environment.setLanguageFile = [this](const QString& file) { calls << "SetLanguageFile " + file; };
        environment.showError = [this](const QString& text) { errors << text; };
        environment.startRestartScript = [this](const QString& folder) {
            calls << "start " + folder + " " + (QFile::exists(RestartScriptPath(folder)) ? "written" : "missing");
        };
        environment.terminate = [this] { calls << "terminate"; };
        auto form = std::make_unique<TTranslateForm>(environment);
        form->show();
        return form;
    }

    static QStringList Entries(const TTranslateForm& form)
    {
        QStringList entries;
        for (int i = 0; i < form.ComboBox1->count(); ++i)
            entries << form.ComboBox1->itemText(i) + ":"
                           + form.ComboBox1->itemData(i, TLanguageComboBox::kFlagRole).toString();
        return entries;
    }

    static void Select(TTranslateForm& form, const QString& entry)
    {
        const int index = form.ComboBox1->findText(entry, Qt::MatchExactly | Qt::MatchCaseSensitive);
        QVERIFY(index >= 0);
        form.ComboBox1->setCurrentIndex(index);
    }

    static QByteArray ReadFile(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void init()
    {
        root = std::make_unique<QTemporaryDir>();
        languages = root->filePath("Languages");
        dataFolder = root->filePath("data");
        QDir().mkpath(languages);
        QDir().mkpath(dataFolder);
        calls.clear();
        errors.clear();
        Write("German.lang.txt", "\xEF\xBB\xBF{Language}Sprache\r\n{User Interface Language:}Oberfl\xC3\xA4"
                                 "che:\r\n"
                                 "{Translated by:}\xC3\x9C"
                                 "bersetzt von:\r\n{OK}Gut\r\n"
                                 "{Contribute to Translation}Mithelfen\r\n{Copy}Kopieren\r\n"
                                 "{Select All}Alles\r\n{INFO:Translated By}Anna Schmidt, Ben M\xC3\xBCller\r\n");
        Write("Turkish.lang.txt", "{Yes}Evet\r\n{INFO:Translated By}Ay\xC5\x9F"
                                  "e\r\n");
    }

    void cleanup()
    {
        ForgetMessageBoxAnswers();
        LanguageFolder.clear();
        LanguageFiles.clear();
        CurrentLanguage.clear();
        LanguageFilePath.clear();
        LanguageLines.clear();
        root.reset();
    }

    void listSelectionAndTexts()
    {
        Load("German.lang.txt");
        auto form = MakeForm();
        QCOMPARE(TranslateForm, nullptr); // only Execute makes a window the current one
        QCOMPARE(Entries(*form), (QStringList{"English:flag", "German:de", "Turkish:tr"}));
        QCOMPARE(form->ComboBox1->currentText(), QStringLiteral("German"));
        QCOMPARE(form->InitialLanguage, QStringLiteral("German"));
        QCOMPARE(form->RichEdit1->toPlainText(), QStringLiteral("Anna Schmidt\nBen Müller"));
        QCOMPARE(form->windowTitle(), QStringLiteral("Sprache"));
        QCOMPARE(form->Label1->text(), QStringLiteral("Oberfläche:"));
        QCOMPARE(form->Label2->text(), QStringLiteral("Übersetzt von:"));
        QCOMPARE(form->Button1->text(), QStringLiteral("Gut"));
        QCOMPARE(form->Label3->text(), QStringLiteral("Mithelfen"));
        QCOMPARE(form->Copy1->text(), QStringLiteral("Kopieren"));
        QCOMPARE(form->SelectAll1->text(), QStringLiteral("Alles"));
        QCOMPARE(form->Label1->textFormat(), Qt::PlainText);
        QCOMPARE(form->Label2->textFormat(), Qt::PlainText);
        QCOMPARE(form->Label3->textFormat(), Qt::PlainText);
        QVERIFY(form->RichEdit1->isReadOnly());
        QCOMPARE(form->RichEdit1->lineWrapMode(), QPlainTextEdit::NoWrap);
        QCOMPARE(form->size(), QSize(622, 227));
        QCOMPARE(form->ComboBox1->width(), 355);
        QCOMPARE(form->Button1->width(), 172);
        QCOMPARE(form->Label3->Address(), TranslationPageAddress(MakerWebHost()));
        QCOMPARE(form->Label3->toolTip(), TranslationPageAddress(MakerWebHost()).toString());
    }

    void everyFlagPictureLoads()
    {
        for (const QString& name : FlagImageNames())
            QVERIFY2(!FlagPicture(name).pixmap(16, 16).isNull(), qPrintable(name));
        QVERIFY(FlagPicture("no such flag").pixmap(16, 16).isNull());
    }

    void unknownLanguageGetsTheUnknownFlag()
    {
        Write("Klingon.lang.txt", "{Yes}HIja'\r\n");
        Load("");
        auto form = MakeForm();
        QCOMPARE(Entries(*form), (QStringList{"English:flag", "German:de", "Klingon:xx", "Turkish:tr"}));
    }

    void selectingShowsTheTranslators_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("shown");
        QTest::newRow("two names") << QByteArray("{INFO:Translated By}Anna Schmidt, Ben Keller\r\n")
                                   << "Anna Schmidt\nBen Keller";
        QTest::newRow("empty piece") << QByteArray("{INFO:Translated By}A,,B\r\n") << "A\n\nB";
        QTest::newRow("trailing comma") << QByteArray("{INFO:Translated By}A, B,\r\n") << "A\nB";
        QTest::newRow("no entry") << QByteArray("{Yes}Ja\r\n") << "INFO:Translated By";
        QTest::newRow("empty entry") << QByteArray("{INFO:Translated By}\r\n") << "";
        QTest::newRow("rich text stays text")
            << QByteArray("{INFO:Translated By}<b>Anna</b>, <a href=x>Ben</a>\r\n") << "<b>Anna</b>\n<a href=x>Ben</a>";
    }

    void selectingShowsTheTranslators()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, shown);
        Write("Dutch.lang.txt", file);
        Load("");
        auto form = MakeForm();
        Select(*form, "Dutch");
        QCOMPARE(form->RichEdit1->toPlainText(), shown);
        Select(*form, "English");
        QCOMPARE(form->RichEdit1->toPlainText(), QStringLiteral("Dastrel"));
    }

    void englishNeedsNoFile()
    {
        Write("English.lang.txt", "{INFO:Translated By}Somebody Else\r\n");
        Load("");
        auto form = MakeForm();
        QCOMPARE(form->ComboBox1->currentIndex(), 0);
        QCOMPARE(form->RichEdit1->toPlainText(), QStringLiteral("Dastrel"));
    }

    void unreadableFileLeavesTheBoxEmpty()
    {
        QVERIFY(QFile::link("/proc/self/mem", languages + "/Russian.lang.txt"));
        Load("");
        auto form = MakeForm();
        Select(*form, "Russian");
        QCOMPARE(form->RichEdit1->toPlainText(), QString());
        QVERIFY(errors.isEmpty());
    }

    // A language file that is a FIFO, or one far too large: the window stays
    // responsive (the FIFO's watchdog ends a wait that would hang it), lists
    // no FIFO found at start-up, and shows no translators for either.
    void fileThatCannotBeALanguage_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("listed");
        QTest::newRow("FIFO at start-up") << "fifo before" << false;
        QTest::newRow("FIFO since start-up") << "fifo after" << true;
        QTest::newRow("too large") << "too large" << true;
    }

    void fileThatCannotBeALanguage()
    {
        QFETCH(QString, kind);
        QFETCH(bool, listed);
        const QString path = languages + "/Russian.lang.txt";
        std::unique_ptr<TFifoGuard> fifo;
        if (kind == "fifo before")
            fifo = std::make_unique<TFifoGuard>(path);
        else
            Write("Russian.lang.txt", "{INFO:Translated By}Ivan\r\n");
        if (kind == "too large")
            QVERIFY(QFile::resize(path, 17 * 1024 * 1024));
        Load("German.lang.txt");
        if (kind == "fifo after") {
            QVERIFY(QFile::remove(path));
            fifo = std::make_unique<TFifoGuard>(path);
        }
        QVERIFY(!fifo || fifo->Made());
        auto form = MakeForm();
        QCOMPARE(form->ComboBox1->findText("Russian") >= 0, listed);
        if (listed) {
            Select(*form, "Russian");
            QCOMPARE(form->RichEdit1->toPlainText(), QString());
        }
        Select(*form, "Turkish"); // and the window goes on working
        QCOMPARE(form->RichEdit1->toPlainText(), QString::fromUtf8("Ay\xC5\x9F"
                                                                   "e"));
        QVERIFY(errors.isEmpty());
        if (fifo) {
            fifo->Done();
            QVERIFY2(!fifo->Rescued(), "the window waited for the FIFO's writer");
        }
    }

    void noLanguageLoadedSelectsEnglish()
    {
        Load("");
        auto form = MakeForm();
        QCOMPARE(form->ComboBox1->currentText(), QStringLiteral("English"));
        QCOMPARE(form->InitialLanguage, QStringLiteral("English"));
        QCOMPARE(form->windowTitle(), QStringLiteral("Language"));
        QCOMPARE(form->Button1->text(), QStringLiteral("OK"));
    }

    void okWithoutAChangeJustCloses()
    {
        Load("German.lang.txt");
        auto form = MakeForm();
        bool asked = false;
        AnswerNextMessageBox([&asked](QMessageBox* box) {
            asked = true;
            box->close();
        });
        QTest::mouseClick(form->Button1, Qt::LeftButton);
        QVERIFY(!form->isVisible());
        QCoreApplication::processEvents();
        QVERIFY(!asked);
        QVERIFY(calls.isEmpty());
        QVERIFY(!QFile::exists(RestartScriptPath(dataFolder)));
    }

    void answeredNoKeepsTheWindowOpen_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::newRow("no") << "No";
        QTest::newRow("closed") << "";
    }

    void answeredNoKeepsTheWindowOpen()
    {
        QFETCH(QString, answer);
        Load("");
        auto form = MakeForm();
        Select(*form, "Turkish");
        AnswerNextMessageBox([answer](QMessageBox* box) {
            if (answer.isEmpty())
                box->close();
            else
                MessageBoxButton(box, answer)->click();
        });
        QTest::mouseClick(form->Button1, Qt::LeftButton);
        QVERIFY(form->isVisible());
        QVERIFY(calls.isEmpty());
        QVERIFY(!QFile::exists(RestartScriptPath(dataFolder)));
    }

    void answeredYesRestarts()
    {
        Load("German.lang.txt");
        auto form = MakeForm();
        Select(*form, "Turkish");
        QString question;
        AnswerNextMessageBox([&question](QMessageBox* box) {
            question = box->windowTitle() + "|" + box->text();
            box->button(QMessageBox::Yes)->click();
        });
        QTest::mouseClick(form->Button1, Qt::LeftButton);
        QCOMPARE(question, QStringLiteral("Confirmation|Restart Application?")); // German file has no entries for them
        QCOMPARE(calls,
                 (QStringList{"SetLanguageFile Turkish.lang.txt", "start " + dataFolder + " written", "terminate"}));
        QCOMPARE(ReadFile(RestartScriptPath(dataFolder)), RestartScriptText("/opt/Lantrix/bin/lantrix"));
        QVERIFY(errors.isEmpty());
    }

    // start.sh cannot be written: the error goes to the default error
    // handler, nothing starts and the window stays open.
    void scriptThatCannotBeWrittenIsReported()
    {
        QVERIFY(QDir(dataFolder).mkdir("start.sh"));
        Load("");
        auto form = MakeForm();
        Select(*form, "German");
        AnswerNextMessageBox([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
        QTest::mouseClick(form->Button1, Qt::LeftButton);
        QCOMPARE(calls, QStringList{"SetLanguageFile German.lang.txt"});
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].contains(dataFolder + "/start.sh"), qPrintable(errors[0]));
        QVERIFY(form->isVisible());
    }

    void popupCopiesAndSelects()
    {
        Load("German.lang.txt");
        auto form = MakeForm();
        QGuiApplication::clipboard()->setText("before");
        form->Copy1->trigger(); // nothing selected: the clipboard keeps its text
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
        form->SelectAll1->trigger();
        QCOMPARE(form->RichEdit1->textCursor().selectedText(),
                 QString("Anna Schmidt") + QChar::ParagraphSeparator + "Ben Müller");
        form->Copy1->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("Anna Schmidt\nBen Müller"));
        QCOMPARE(form->RichEdit1->contextMenuPolicy(), Qt::CustomContextMenu);
        QCOMPARE(form->PopupMenu1->actions(), (QList<QAction*>{form->Copy1, form->SelectAll1}));
    }

    void linkOpensTheTranslationPage()
    {
        TUrlCatcher catcher({"https"});
        Load("");
        auto form = MakeForm();
        QTest::mouseClick(form->Label3, Qt::LeftButton);
        QCOMPARE(catcher.urls, QList<QUrl>{TranslationPageAddress(MakerWebHost())});
    }

    // Every control that acts is reached with Tab, and shows that it has the
    // focus: the window looks different around it once the focus moves on.
    void everyControlByKeyboard_data()
    {
        QTest::addColumn<QString>("control");
        QTest::newRow("combo") << "ComboBox1";
        QTest::newRow("text box") << "RichEdit1";
        QTest::newRow("link") << "Label3";
        QTest::newRow("OK button") << "Button1";
    }

    void everyControlByKeyboard()
    {
        QFETCH(QString, control);
        Load("German.lang.txt");
        auto form = MakeForm();
        QVERIFY(ActivateWindow(form.get()));
        auto* widget = form->findChild<QWidget*>(control);
        QVERIFY(widget);
        QVERIFY2(TabUntilFocused(form.get(), widget) >= 0, "Tab does not reach it");
        const QImage focused = BandAround(form.get(), widget);
        QTest::keyClick(widget, Qt::Key_Tab);
        QVERIFY(!widget->hasFocus());
        QVERIFY2(BandAround(form.get(), widget) != focused, "the focus does not show");
    }

    void linkOpensByKeyboard_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Return") << int(Qt::Key_Return);
        QTest::newRow("Enter") << int(Qt::Key_Enter);
        QTest::newRow("Space") << int(Qt::Key_Space);
    }

    void linkOpensByKeyboard()
    {
        QFETCH(int, key);
        TUrlCatcher catcher({"https"});
        Load("");
        auto form = MakeForm();
        QVERIFY(ActivateWindow(form.get()));
        QVERIFY(TabUntilFocused(form.get(), form->Label3) >= 0);
        QTest::keyClick(form->Label3, Qt::Key(key));
        QCOMPARE(catcher.urls, QList<QUrl>{TranslationPageAddress(MakerWebHost())});
        QVERIFY(form->isVisible()); // the key opened the page, not the OK button
        QVERIFY(calls.isEmpty());
    }

    void escapeCloses_data()
    {
        QTest::addColumn<QString>("control");
        QTest::newRow("combo") << "ComboBox1";
        QTest::newRow("text box") << "RichEdit1";
        QTest::newRow("OK button") << "Button1";
    }

    void escapeCloses()
    {
        QFETCH(QString, control);
        Load("");
        auto form = MakeForm();
        auto* widget = form->findChild<QWidget*>(control);
        QVERIFY(widget);
        widget->setFocus();
        QTest::keyClick(widget, Qt::Key_Escape);
        QVERIFY(!form->isVisible());
        QVERIFY(calls.isEmpty());
    }

    void executeMakesTheWindowCurrent()
    {
        Load("");
        TTranslateForm* seen = nullptr;
        QTimer::singleShot(0, [&seen] {
            seen = TranslateForm;
            if (TranslateForm)
                TranslateForm->close();
        });
        TTranslateFormEnvironment environment;
        environment.dataFolder = dataFolder;
        TTranslateForm::Execute(environment, nullptr);
        QVERIFY(seen);
        QCOMPARE(TranslateForm, nullptr);
    }
};

QTEST_MAIN(LanguageWindowTest)
#include "tst_language_window.moc"
