// The form POST against servers on 127.0.0.1 that the test starts: TLS with a
// certificate of a test authority (trusted through TrustExtraAuthority), plain
// http, one that accepts connections and never answers, and a closed port.
// PostForm blocks, so it runs on a worker thread while this thread waits.

#include "online/WebRequest.h"
#include "support/WebTestServers.h"

#include <QElapsedTimer>
#include <QtTest>

#include <functional>
#include <future>

namespace {

struct Outcome {
    QString reply;
    QString error;                 // empty when a reply came
    bool certificateError = false; // the error was TWebCertificateError
    qint64 elapsedMs = 0;
};

// Starts `post` on a worker thread.
std::future<Outcome> Start(std::function<QString()> post)
{
    return std::async(std::launch::async, [post] {
        Outcome outcome;
        QElapsedTimer timer;
        timer.start();
        try {
            outcome.reply = post();
        } catch (const TWebError& error) {
            outcome.error = error.Message();
            outcome.certificateError = dynamic_cast<const TWebCertificateError*>(&error) != nullptr;
            if (outcome.error.isEmpty())
                outcome.error = "(empty message)";
        }
        outcome.elapsedMs = timer.elapsed();
        return outcome;
    });
}

// Runs `post` on a worker thread while this thread's servers answer.
Outcome Run(std::function<QString()> post)
{
    auto result = Start(std::move(post));
    const bool finished = QTest::qWaitFor(
        [&result] { return result.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 60000);
    if (!finished)
        qFatal("The request did not end");
    return result.get();
}

} // namespace

class WebRequestTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void formEncoding_data();
    void formEncoding();
    void replyUsed_data();
    void replyUsed();
    void statusRules_data();
    void statusRules();
    void untrustedCertificateFails();
    void replyDecodedByDeclaredCharset_data();
    void replyDecodedByDeclaredCharset();
    void postToServerClosedPortRaisesSecondError();
    void postToServerSilentServerTimesOut();
    void abortGivesUpARequestThatNeverAnswers_data();
    void abortGivesUpARequestThatNeverAnswers();
    void abortBeforeTheCallSendsNothing();
    void replyLimit_data();
    void replyLimit();
    void wholeAnswerWithinTheResponseTimeout_data();
    void wholeAnswerWithinTheResponseTimeout();
    void plainRetryRule_data();
    void plainRetryRule();

private:
    TTestCertificates fCertificates;
    QSslConfiguration fTrusted;
    QSslConfiguration fUntrusted;
};

void WebRequestTest::initTestCase()
{
    fTrusted = fCertificates.Server("trusted");
    fUntrusted = fCertificates.Server("untrusted");
    TrustExtraAuthority(fCertificates.AuthorityPem("trusted"));
}

void WebRequestTest::cleanupTestCase()
{
    TrustExtraAuthority({});
}

void WebRequestTest::formEncoding_data()
{
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("no fields") << QStringList{} << QByteArray("");
    QTest::newRow("empty value") << QStringList{"cmd=check", "note="} << QByteArray("cmd=check&note=");
    QTest::newRow("space as plus") << QStringList{"msg=a b  c"} << QByteArray("msg=a+b++c");
    QTest::newRow("list order") << QStringList{"z=1", "a=2", "m=3"} << QByteArray("z=1&a=2&m=3");
    QTest::newRow("line breaks stay in the value")
        << QStringList{"msg=one\r\ntwo\nx=y"} << QByteArray("msg=one%0D%0Atwo%0Ax%3Dy");
    QTest::newRow("value after the first equals sign") << QStringList{"a==b=c"} << QByteArray("a=%3Db%3Dc");
    QTest::newRow("reserved characters") << QStringList{"q=1+1&2%/?#"} << QByteArray("q=1%2B1%262%25%2F%3F%23");
    QTest::newRow("UTF-8 bytes") << QStringList{QString::fromUtf8("n\xC3\xA4me=\xE2\x82\xAC \xF0\x9F\x98\x80")}
                                 << QByteArray("n%C3%A4me=%E2%82%AC+%F0%9F%98%80");
    QTest::newRow("space in a name") << QStringList{"my name=x"} << QByteArray("my+name=x");
    QTest::newRow("entry without equals sign") << QStringList{"flag", "a=1"} << QByteArray("flag=&a=1");
}

void WebRequestTest::formEncoding()
{
    QFETCH(QStringList, fields);
    QFETCH(QByteArray, body);
    QCOMPARE(EncodeFormFields(fields), body);
}

void WebRequestTest::replyUsed_data()
{
    QTest::addColumn<bool>("secureServer");
    QTest::addColumn<QString>("scheme"); // empty: PostToServer
    QTest::addColumn<bool>("secureClient");
    QTest::newRow("https") << true << "https://" << true;
    QTest::newRow("scheme in capitals takes the secure client") << true << "HTTPS://" << true;
    QTest::newRow("plain http") << false << "http://" << false;
    QTest::newRow("PostToServer over https") << true << "" << true;
    // https meets a plain server, so the TLS negotiation fails; the plain
    // attempt's reply is the result and no error is left over.
    QTest::newRow("PostToServer over plain http after a TLS failure") << false << "" << false;
}

void WebRequestTest::replyUsed()
{
    QFETCH(bool, secureServer);
    QFETCH(QString, scheme);
    QFETCH(bool, secureClient);
    TTestServer server(secureServer ? &fTrusted : nullptr, {.body = "OK\r\nsecond line"});
    const FormFields fields{"cmd=feedback", "msg=hello world"};
    const QString address = server.Address("/php/check2.php");
    const Outcome outcome = Run([&] {
        return scheme.isEmpty() ? PostToServer(address, fields, 5000) : PostForm(scheme + address, fields, 5000);
    });
    QCOMPARE(outcome.error, QString());
    QCOMPARE(outcome.reply, QString("OK\r\nsecond line"));
    QCOMPARE(server.Requests().size(), 1);
    const QByteArray head = HeadOf(server.Requests()[0]);
    QVERIFY2(head.startsWith("post /php/check2.php http/1.1"), head.constData());
    QCOMPARE(BodyOf(server.Requests()[0]), QByteArray("cmd=feedback&msg=hello+world"));
    QCOMPARE(head.contains("\r\nconnection: close"), secureClient);
    QCOMPARE(head.contains("\r\ncontent-type: application/x-www-form-urlencoded; charset=utf-8"), secureClient);
    QVERIFY2(head.contains("\r\ncontent-type: application/x-www-form-urlencoded"), head.constData());
}

void WebRequestTest::statusRules_data()
{
    QTest::addColumn<bool>("secure");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("replied");
    QTest::newRow("https 200") << true << 200 << true;
    QTest::newRow("https 404") << true << 404 << true;
    QTest::newRow("https 500") << true << 500 << true;
    QTest::newRow("http 200") << false << 200 << true;
    QTest::newRow("http 302") << false << 302 << true;
    QTest::newRow("http 404") << false << 404 << false;
    QTest::newRow("http 500") << false << 500 << false;
}

void WebRequestTest::statusRules()
{
    QFETCH(bool, secure);
    QFETCH(int, status);
    QFETCH(bool, replied);
    TTestServer server(secure ? &fTrusted : nullptr, {.status = status, .body = "Internal trouble, the page"});
    const QString url = (secure ? "https://" : "http://") + server.Address();
    const Outcome outcome = Run([&] { return PostForm(url, {"a=1"}, 5000); });
    if (replied) {
        QCOMPARE(outcome.error, QString());
        QCOMPARE(outcome.reply, QString("Internal trouble, the page"));
    } else {
        QVERIFY2(outcome.error.contains(QString::number(status)), qPrintable(outcome.error));
        QVERIFY2(outcome.error.startsWith(url), qPrintable(outcome.error));
    }
}

void WebRequestTest::untrustedCertificateFails()
{
    TTestServer server(&fUntrusted, {.body = "must not be read"});
    const Outcome outcome = Run([&] { return PostForm("https://" + server.Address(), {"a=1"}, 5000); });
    QVERIFY(!outcome.error.isEmpty());
    QCOMPARE(outcome.reply, QString());
    QVERIFY(server.Requests().isEmpty());
}

void WebRequestTest::replyDecodedByDeclaredCharset_data()
{
    QTest::addColumn<bool>("secure");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("reply");
    const QString text = QString::fromUtf8("Gr\xC3\xBC\xC3\x9F \xE2\x82\xAC");
    QTest::newRow("none declared: UTF-8") << false << QByteArray("text/plain") << text.toUtf8() << text;
    QTest::newRow("utf-8") << true << QByteArray("text/plain; charset=utf-8") << text.toUtf8() << text;
    QTest::newRow("quoted, capitals") << true << QByteArray("text/html; Charset=\"UTF-8\"") << text.toUtf8() << text;
    QTest::newRow("iso-8859-1") << false << QByteArray("text/plain; charset=ISO-8859-1") << QByteArray("Gr\xFC\xDF")
                                << QString::fromUtf8("Gr\xC3\xBC\xC3\x9F");
    QTest::newRow("utf-16le") << true << QByteArray("text/plain;charset=utf-16le") << QByteArray("O\0K\0", 4)
                              << QString("OK");
    QTest::newRow("unknown: UTF-8") << false << QByteArray("text/plain; charset=x-no-such-set") << text.toUtf8()
                                    << text;
    // A body cut inside a character ends in replacement characters, as any
    // malformed bytes do (UTF-8: one for each byte, as in a body that
    // declares no set); the cut bytes are not dropped.
    const QString replaced = QString::fromUtf8("\xEF\xBF\xBD");
    QTest::newRow("utf-8, cut inside a character")
        << false << QByteArray("text/plain; charset=utf-8") << QByteArray("caf\xE4\xA9") << "caf" + replaced + replaced;
    QTest::newRow("none declared, cut inside a character")
        << false << QByteArray("text/plain") << QByteArray("caf\xE4\xA9") << "caf" + replaced + replaced;
    QTest::newRow("utf-16le, odd byte at the end")
        << false << QByteArray("text/plain; charset=utf-16le") << QByteArray("O\0K", 3) << "O" + replaced;
}

void WebRequestTest::replyDecodedByDeclaredCharset()
{
    QFETCH(bool, secure);
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, body);
    QFETCH(QString, reply);
    TTestServer server(secure ? &fTrusted : nullptr, {.contentType = contentType, .body = body});
    const QString url = (secure ? "https://" : "http://") + server.Address();
    const Outcome outcome = Run([&] { return PostForm(url, {"a=1"}, 5000); });
    QCOMPARE(outcome.error, QString());
    QCOMPARE(outcome.reply, reply);
}

void WebRequestTest::postToServerClosedPortRaisesSecondError()
{
    const QString address = QString("127.0.0.1:%1/php/feedback.php").arg(ClosedPort());
    const Outcome outcome = Run([&] { return PostToServer(address, {"a=1"}, 3000); });
    QVERIFY2(outcome.error.startsWith("http://" + address + ": "), qPrintable(outcome.error));
}

void WebRequestTest::postToServerSilentServerTimesOut()
{
    TTestServer server(nullptr, {.silent = true});
    const int timeoutMs = 400;
    const Outcome outcome = Run([&] { return PostToServer(server.Address(), {"a=1"}, timeoutMs); });
    QVERIFY2(outcome.error.startsWith("http://" + server.Address() + ": "), qPrintable(outcome.error));
    QVERIFY2(outcome.error.contains("No response within 400 ms"), qPrintable(outcome.error));
    QCOMPARE(server.Requests().size(), 1); // the https attempt never got as far as a request
    // Each attempt is bounded by its two time-outs; the bound here is far
    // above that so a busy machine cannot fail it, and far below a hang.
    QVERIFY2(outcome.elapsedMs < 30000, qPrintable(QString::number(outcome.elapsedMs)));
}

void WebRequestTest::abortGivesUpARequestThatNeverAnswers_data()
{
    QTest::addColumn<bool>("secureServer");
    QTest::addColumn<bool>("secureClient");
    QTest::newRow("https, waiting for the response") << true << true;
    QTest::newRow("plain http, waiting for the response") << false << false;
    // The plain server takes the TLS greeting for the start of a request and
    // waits for its end: the client waits in the TLS negotiation.
    QTest::newRow("https, negotiating TLS") << false << true;
}

void WebRequestTest::abortGivesUpARequestThatNeverAnswers()
{
    QFETCH(bool, secureServer);
    QFETCH(bool, secureClient);
    TTestServer server(secureServer ? &fTrusted : nullptr, {.silent = true});
    const QString url = (secureClient ? "https://" : "http://") + server.Address();
    std::atomic<bool> abort{false};
    // Time-outs far longer than the test waits: only the abort can end it.
    const int timeoutMs = 120000;
    auto result = Start([&] { return PostForm(url, {"a=1"}, timeoutMs, &abort); });
    if (secureServer == secureClient)
        QTRY_COMPARE_WITH_TIMEOUT(server.Requests().size(), 1, 30000); // the request is out, no answer comes
    else
        QTest::qWait(300); // the negotiation has begun, or is about to

    QElapsedTimer sinceAbort;
    sinceAbort.start();
    abort = true;
    const bool ended = QTest::qWaitFor(
        [&result] { return result.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 60000);
    QVERIFY2(ended, "The aborted request did not end");
    const Outcome outcome = result.get();
    qInfo("The request ended %lld ms after the abort", sinceAbort.elapsed());
    QVERIFY2(outcome.error.startsWith(url + ": "), qPrintable(outcome.error));
    QVERIFY2(outcome.error.contains("aborted"), qPrintable(outcome.error));
    QVERIFY2(outcome.elapsedMs < timeoutMs, qPrintable(QString::number(outcome.elapsedMs)));
}

void WebRequestTest::abortBeforeTheCallSendsNothing()
{
    TTestServer server(nullptr, {.body = "must not be asked"});
    std::atomic<bool> abort{true};
    bool aborted = false;
    try {
        PostForm("http://" + server.Address(), {"a=1"}, 5000, &abort);
    } catch (const TWebAborted&) {
        aborted = true;
    }
    QVERIFY(aborted);
    QVERIFY(server.Requests().isEmpty()); // a request sent would have been recorded before its answer
}

// Replies up to the limit are read whole; one byte more, or a reply without
// end, fails the request, and the transfer ends at the limit instead of
// running on until the time-out.
void WebRequestTest::replyLimit_data()
{
    QTest::addColumn<bool>("secure");
    QTest::addColumn<qint64>("bodySize"); // -1: without end
    QTest::addColumn<bool>("replied");
    for (const bool secure : {true, false}) {
        const QByteArray scheme = secure ? "https, " : "plain http, ";
        QTest::newRow(scheme + "just under the limit") << secure << qint64(kReplyLimitBytes - 1) << true;
        QTest::newRow(scheme + "exactly the limit") << secure << qint64(kReplyLimitBytes) << true;
        QTest::newRow(scheme + "one byte over") << secure << qint64(kReplyLimitBytes + 1) << false;
        QTest::newRow(scheme + "a mebibyte") << secure << qint64(1024 * 1024) << false;
        QTest::newRow(scheme + "without end") << secure << qint64(-1) << false;
    }
}

void WebRequestTest::replyLimit()
{
    QFETCH(bool, secure);
    QFETCH(qint64, bodySize);
    QFETCH(bool, replied);
    TAnswer answer;
    answer.filler = bodySize < 0 ? -1 : 0;
    if (bodySize >= 0) {
        answer.body = QByteArray(bodySize, 'a');
        answer.body[0] = 'O'; // not all alike, so that a reply cut short or shifted shows
        answer.body[bodySize - 1] = 'K';
    }
    TTestServer server(secure ? &fTrusted : nullptr, answer);
    const QString url = (secure ? "https://" : "http://") + server.Address();
    // A time-out far longer than the transfer of the limit takes: only the
    // limit can end a reply without end before it.
    const int timeoutMs = 30000;
    const Outcome outcome = Run([&] { return PostForm(url, {"a=1"}, timeoutMs); });
    if (replied) {
        QCOMPARE(outcome.error, QString());
        QCOMPARE(outcome.reply.toLatin1(), answer.body);
    } else {
        QCOMPARE(outcome.reply, QString());
        QVERIFY2(outcome.error.startsWith(url + ": "), qPrintable(outcome.error));
        QVERIFY2(outcome.error.contains(QString("longer than %1 bytes").arg(kReplyLimitBytes)),
                 qPrintable(outcome.error));
        // The server writes on until it sees the client gone; far less than
        // what it would have sent until the time-out.
        QVERIFY2(server.BodyBytesSent() < 32 * 1024 * 1024, qPrintable(QString::number(server.BodyBytesSent())));
    }
}

// A reply that trickles in, each byte well within the time-out of the one
// before, still has to be complete within the response time-out.
void WebRequestTest::wholeAnswerWithinTheResponseTimeout_data()
{
    QTest::addColumn<bool>("secure");
    QTest::newRow("https") << true;
    QTest::newRow("plain http") << false;
}

void WebRequestTest::wholeAnswerWithinTheResponseTimeout()
{
    QFETCH(bool, secure);
    // 400 bytes, one every 50 ms: 20 s for the whole reply, against a
    // response time-out of 1 s.
    TTestServer server(secure ? &fTrusted : nullptr, {.body = QByteArray(400, 'x'), .dripMs = 50});
    const QString url = (secure ? "https://" : "http://") + server.Address();
    const int timeoutMs = 1000;
    const Outcome outcome = Run([&] { return PostForm(url, {"a=1"}, timeoutMs); });
    QCOMPARE(outcome.reply, QString());
    QVERIFY2(outcome.error.startsWith(url + ": "), qPrintable(outcome.error));
    QVERIFY2(outcome.error.contains("No response within 1000 ms"), qPrintable(outcome.error));
    QCOMPARE(server.Requests().size(), 1);
    // Most of the reply was still to come when the request gave up.
    QVERIFY2(server.BodyBytesSent() < 300, qPrintable(QString::number(server.BodyBytesSent())));
}

// PostToServer against a server that speaks TLS and plain http on its port:
// after a certificate that fails the check nothing goes out in clear text;
// a server without TLS still gets the plain request.
void WebRequestTest::plainRetryRule_data()
{
    QTest::addColumn<QString>("certificate"); // "trusted", "untrusted"; empty: a plain server alone
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("replied");
    QTest::addColumn<bool>("certificateError");
    QTest::addColumn<int>("plainConnections");
    QTest::newRow("trusted certificate: https alone") << "trusted"
                                                      << "127.0.0.1" << true << false << 0;
    QTest::newRow("certificate of an unknown authority: nothing over http") << "untrusted"
                                                                            << "127.0.0.1" << false << true << 0;
    QTest::newRow("certificate for another name: nothing over http") << "trusted"
                                                                     << "localhost" << false << true << 0;
    // The plain server hangs up on the TLS greeting (one plain connection)
    // and then answers the plain request (the second).
    QTest::newRow("server without TLS: plain http used") << ""
                                                         << "127.0.0.1" << true << false << 2;
}

void WebRequestTest::plainRetryRule()
{
    QFETCH(QString, certificate);
    QFETCH(QString, host);
    QFETCH(bool, replied);
    QFETCH(bool, certificateError);
    QFETCH(int, plainConnections);
    const TAnswer answer{.body = "OK"};
    const QSslConfiguration* tls = certificate == "trusted"     ? &fTrusted
                                   : certificate == "untrusted" ? &fUntrusted
                                                                : nullptr;
    TTestServer server(tls, answer, /*plainToo=*/tls != nullptr);
    QString address = server.Address();
    address.replace("127.0.0.1", host);
    const FormFields fields{"cmd=feedback", "feedback=private words", "email=someone@example.org"};
    const Outcome outcome = Run([&] { return PostToServer(address, fields, 5000); });
    if (replied) {
        QCOMPARE(outcome.error, QString());
        QCOMPARE(outcome.reply, QString("OK"));
        QCOMPARE(server.Requests().size(), 1);
    } else {
        QVERIFY2(outcome.error.startsWith("https://" + address + ": "), qPrintable(outcome.error));
        QVERIFY(server.Requests().isEmpty());
    }
    QCOMPARE(outcome.certificateError, certificateError);
    QCOMPARE(server.PlainConnections(), plainConnections);
}

QTEST_GUILESS_MAIN(WebRequestTest)
#include "tst_web_request.moc"
