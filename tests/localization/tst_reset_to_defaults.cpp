// Settings > "Reset to Defaults": the translated restart question, then
// settings.ini deleted and the program restarted (the restart is a stand-in).
#include "localization/LanguageFiles.h"
#include "localization/widgets/ResetToDefaults.h"
#include "support/ModalAnswers.h"

#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

class ResetToDefaultsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dataFolder;
    QStringList calls;

    QString SettingsFile() const { return dataFolder->filePath("settings.ini"); }

    TResetActions Actions()
    {
        return {[this] { calls << (QFile::exists(SettingsFile()) ? "start, file kept" : "start, file gone"); },
                [this] { calls << "terminate"; }};
    }

    void WriteSettings()
    {
        QFile file(SettingsFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("\xEF\xBB\xBF[Settings]\r\nInitialDir=/home/ana\r\n\r\n");
    }

private slots:
    void init()
    {
        dataFolder = std::make_unique<QTemporaryDir>();
        calls.clear();
    }
    void cleanup()
    {
        ForgetMessageBoxAnswers();
        LanguageFilePath.clear();
        LanguageLines.clear();
    }

    void answeredOtherThanYesChangesNothing_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::newRow("no") << "No";
        QTest::newRow("escape") << "Escape";
        QTest::newRow("close box") << "";
    }

    void answeredOtherThanYesChangesNothing()
    {
        QFETCH(QString, answer);
        WriteSettings();
        AnswerNextMessageBox([answer](QMessageBox* box) {
            if (answer == "Escape")
                QTest::keyClick(box, Qt::Key_Escape);
            else if (answer.isEmpty())
                box->close();
            else
                MessageBoxButton(box, answer)->click();
        });
        ResetToDefaults(dataFolder->path(), nullptr, Actions());
        QVERIFY(calls.isEmpty());
        QFile file(SettingsFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("\xEF\xBB\xBF[Settings]\r\nInitialDir=/home/ana\r\n\r\n"));
    }

    void answeredYesDeletesAndRestarts()
    {
        WriteSettings();
        AnswerNextMessageBox([](QMessageBox* box) { MessageBoxButton(box, "Yes")->click(); });
        ResetToDefaults(dataFolder->path(), nullptr, Actions());
        QCOMPARE(calls, (QStringList{"start, file gone", "terminate"}));
        QVERIFY(!QFile::exists(SettingsFile()));
    }

    void missingSettingsFileStillRestarts()
    {
        AnswerNextMessageBox([](QMessageBox* box) { MessageBoxButton(box, "Yes")->click(); });
        ResetToDefaults(dataFolder->path() + "/", nullptr, Actions());
        QCOMPARE(calls, (QStringList{"start, file gone", "terminate"}));
    }

    void questionIsTranslated()
    {
        LanguageFilePath = "/languages/Turkish.lang.txt";
        LanguageLines = {"{Yes}Evet", "{No}Hayır", "{Confirmation}Onay",
                         "{Restart Application?}Uygulama yeniden başlatılsın mı?"};
        WriteSettings();
        QString shown;
        AnswerNextMessageBox([&shown](QMessageBox* box) {
            shown = box->windowTitle() + "|" + box->text() + "|" + MessageBoxButton(box, "Evet")->text() + "|"
                    + MessageBoxButton(box, "Hayır")->text() + "|" + box->defaultButton()->text();
            MessageBoxButton(box, "Evet")->click();
        });
        ResetToDefaults(dataFolder->path(), nullptr, Actions());
        QCOMPARE(shown, QStringLiteral("Onay|Uygulama yeniden başlatılsın mı?|Evet|Hayır|Evet"));
        QCOMPARE(calls, (QStringList{"start, file gone", "terminate"}));
    }
};

QTEST_MAIN(ResetToDefaultsTest)
#include "tst_reset_to_defaults.moc"
