// The message dialog with the caller's title and button captions, and the
// restart question built on it.
#include "localization/LanguageFiles.h"
#include "localization/widgets/CaptionedMessageDlg.h"
#include "support/ModalAnswers.h"

#include <QPushButton>
#include <QTest>

Q_DECLARE_METATYPE(TMsgDlgButtons)

using CaptionMap = QMap<int, QString>;

namespace {

// What the dialog showed.
struct Shown {
    QString title;
    QString text;
    Qt::TextFormat format = Qt::AutoText;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMap<int, QString> captions; // by QMessageBox::StandardButton; -1 for "All"
    QString defaultButton;
};

QString Caption(const QAbstractButton* button)
{
    return QString(button->text()).remove(QLatin1Char('&'));
}

// Shows the dialog, records what it showed and presses the button captioned `press`.
int ShowAndPress(const QString& message, TMsgDlgType kind, const TMsgDlgButtons& buttons, const QString& title,
                 const QStringList& captions, const QString& press, Shown& shown)
{
    AnswerNextMessageBox([&](QMessageBox* box) {
        shown.title = box->windowTitle();
        shown.text = box->text();
        shown.format = box->textFormat();
        shown.icon = box->icon();
        for (QAbstractButton* button : box->buttons()) {
            const int standard = box->standardButton(button);
            shown.captions[standard == QMessageBox::NoButton ? -1 : standard] = Caption(button);
        }
        if (box->defaultButton())
            shown.defaultButton = Caption(box->defaultButton());
        if (press == QLatin1String("Escape"))
            QTest::keyClick(box, Qt::Key_Escape);
        else if (press.isEmpty())
            box->close(); // the close box
        else
            MessageBoxButton(box, press)->click();
    });
    return CaptionedMessageDlg(message, kind, buttons, title, captions);
}

QString StandardCaption(QMessageBox::StandardButton which)
{
    QMessageBox box;
    return Caption(box.addButton(which));
}

} // namespace

class CaptionedMessageDlgTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { ForgetMessageBoxAnswers(); }

    void captions_data()
    {
        QTest::addColumn<TMsgDlgButtons>("buttons");
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<CaptionMap>("expected"); // caption by standard button
        QTest::addColumn<QString>("defaultButton");
        QTest::addColumn<QString>("press");
        QTest::addColumn<int>("result");

        const QString cancel = StandardCaption(QMessageBox::Cancel);
        const QString ignore = StandardCaption(QMessageBox::Ignore);
        QTest::newRow("yes no") << TMsgDlgButtons{TMsgDlgBtn::mbYes, TMsgDlgBtn::mbNo} << QStringList{"Evet", "Hayır"}
                                << QMap<int, QString>{{QMessageBox::Yes, "Evet"}, {QMessageBox::No, "Hayır"}} << "Evet"
                                << "Hayır" << int(mrNo);
        QTest::newRow("set order does not matter")
            << TMsgDlgButtons{TMsgDlgBtn::mbNo, TMsgDlgBtn::mbYes} << QStringList{"Ja", "Nein"}
            << QMap<int, QString>{{QMessageBox::Yes, "Ja"}, {QMessageBox::No, "Nein"}} << "Ja"
            << "Ja" << int(mrYes);
        QTest::newRow("fewer captions than buttons")
            << TMsgDlgButtons{TMsgDlgBtn::mbOK, TMsgDlgBtn::mbCancel} << QStringList{"Tamam"}
            << QMap<int, QString>{{QMessageBox::Ok, "Tamam"}, {QMessageBox::Cancel, cancel}} << "Tamam" << cancel
            << int(mrCancel);
        QTest::newRow("ok is the default before yes")
            << TMsgDlgButtons{TMsgDlgBtn::mbYes, TMsgDlgBtn::mbNo, TMsgDlgBtn::mbOK} << QStringList{"1", "2", "3"}
            << QMap<int, QString>{{QMessageBox::Yes, "1"}, {QMessageBox::No, "2"}, {QMessageBox::Ok, "3"}} << "3"
            << "3" << int(mrOk);
        QTest::newRow("retry is the default without ok and yes")
            << TMsgDlgButtons{TMsgDlgBtn::mbAbort, TMsgDlgBtn::mbRetry, TMsgDlgBtn::mbIgnore}
            << QStringList{"Abbrechen", "Wiederholen"}
            << QMap<int, QString>{{QMessageBox::Abort, "Abbrechen"},
                                  {QMessageBox::Retry, "Wiederholen"},
                                  {QMessageBox::Ignore, ignore}}
            << "Wiederholen"
            << "Abbrechen" << int(mrAbort);
        QTest::newRow("all, a button of its own")
            << TMsgDlgButtons{TMsgDlgBtn::mbYes, TMsgDlgBtn::mbAll} << QStringList{"Sí", "Todos"}
            << QMap<int, QString>{{QMessageBox::Yes, "Sí"}, {-1, "Todos"}} << "Sí"
            << "Todos" << int(mrAll);
        QTest::newRow("escape answers no")
            << TMsgDlgButtons{TMsgDlgBtn::mbYes, TMsgDlgBtn::mbNo} << QStringList{"Evet", "Hayır"}
            << QMap<int, QString>{{QMessageBox::Yes, "Evet"}, {QMessageBox::No, "Hayır"}} << "Evet"
            << "Escape" << int(mrNo);
        QTest::newRow("close box answers no")
            << TMsgDlgButtons{TMsgDlgBtn::mbYes, TMsgDlgBtn::mbNo} << QStringList{"Evet", "Hayır"}
            << QMap<int, QString>{{QMessageBox::Yes, "Evet"}, {QMessageBox::No, "Hayır"}} << "Evet"
            << "" << int(mrNo);
    }

    void captions()
    {
        QFETCH(TMsgDlgButtons, buttons);
        QFETCH(QStringList, captions);
        QFETCH(CaptionMap, expected);
        QFETCH(QString, defaultButton);
        QFETCH(QString, press);
        QFETCH(int, result);
        Shown shown;
        QCOMPARE(ShowAndPress("Message", TMsgDlgType::mtConfirmation, buttons, "Title", captions, press, shown),
                 result);
        QCOMPARE(shown.captions, expected);
        QCOMPARE(shown.defaultButton, defaultButton);
        QCOMPARE(shown.title, QStringLiteral("Title"));
    }

    void kindGivesTheIcon_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("icon");
        QTest::newRow("warning") << int(TMsgDlgType::mtWarning) << int(QMessageBox::Warning);
        QTest::newRow("error") << int(TMsgDlgType::mtError) << int(QMessageBox::Critical);
        QTest::newRow("information") << int(TMsgDlgType::mtInformation) << int(QMessageBox::Information);
        QTest::newRow("confirmation") << int(TMsgDlgType::mtConfirmation) << int(QMessageBox::Question);
        QTest::newRow("custom") << int(TMsgDlgType::mtCustom) << int(QMessageBox::NoIcon);
    }

    void kindGivesTheIcon()
    {
        QFETCH(int, kind);
        QFETCH(int, icon);
        Shown shown;
        ShowAndPress("Message", static_cast<TMsgDlgType>(kind), {TMsgDlgBtn::mbOK}, "Title", {}, "OK", shown);
        QCOMPARE(int(shown.icon), icon);
    }

    // Texts from language files are shown as they are, never as rich text.
    void messageIsPlainText()
    {
        Shown shown;
        ShowAndPress("<b>Neu starten?</b><img src=x>", TMsgDlgType::mtConfirmation, {TMsgDlgBtn::mbOK}, "T", {}, "OK",
                     shown);
        QCOMPARE(shown.format, Qt::PlainText);
        QCOMPARE(shown.text, QStringLiteral("<b>Neu starten?</b><img src=x>"));
    }

    void restartQuestionIsTranslated()
    {
        LanguageFilePath = QStringLiteral("/languages/German.lang.txt");
        LanguageLines = {"{Yes}Ja", "{No}Nein", "{Confirmation}Bestätigung", "{Restart Application?}Neu starten?"};
        Shown shown;
        AnswerNextMessageBox([&](QMessageBox* box) {
            shown.title = box->windowTitle();
            shown.text = box->text();
            shown.icon = box->icon();
            shown.captions[QMessageBox::Yes] = Caption(box->button(QMessageBox::Yes));
            shown.captions[QMessageBox::No] = Caption(box->button(QMessageBox::No));
            shown.defaultButton = Caption(box->defaultButton());
            box->button(QMessageBox::Yes)->click();
        });
        const bool yes = ConfirmRestart();
        LanguageFilePath.clear();
        LanguageLines.clear();
        QVERIFY(yes);
        QCOMPARE(shown.title, QStringLiteral("Bestätigung"));
        QCOMPARE(shown.text, QStringLiteral("Neu starten?"));
        QCOMPARE(shown.icon, QMessageBox::Question);
        QCOMPARE(shown.captions.value(QMessageBox::Yes), QStringLiteral("Ja"));
        QCOMPARE(shown.captions.value(QMessageBox::No), QStringLiteral("Nein"));
        QCOMPARE(shown.defaultButton, QStringLiteral("Ja"));

        AnswerNextMessageBox([](QMessageBox* box) { box->button(QMessageBox::No)->click(); });
        QVERIFY(!ConfirmRestart());
        AnswerNextMessageBox([](QMessageBox* box) { box->close(); });
        QVERIFY(!ConfirmRestart());
    }
};

QTEST_MAIN(CaptionedMessageDlgTest)
#include "tst_captioned_message_dlg.moc"
