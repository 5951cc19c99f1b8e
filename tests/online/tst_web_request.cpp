// The form POST against servers on 127.0.0.1 that the test starts: TLS with a
// certificate of a test authority (trusted through TrustExtraAuthority), plain
// http, one that accepts connections and never answers, and a closed port.
// PostForm blocks, so it runs on a worker thread while this thread serves.

#include "online/WebRequest.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <future>
#include <memory>

namespace {

const char* const kOpensslConfig = R"([req]
distinguished_name = dn
[dn]
[authority]
basicConstraints = critical,CA:TRUE
keyUsage = critical,keyCertSign,cRLSign
subjectKeyIdentifier = hash
[server]
basicConstraints = CA:FALSE
keyUsage = critical,digitalSignature
extendedKeyUsage = serverAuth
subjectAltName = IP:127.0.0.1
)";

// How a test server answers.
struct Answer {
    bool silent = false; // accept, read, and never answer
    int status = 200;
    QByteArray contentType = "text/plain";
    QByteArray body;
};

// A one-request-per-connection HTTP server on 127.0.0.1, plain or TLS.
class TestServer : public QObject {
public:
    explicit TestServer(const QSslConfiguration* tls = nullptr)
    {
        if (tls) {
            auto* server = new QSslServer(this);
            server->setSslConfiguration(*tls);
            server_.reset(server);
        } else {
            server_.reset(new QTcpServer(this));
        }
        connect(server_.get(), &QTcpServer::pendingConnectionAvailable, this, &TestServer::Accept);
        QVERIFY(server_->listen(QHostAddress::LocalHost));
    }

    QString Address(const QString& path = "/php/feedback.php") const
    {
        return QString("127.0.0.1:%1%2").arg(server_->serverPort()).arg(path);
    }

    Answer answer;
    QList<QByteArray> requests; // every complete request received, head and body

private:
    void Accept()
    {
        while (QTcpSocket* socket = server_->nextPendingConnection()) {
            auto buffer = std::make_shared<QByteArray>();
            connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
                *buffer += socket->readAll();
                const qsizetype headEnd = buffer->indexOf("\r\n\r\n");
                if (headEnd < 0)
                    return;
                qsizetype length = 0;
                for (const QByteArray& line : buffer->left(headEnd).split('\n'))
                    if (line.toLower().startsWith("content-length:"))
                        length = line.mid(15).trimmed().toLongLong();
                if (buffer->size() < headEnd + 4 + length)
                    return;
                requests.append(*buffer);
                buffer->clear();
                if (answer.silent)
                    return;
                QByteArray reply = "HTTP/1.1 " + QByteArray::number(answer.status) + " Test\r\n";
                reply += "Content-Type: " + answer.contentType + "\r\n";
                reply += "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
                reply += "Connection: close\r\n\r\n" + answer.body;
                socket->write(reply);
                socket->disconnectFromHost();
            });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    std::unique_ptr<QTcpServer> server_;
};

struct Outcome {
    QString reply;
    QString error; // empty when a reply came
    qint64 elapsedMs = 0;
};

// Runs `post` on a worker thread while this thread's servers answer.
Outcome Run(std::function<QString()> post)
{
    auto result = std::async(std::launch::async, [post] {
        Outcome outcome;
        QElapsedTimer timer;
        timer.start();
        try {
            outcome.reply = post();
        } catch (const TWebError& error) {
            outcome.error = error.Message();
            if (outcome.error.isEmpty())
                outcome.error = "(empty message)";
        }
        outcome.elapsedMs = timer.elapsed();
        return outcome;
    });
    const bool finished = QTest::qWaitFor(
        [&result] { return result.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
        60000);
    if (!finished)
        qFatal("The request did not end");
    return result.get();
}

QByteArray HeadOf(const QByteArray& request)
{
    return request.left(request.indexOf("\r\n\r\n")).toLower();
}

QByteArray BodyOf(const QByteArray& request)
{
    return request.mid(request.indexOf("\r\n\r\n") + 4);
}

}  // namespace

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

private:
    QString Make(const QStringList& arguments);
    QSslConfiguration Tls(const QString& name);

    QTemporaryDir dir_;
    QSslConfiguration trusted_;
    QSslConfiguration untrusted_;
};

QString WebRequestTest::Make(const QStringList& arguments)
{
    QProcess openssl;
    openssl.setWorkingDirectory(dir_.path());
    openssl.start("openssl", arguments);
    if (!openssl.waitForFinished(60000) || openssl.exitCode() != 0)
        return QString::fromLocal8Bit(openssl.readAllStandardError()) + openssl.errorString();
    return {};
}

// A server key and certificate signed by the authority `name`.
QSslConfiguration WebRequestTest::Tls(const QString& name)
{
    const QStringList newKey = {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
    QString failure = Make(QStringList{"req", "-x509", "-config", "test.cnf", "-extensions", "authority",
                                       "-keyout", name + "-ca.key", "-out", name + "-ca.pem", "-days", "2",
                                       "-subj", "/CN=Lantrix test authority " + name}
                           + newKey);
    if (failure.isEmpty())
        failure = Make(QStringList{"req", "-config", "test.cnf", "-keyout", name + ".key", "-out",
                                   name + ".csr", "-subj", "/CN=127.0.0.1"}
                       + newKey);
    if (failure.isEmpty())
        failure = Make({"x509", "-req", "-in", name + ".csr", "-CA", name + "-ca.pem", "-CAkey",
                        name + "-ca.key", "-CAcreateserial", "-days", "2", "-extfile", "test.cnf",
                        "-extensions", "server", "-out", name + ".pem"});
    if (!failure.isEmpty())
        qFatal("openssl failed: %s", qPrintable(failure));

    QFile certificate(dir_.filePath(name + ".pem"));
    QFile key(dir_.filePath(name + ".key"));
    if (!certificate.open(QIODevice::ReadOnly) || !key.open(QIODevice::ReadOnly))
        qFatal("The test certificate was not written");
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(QSslCertificate(certificate.readAll()));
    tls.setPrivateKey(QSslKey(key.readAll(), QSsl::Ec));
    tls.setPeerVerifyMode(QSslSocket::VerifyNone); // the server asks no client certificate
    return tls;
}

void WebRequestTest::initTestCase()
{
    QVERIFY(dir_.isValid());
    QFile config(dir_.filePath("test.cnf"));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write(kOpensslConfig);
    config.close();
    trusted_ = Tls("trusted");
    untrusted_ = Tls("untrusted");
    QFile authority(dir_.filePath("trusted-ca.pem"));
    QVERIFY(authority.open(QIODevice::ReadOnly));
    TrustExtraAuthority(authority.readAll());
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
    QTest::newRow("reserved characters")
        << QStringList{"q=1+1&2%/?#"} << QByteArray("q=1%2B1%262%25%2F%3F%23");
    QTest::newRow("UTF-8 bytes")
        << QStringList{QString::fromUtf8("n\xC3\xA4me=\xE2\x82\xAC \xF0\x9F\x98\x80")}
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
    TestServer server(secureServer ? &trusted_ : nullptr);
    server.answer.body = "OK\r\nsecond line";
    const FormFields fields{"cmd=feedback", "msg=hello world"};
    const QString address = server.Address("/php/check2.php");
    const Outcome outcome = Run([&] {
        return scheme.isEmpty() ? PostToServer(address, fields, 5000) : PostForm(scheme + address, fields, 5000);
    });
    QCOMPARE(outcome.error, QString());
    QCOMPARE(outcome.reply, QString("OK\r\nsecond line"));
    QCOMPARE(server.requests.size(), 1);
    const QByteArray head = HeadOf(server.requests[0]);
    QVERIFY2(head.startsWith("post /php/check2.php http/1.1"), head.constData());
    QCOMPARE(BodyOf(server.requests[0]), QByteArray("cmd=feedback&msg=hello+world"));
    QCOMPARE(head.contains("\r\nconnection: close"), secureClient);
    QCOMPARE(head.contains("\r\ncontent-type: application/x-www-form-urlencoded; charset=utf-8"),
             secureClient);
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
    TestServer server(secure ? &trusted_ : nullptr);
    server.answer.status = status;
    server.answer.body = "Internal trouble, the page";
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
    TestServer server(&untrusted_);
    server.answer.body = "must not be read";
    const Outcome outcome = Run([&] { return PostForm("https://" + server.Address(), {"a=1"}, 5000); });
    QVERIFY(!outcome.error.isEmpty());
    QCOMPARE(outcome.reply, QString());
    QVERIFY(server.requests.isEmpty());
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
    QTest::newRow("quoted, capitals")
        << true << QByteArray("text/html; Charset=\"UTF-8\"") << text.toUtf8() << text;
    QTest::newRow("iso-8859-1") << false << QByteArray("text/plain; charset=ISO-8859-1")
                                << QByteArray("Gr\xFC\xDF") << QString::fromUtf8("Gr\xC3\xBC\xC3\x9F");
    QTest::newRow("utf-16le") << true << QByteArray("text/plain;charset=utf-16le")
                              << QByteArray("O\0K\0", 4) << QString("OK");
    QTest::newRow("unknown: UTF-8")
        << false << QByteArray("text/plain; charset=x-no-such-set") << text.toUtf8() << text;
}

void WebRequestTest::replyDecodedByDeclaredCharset()
{
    QFETCH(bool, secure);
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, body);
    QFETCH(QString, reply);
    TestServer server(secure ? &trusted_ : nullptr);
    server.answer.contentType = contentType;
    server.answer.body = body;
    const QString url = (secure ? "https://" : "http://") + server.Address();
    const Outcome outcome = Run([&] { return PostForm(url, {"a=1"}, 5000); });
    QCOMPARE(outcome.error, QString());
    QCOMPARE(outcome.reply, reply);
}

void WebRequestTest::postToServerClosedPortRaisesSecondError()
{
    quint16 port = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        port = probe.serverPort();
    }
    const QString address = QString("127.0.0.1:%1/php/feedback.php").arg(port);
    const Outcome outcome = Run([&] { return PostToServer(address, {"a=1"}, 3000); });
    QVERIFY2(outcome.error.startsWith("http://" + address + ": "), qPrintable(outcome.error));
}

void WebRequestTest::postToServerSilentServerTimesOut()
{
    TestServer server;
    server.answer.silent = true;
    const int timeoutMs = 400;
    const Outcome outcome = Run([&] { return PostToServer(server.Address(), {"a=1"}, timeoutMs); });
    QVERIFY2(outcome.error.startsWith("http://" + server.Address() + ": "), qPrintable(outcome.error));
    QVERIFY2(outcome.error.contains("No response within 400 ms"), qPrintable(outcome.error));
    QCOMPARE(server.requests.size(), 1); // the https attempt never got as far as a request
    // Each attempt is bounded by its two time-outs; the bound here is far
    // above that so a busy machine cannot fail it, and far below a hang.
    QVERIFY2(outcome.elapsedMs < 30000, qPrintable(QString::number(outcome.elapsedMs)));
}

QTEST_GUILESS_MAIN(WebRequestTest)
#include "tst_web_request.moc"
