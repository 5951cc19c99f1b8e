#include "support/WebTestServers.h"

#include <QFile>
#include <QMutexLocker>
#include <QProcess>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>

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

}  // namespace

TestServer::TestServer(const QSslConfiguration* tls, Answer answer)
    : answer_(std::move(answer))
{
    context_ = new QObject;
    context_->moveToThread(&thread_);
    thread_.start();
    QMetaObject::invokeMethod(
        context_,
        [this, tls] {
            QTcpServer* server = nullptr;
            if (tls) {
                auto* secure = new QSslServer(context_);
                secure->setSslConfiguration(*tls);
                server = secure;
            } else {
                server = new QTcpServer(context_);
            }
            server->setObjectName(QStringLiteral("server"));
            QObject::connect(server, &QTcpServer::pendingConnectionAvailable, context_, [this] { Accept(); });
            if (!server->listen(QHostAddress::LocalHost))
                qFatal("The test server cannot listen: %s", qPrintable(server->errorString()));
            port_ = server->serverPort();
        },
        Qt::BlockingQueuedConnection);
}

TestServer::~TestServer()
{
    QMetaObject::invokeMethod(context_, [this] { delete context_; }, Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
}

QString TestServer::Address(const QString& path) const
{
    return QString("127.0.0.1:%1%2").arg(port_).arg(path);
}

void TestServer::SetAnswer(const Answer& answer)
{
    QMutexLocker lock(&mutex_);
    answer_ = answer;
}

bool TestServer::Silent() const
{
    QMutexLocker lock(&mutex_);
    return answer_.silent;
}

QList<QByteArray> TestServer::Requests() const
{
    QMutexLocker lock(&mutex_);
    return requests_;
}

void TestServer::Accept()
{
    auto* server = context_->findChild<QTcpServer*>(QStringLiteral("server"));
    while (QTcpSocket* socket = server->nextPendingConnection()) {
        auto buffer = std::make_shared<QByteArray>();
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
            *buffer += socket->readAll();
            // A TLS greeting sent to the plain server: hang up at once, as a
            // plain web server does, instead of waiting for a request head
            // that never comes. A silent server stays silent to anything.
            if (buffer->startsWith('\x16') && !Silent()) {
                socket->abort();
                return;
            }
            const qsizetype headEnd = buffer->indexOf("\r\n\r\n");
            if (headEnd < 0)
                return;
            qsizetype length = 0;
            for (const QByteArray& line : buffer->left(headEnd).split('\n'))
                if (line.toLower().startsWith("content-length:"))
                    length = line.mid(15).trimmed().toLongLong();
            if (buffer->size() < headEnd + 4 + length)
                return;
            Answer answer;
            {
                QMutexLocker lock(&mutex_);
                requests_.append(*buffer);
                answer = answer_;
            }
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
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

quint16 ClosedPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost))
        qFatal("No free port on 127.0.0.1");
    return probe.serverPort();
}

QByteArray HeadOf(const QByteArray& request)
{
    return request.left(request.indexOf("\r\n\r\n")).toLower();
}

QByteArray BodyOf(const QByteArray& request)
{
    return request.mid(request.indexOf("\r\n\r\n") + 4);
}

TestCertificates::TestCertificates()
{
    if (!dir_.isValid())
        qFatal("No temporary folder for the test certificates");
    QFile config(dir_.filePath("test.cnf"));
    if (!config.open(QIODevice::WriteOnly) || config.write(kOpensslConfig) < 0)
        qFatal("The openssl configuration was not written");
}

QString TestCertificates::Make(const QStringList& arguments)
{
    QProcess openssl;
    openssl.setWorkingDirectory(dir_.path());
    openssl.start("openssl", arguments);
    if (!openssl.waitForFinished(60000) || openssl.exitCode() != 0)
        return QString::fromLocal8Bit(openssl.readAllStandardError()) + openssl.errorString();
    return {};
}

QSslConfiguration TestCertificates::Server(const QString& name)
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

QByteArray TestCertificates::AuthorityPem(const QString& name) const
{
    QFile authority(dir_.filePath(name + "-ca.pem"));
    if (!authority.open(QIODevice::ReadOnly))
        qFatal("The test authority was not written");
    return authority.readAll();
}
