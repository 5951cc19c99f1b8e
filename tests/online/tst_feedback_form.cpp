// The feedback window against servers on 127.0.0.1 that the test starts (TLS
// with a certificate of a test authority, plain http, and a closed port). The
// window sends on the GUI thread; the servers answer from threads of their
// own.

#include "localization/LanguageFiles.h"
#include "online/Feedback.h"
#include "online/widgets/FeedbackForm.h"
#include "support/ModalAnswers.h"
#include "support/WebTestServers.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

namespace {

// What the window asked of the program around it.
struct Calls {
    int beeps = 0;
    QStringList posts;            // "address timeout"
    QList<int> cursorsDuringPost; // the application cursor's shape while sending; -1: none
};

// The fields of a recorded request body, decoded.
QStringList DecodedFields(const QByteArray& body)
{
    QStringList fields;
    for (QByteArray part : body.split('&'))
        fields << QString::fromUtf8(QByteArray::fromPercentEncoding(part.replace('+', ' ')));
    return fields;
}

} // namespace

class FeedbackFormTest : public QObject {
    Q_OBJECT

    TTestCertificates certificates;
    QSslConfiguration tls;
    Calls calls;
    QString boxTitle, boxText; // the last message box answered

    std::unique_ptr<TFeedbackForm> MakeForm(const QString& serverAddress)
    {
        TFeedbackFormEnvironment environment;
        environment.appProductName = QStringLiteral("Lantrix Pro");
        environment.appCaption = QStringLiteral("Lantrix Pro 2.1");
        environment.appVersion = QStringLiteral("2.1.0.7");
        environment.serverAddress = serverAddress;
        environment.showError = [](const QString& text) { QFAIL(qPrintable("Unexpected error: " + text)); };
        environment.beep = [this] { ++calls.beeps; };
        environment.post = [this](const QString& address, const FormFields& fields, int timeoutMs) {
            calls.posts << address + " " + QString::number(timeoutMs);
            const QCursor* cursor = QApplication::overrideCursor();
            calls.cursorsDuringPost << (cursor ? int(cursor->shape()) : -1);
            return PostToServer(address, fields, timeoutMs);
        };
        auto form = std::make_unique<TFeedbackForm>(environment);
        form->show();
        return form;
    }

    // Answers the next message box with OK, noting its title and text.
    void AnswerBox()
    {
        AnswerNextMessageBox([this](QMessageBox* box) {
            boxTitle = box->windowTitle();
            boxText = box->text() + (box->textFormat() == Qt::PlainText ? "" : " [not plain text]");
            box->accept();
        });
    }

private slots:
    void initTestCase()
    {
        tls = certificates.Server("feedback");
        TrustExtraAuthority(certificates.AuthorityPem("feedback"));
    }

    void cleanupTestCase() { TrustExtraAuthority({}); }

    void init()
    {
        calls = {};
        boxTitle.clear();
        boxText.clear();
        LanguageFilePath.clear();
        LanguageLines.clear();
    }

    void cleanup()
    {
        ForgetMessageBoxAnswers();
        LanguageFilePath.clear();
        LanguageLines.clear();
    }

    void sendPaths_data()
    {
        QTest::addColumn<QString>("server"); // "tls", "plain" or "closed"
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("email");
        QTest::addColumn<int>("requests");
        QTest::addColumn<int>("beeps");
        QTest::addColumn<QString>("box"); // the title of the box shown; empty: none
        QTest::addColumn<bool>("closed");
        QTest::addColumn<QString>("focus"); // where the focus goes; empty: not checked

        QTest::newRow("empty message beeps, nothing sent") << "tls" << QByteArray("OK") << " \n\t\n "
                                                           << "" << 0 << 1 << "" << false << "Memo1";
        QTest::newRow("no dot after the at sign") << "tls" << QByteArray("OK") << "Great"
                                                  << "user@example" << 0 << 0 << "Failure" << false << "Edit1";
        QTest::newRow("address ending in a dot") << "tls" << QByteArray("OK") << "Great"
                                                 << "user@example.com." << 0 << 0 << "Failure" << false << "Edit1";
        QTest::newRow("space inside the address") << "tls" << QByteArray("OK") << "Great"
                                                  << "us er@example.com" << 0 << 0 << "Failure" << false << "Edit1";
        QTest::newRow("good address, reply OK")
            << "tls" << QByteArray("OK") << "Great"
            << " first.last+x@mail.example.org " << 1 << 0 << "Success" << true << "";
        QTest::newRow("reply OK and a line break") << "tls" << QByteArray("OK\r\n") << "Great"
                                                   << "" << 1 << 0 << "Success" << true << "";
        QTest::newRow("reply ok in lower case") << "tls" << QByteArray("ok") << "Great"
                                                << "" << 1 << 0 << "Failure" << false << "";
        QTest::newRow("reply OK and a full stop") << "tls" << QByteArray("OK.") << "Great"
                                                  << "" << 1 << 0 << "Failure" << false << "";
        QTest::newRow("empty reply") << "tls" << QByteArray("") << "Great"
                                     << "" << 1 << 0 << "Failure" << false << "";
        QTest::newRow("plain http after the https attempt fails") << "plain" << QByteArray("OK") << "Great"
                                                                  << "" << 1 << 0 << "Success" << true << "";
        QTest::newRow("no network") << "closed" << QByteArray("OK") << "Great"
                                    << "" << 0 << 0 << "Failure" << false << "";
    }

    void sendPaths()
    {
        QFETCH(QString, server);
        QFETCH(QByteArray, reply);
        QFETCH(QString, message);
        QFETCH(QString, email);
        QFETCH(int, requests);
        QFETCH(int, beeps);
        QFETCH(QString, box);
        QFETCH(bool, closed);
        QFETCH(QString, focus);

        std::unique_ptr<TTestServer> testServer;
        QString address = QString("127.0.0.1:%1%2").arg(ClosedPort()).arg(kFeedbackPath);
        if (server != "closed") {
            testServer = std::make_unique<TTestServer>(server == "tls" ? &tls : nullptr, TAnswer{.body = reply});
            address = testServer->Address(kFeedbackPath);
        }
        auto form = MakeForm(address);
        form->Image1Click();
        form->Memo1->setPlainText(message);
        form->Edit1->setText(email);
        if (!box.isEmpty())
            AnswerBox();
        form->BitBtn1->setFocus();
        QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
        if (!focus.isEmpty())
            QCOMPARE(form->focusWidget()->objectName(), focus);

        QCOMPARE(calls.beeps, beeps);
        QCOMPARE(boxTitle, box);
        QCOMPARE(form->isVisible(), !closed);
        if (testServer)
            QCOMPARE(testServer->Requests().size(), requests);
        const bool sent =
            box == "Success"
            || (box == "Failure" && (requests > 0 || server == "closed") && !boxText.startsWith("Invalid"));
        QCOMPARE(calls.posts.size(), sent ? 1 : 0);
        if (sent) {
            QCOMPARE(calls.posts[0], address + " 3000");
            QCOMPARE(calls.cursorsDuringPost, QList<int>{int(Qt::BusyCursor)});
        }
        QVERIFY(!QApplication::overrideCursor());
        if (box == "Success")
            QCOMPARE(boxText, QString("Your feedback is received.\n\nThank you!"));
        else if (box == "Failure" && sent)
            QCOMPARE(boxText, QString("Something went wrong. Your feedback could not be delivered.\n\n"
                                      "Please try again later."));
        else if (box == "Failure")
            QCOMPARE(boxText, QString("Invalid e-mail address!"));
        if (!closed) {
            // What the user entered stays.
            QCOMPARE(form->Memo1->toPlainText(), message);
            QCOMPARE(form->Edit1->text(), email);
            QVERIFY(form->Panel4->IsChosen());
        }
    }

    void fieldsSentInOrder_data()
    {
        QTest::addColumn<int>("choice"); // 0 none, 1 like, 2 dislike
        QTest::addColumn<QString>("email");
        QTest::addColumn<QStringList>("fields");
        const QStringList head{"cmd=feedback", "appname=Lantrix Pro 2.1", "version=2.1.0.7"};
        QTest::newRow("like, e-mail trimmed")
            << 1 << "  a.b+c@mail.example.org\t"
            << head + QStringList{"feedback=I like it!\rGreat\r\nsecond line", "email=a.b+c@mail.example.org"};
        QTest::newRow("dislike, no e-mail field")
            << 2 << "" << head + QStringList{"feedback=I dislike it!\rGreat\r\nsecond line"};
        QTest::newRow("no choice") << 0 << "" << head + QStringList{"feedback=Great\r\nsecond line"};
    }

    void fieldsSentInOrder()
    {
        QFETCH(int, choice);
        QFETCH(QString, email);
        QFETCH(QStringList, fields);
        TTestServer server(&tls, {.body = "OK"});
        auto form = MakeForm(server.Address(kFeedbackPath));
        if (choice == 1)
            form->Image1Click();
        if (choice == 2)
            form->Image2Click();
        form->Memo1->setPlainText("\n  Great\nsecond line \n");
        form->Edit1->setText(email);
        AnswerBox();
        form->BitBtn1Click();
        QCOMPARE(boxTitle, QString("Success"));
        QCOMPARE(server.Requests().size(), 1);
        const QByteArray request = server.Requests()[0];
        QVERIFY2(HeadOf(request).startsWith("post /php/feedback.php http/1.1"), HeadOf(request).constData());
        QCOMPARE(DecodedFields(BodyOf(request)), fields);
    }

    // The user's language beside the English words; the window's texts and
    // boxes translated, and shown as plain text.
    void translatedWindow()
    {
        LanguageFilePath = QStringLiteral("/opt/Lantrix/Languages/German.lang.txt");
        LanguageLines = QStringList{QString::fromUtf8("{I like it!}Es gef\xC3\xA4llt mir!"),
                                    "{I dislike it!}<b>Nicht</b> gut",
                                    QString::fromUtf8("{feedback}R\xC3\xBC"
                                                      "ckmeldung"),
                                    "{We would really appreciate your feedback.}<i>Ihre Meinung</i>",
                                    "{What did you like or dislike?}Was?",
                                    "{Include my e-mail:}E-Mail:",
                                    "{Send}Senden",
                                    "{Failure}Fehler",
                                    "{Something went wrong. Your feedback could not be delivered.}<b>Schade.</b>",
                                    "{Please try again later.}Sp\xC3\xA4ter."};
        TTestServer server(&tls, {.body = "NO"});
        auto form = MakeForm(server.Address(kFeedbackPath));
        QCOMPARE(form->windowTitle(), QString::fromUtf8("Lantrix Pro R\xC3\xBC"
                                                        "ckmeldung"));
        QCOMPARE(form->Panel4->Caption(), QString::fromUtf8("Es gef\xC3\xA4llt mir!"));
        QCOMPARE(form->Panel5->Caption(), QString("<b>Nicht</b> gut"));
        QCOMPARE(form->Label1->text(), QString("<i>Ihre Meinung</i>"));
        QCOMPARE(form->Label1->textFormat(), Qt::PlainText);
        QCOMPARE(form->Label2->text(), QString("Was?"));
        QCOMPARE(form->Label3->text(), QString("E-Mail:"));
        QCOMPARE(form->BitBtn1->text(), QString("Senden"));
        for (QLabel* label : form->findChildren<QLabel*>())
            QVERIFY2(label->textFormat() == Qt::PlainText, qPrintable(label->objectName()));

        form->Image2Click();
        form->Memo1->setPlainText("Hm");
        AnswerBox();
        form->BitBtn1Click();
        QCOMPARE(boxTitle, QString("Fehler"));
        QCOMPARE(boxText, QString::fromUtf8("<b>Schade.</b>\n\nSp\xC3\xA4ter."));
        QCOMPARE(DecodedFields(BodyOf(server.Requests().value(0)))[3],
                 QString("feedback=I dislike it! (<b>Nicht</b> gut)\rHm"));

        form->Image1Click();
        AnswerBox();
        form->BitBtn1Click();
        QCOMPARE(DecodedFields(BodyOf(server.Requests().value(1)))[3],
                 QString::fromUtf8("feedback=I like it! (Es gef\xC3\xA4llt mir!)\rHm"));
    }

    void englishWindow()
    {
        auto form = MakeForm("127.0.0.1:1/php/feedback.php");
        QCOMPARE(form->windowTitle(), QString("Lantrix Pro feedback"));
        QCOMPARE(form->Panel4->Caption(), QString("I like it!"));
        QCOMPARE(form->Panel5->Caption(), QString("I dislike it!"));
        QCOMPARE(form->Label1->text(), QString("We would really appreciate your feedback."));
        QCOMPARE(form->Label2->text(), QString("What did you like or dislike?"));
        QCOMPARE(form->Label3->text(), QString("Include my e-mail:"));
        QCOMPARE(form->BitBtn1->text(), QString("Send"));
        QCOMPARE(form->Edit1->maxLength(), 100);
        QCOMPARE(form->focusWidget(), form->Memo1);
    }

    void choosing()
    {
        auto form = MakeForm("127.0.0.1:1/php/feedback.php");
        QVERIFY(!form->Panel4->IsChosen());
        QVERIFY(!form->Panel5->IsChosen());
        QTest::mouseClick(form->Image1, Qt::LeftButton);
        QVERIFY(form->Panel4->IsChosen());
        QVERIFY(!form->Panel5->IsChosen());
        QCOMPARE(form->Panel4->frameShadow(), QFrame::Sunken);
        QTest::mouseClick(form->Panel5, Qt::LeftButton);
        QVERIFY(!form->Panel4->IsChosen());
        QVERIFY(form->Panel5->IsChosen());
        QCOMPARE(form->Panel4->frameShadow(), QFrame::Raised);
        QCOMPARE(form->Panel5->palette().color(QPalette::Window), QApplication::palette().color(QPalette::Highlight));
        QTest::mouseClick(form->Image2, Qt::LeftButton);
        QVERIFY(form->Panel5->IsChosen());
        QVERIFY(!form->Panel4->IsChosen());
        QTest::mouseClick(form->Panel4, Qt::LeftButton);
        QVERIFY(form->Panel4->IsChosen());
        QVERIFY(!form->Panel5->IsChosen());
    }

    void messageAtMostTenThousandCharacters()
    {
        auto form = MakeForm("127.0.0.1:1/php/feedback.php");
        form->Memo1->setPlainText(QString(10005, 'x'));
        QCOMPARE(form->Memo1->toPlainText().size(), 10000);
    }

    void escapeCloses_data()
    {
        QTest::addColumn<QString>("control");
        QTest::newRow("memo") << "Memo1";
        QTest::newRow("e-mail field") << "Edit1";
        QTest::newRow("Send button") << "BitBtn1";
    }

    void escapeCloses()
    {
        QFETCH(QString, control);
        auto form = MakeForm("127.0.0.1:1/php/feedback.php");
        form->Edit1->setText("a@b.cd");
        auto* widget = form->findChild<QWidget*>(control);
        QVERIFY(widget);
        widget->setFocus();
        QTest::keyClick(widget, Qt::Key_Escape);
        QVERIFY(!form->isVisible());
        QCOMPARE(form->Edit1->text(), QString("a@b.cd")); // swallowed, not typed
        QCOMPARE(calls.posts.size(), 0);
    }
};

QTEST_MAIN(FeedbackFormTest)
#include "tst_feedback_form.moc"
