// Qt's own texts in the interface language: the Open dialog, standard buttons
// and the context menu of a text field follow the language that start-up
// loaded, and stay English where none was loaded or its file was unreadable.
#include "localization/LanguageFiles.h"
#include "localization/QtTranslations.h"

#include <QAction>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <memory>

class QtTranslationsTest : public QObject {
    Q_OBJECT

    // What Qt's widgets show: the Open dialog's labels and buttons, a message
    // box's Cancel button and a text field's "Select All", without access keys.
    static QStringList QtTexts()
    {
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        QStringList texts;
        for (const QFileDialog::DialogLabel label : {QFileDialog::LookIn, QFileDialog::FileName, QFileDialog::FileType,
                                                     QFileDialog::Accept, QFileDialog::Reject})
            texts << dialog.labelText(label);
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Cancel);
        texts << box.button(QMessageBox::Cancel)->text();
        QLineEdit edit;
        std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
        texts << menu->actions().constLast()->text();
        for (QString& text : texts)
            text.remove(QLatin1Char('&')).remove(QRegularExpression(QStringLiteral("\\t.*$")));
        return texts;
    }

private slots:
    void cleanup()
    {
        LanguageFolder.clear();
        LanguageFiles.clear();
        CurrentLanguage.clear();
        LanguageFilePath.clear();
        LanguageLines.clear();
        InstallQtTranslations(); // nothing loaded: Qt's English again
    }

    void qtNames_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("name");
        QTest::newRow("German") << "German"
                                << "de";
        QTest::newRow("Brazilian Portuguese") << "PortugueseBrazil"
                                              << "pt_BR";
        QTest::newRow("Portuguese of Portugal") << "PortuguesePortugal"
                                                << "pt_PT";
        QTest::newRow("Simplified Chinese") << "ChineseSimplified"
                                            << "zh_CN";
        QTest::newRow("Greek") << "Greek"
                               << "el";
        QTest::newRow("English") << "English"
                                 << "";
        QTest::newRow("unknown") << "Klingon"
                                 << "";
        QTest::newRow("case matters") << "german"
                                      << "";
    }

    void qtNames()
    {
        QFETCH(QString, language);
        QFETCH(QString, name);
        QCOMPARE(QtLanguageName(language), name);
    }

    // Every shipped language has Qt's catalogue installed beside it.
    void everyShippedLanguageHasQtsCatalogue_data()
    {
        QTest::addColumn<QString>("language");
        for (const char* language : {"German", "French", "Spanish", "Italian", "PortugueseBrazil", "Turkish", "Polish",
                                     "Russian", "Dutch", "ChineseSimplified"})
            QTest::newRow(language) << QString::fromLatin1(language);
    }

    void everyShippedLanguageHasQtsCatalogue()
    {
        QFETCH(QString, language);
        const QStringList english = QtTexts();
        LoadLanguage(language + ".lang.txt", LANTRIX_BIN_DIR, [] { return quint16(0); });
        QCOMPARE(CurrentLanguage, language);
        QVERIFY(InstallQtTranslations());
        const QStringList translated = QtTexts();
        QCOMPARE(translated.size(), english.size());
        for (qsizetype i = 0; i < english.size(); ++i)
            QVERIFY2(translated[i] != english[i], qPrintable(language + ": " + english[i]));
    }

    void openDialogAndButtons_data()
    {
        QTest::addColumn<QString>("language"); // a shipped language file; empty: none
        QTest::addColumn<bool>("unreadable");  // the file could not be read at start-up
        QTest::addColumn<QStringList>("texts");
        const QStringList english{"Look in:", "File name:", "Files of type:", "Open", "Cancel", "Cancel", "Select All"};
        QTest::newRow("no language") << QString() << false << english;
        QTest::newRow("German") << "German.lang.txt" << false
                                << QStringList{"Suchen in:", "Dateiname:", "Dateien des Typs:", "Öffnen",
                                               "Abbrechen",  "Abbrechen",  "Alles auswählen"};
        QTest::newRow("German file unreadable") << "German.lang.txt" << true << english;
    }

    void openDialogAndButtons()
    {
        QFETCH(QString, language);
        QFETCH(bool, unreadable);
        QFETCH(QStringList, texts);
        LoadLanguage(language, LANTRIX_BIN_DIR, [] { return quint16(0); });
        if (unreadable)
            LanguageLines.clear(); // as LoadLanguage leaves it when the file cannot be read
        QCOMPARE(InstallQtTranslations(), !language.isEmpty() && !unreadable);
        QCOMPARE(QtTexts(), texts);
    }
};

QTEST_MAIN(QtTranslationsTest)

#include "tst_qt_translations.moc"
