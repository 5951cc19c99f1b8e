#include "support/WebTestServers.h"

#include <QFile>
#include <QMutexLocker>
#include <QProcess>
#include <QSocketNotifier>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <memory>

namespace {

// Takes each connection as TLS or plain by the first byte the client sends,
// peeked at the socket so that the TLS layer still gets every byte: a TLS
// greeting starts with a handshake record (0x16), an http request with a
// letter.
class TSniffingServer : public QTcpServer {
public:
    TSniffingServer(QSslConfiguration tls, std::function<void(QTcpSocket*, bool)> serve, QObject* parent)
        : QTcpServer(parent)
        , fTls(std::move(tls))
        , fServe(std::move(serve))
    {
    }

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto* notifier = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this, notifier, descriptor] {
            notifier->setEnabled(false);
            notifier->deleteLater();
            char first = 0;
            if (::recv(int(descriptor), &first, 1, MSG_PEEK) != 1) {
                ::close(int(descriptor)); // hung up without a word
                return;
            }
            if (first == '\x16') {
                auto* socket = new QSslSocket(this);
                socket->setSocketDescriptor(descriptor);
                socket->setSslConfiguration(fTls);
                socket->startServerEncryption();
                fServe(socket, false);
            } else {
                auto* socket = new QTcpSocket(this);
                socket->setSocketDescriptor(descriptor);
                fServe(socket, true);
            }
        });
    }

private:
    QSslConfiguration fTls;
    std::function<void(QTcpSocket*, bool)> fServe;
};

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

} // namespace

TTestServer::TTestServer(const QSslConfiguration* tls, TAnswer answer, bool plainToo)
    : fAnswer(std::move(answer))
{
    fContext = new QObject;
    fContext->moveToThread(&fThread);
    fThread.start();
    QMetaObject::invokeMethod(
        fContext,
        [this, tls, plainToo] {
            QTcpServer* server = nullptr;
            if (tls && plainToo) {
                server = new TSniffingServer(
                    *tls, [this](QTcpSocket* socket, bool plain) { Serve(socket, plain); }, fContext);
            } else if (tls) {
                auto* secure = new QSslServer(fContext);
                secure->setSslConfiguration(*tls);
                server = secure;
            } else {
                server = new QTcpServer(fContext);
            }
            server->setObjectName(QStringLiteral("server"));
            QObject::connect(server, &QTcpServer::pendingConnectionAvailable, fContext, [this] { Accept(); });
            if (!server->listen(QHostAddress::LocalHost))
                qFatal("The test server cannot listen: %s", qPrintable(server->errorString()));
            fPort = server->serverPort();
        },
        Qt::BlockingQueuedConnection);
}

TTestServer::~TTestServer()
{
    const auto end = [this] { delete fContext; };
    QMetaObject::invokeMethod(fContext, end, Qt::BlockingQueuedConnection);
    fThread.quit();
    fThread.wait();
}

QString TTestServer::Address(const QString& path) const
{
    return QString("127.0.0.1:%1%2").arg(fPort).arg(path);
}

void TTestServer::SetAnswer(const TAnswer& answer)
{
    QMutexLocker lock(&fMutex);
    fAnswer = answer;
}

bool TTestServer::Silent() const
{
    QMutexLocker lock(&fMutex);
    return fAnswer.silent;
}

QList<QByteArray> TTestServer::Requests() const
{
    QMutexLocker lock(&fMutex);
    return fRequests;
}

int TTestServer::PlainConnections() const
{
    QMutexLocker lock(&fMutex);
    return fPlainConnections;
}

qint64 TTestServer::BodyBytesSent() const
{
    QMutexLocker lock(&fMutex);
    return fBodyBytesSent;
}

void TTestServer::Accept()
{
    auto* server = fContext->findChild<QTcpServer*>(QStringLiteral("server"));
    const bool plain = !qobject_cast<QSslServer*>(server);
    while (QTcpSocket* socket = server->nextPendingConnection())
        Serve(socket, plain);
}

void TTestServer::WriteBody(QTcpSocket* socket, const TAnswer& answer)
{
    auto sent = [this](qint64 bytes) {
        QMutexLocker lock(&fMutex);
        fBodyBytesSent += bytes;
    };
    if (answer.filler != 0) {
        sent(qMax<qint64>(0, socket->write(answer.body)));
        // Keeps a little ahead of the client, for as long as it reads.
        const QByteArray chunk(16 * 1024, 'x');
        auto left = std::make_shared<qint64>(answer.filler); // below 0: without end
        auto* secure = qobject_cast<QSslSocket*>(socket);
        auto more = [socket, secure, chunk, left, sent] {
            auto queued = [socket, secure] {
                return socket->bytesToWrite() + (secure ? secure->encryptedBytesToWrite() : 0);
            };
            while (*left != 0 && socket->state() == QAbstractSocket::ConnectedState && queued() < 4 * chunk.size()) {
                const qint64 size = *left < 0 ? chunk.size() : qMin<qint64>(*left, chunk.size());
                const qint64 written = socket->write(chunk.constData(), size);
                if (written <= 0)
                    break;
                sent(written);
                if (*left > 0)
                    *left -= written;
            }
            if (*left == 0 && socket->state() == QAbstractSocket::ConnectedState)
                socket->disconnectFromHost(); // once what is written has gone out
        };
        QObject::connect(socket, &QTcpSocket::bytesWritten, socket, more);
        if (secure) // the TLS layer's bytes leaving for the network
            QObject::connect(secure, &QSslSocket::encryptedBytesWritten, socket, more);
        more();
    } else if (answer.dripMs > 0 && !answer.body.isEmpty()) {
        auto* timer = new QTimer(socket);
        auto next = std::make_shared<qsizetype>(0);
        QObject::connect(timer, &QTimer::timeout, socket, [socket, timer, next, body = answer.body, sent] {
            sent(qMax<qint64>(0, socket->write(body.mid(*next, 1))));
            if (++*next == body.size()) {
                timer->stop();
                socket->disconnectFromHost();
            }
        });
        timer->start(answer.dripMs);
    } else {
        sent(qMax<qint64>(0, socket->write(answer.body)));
        socket->disconnectFromHost();
    }
}

void TTestServer::Serve(QTcpSocket* socket, bool plain)
{
    if (plain) {
        QMutexLocker lock(&fMutex);
        ++fPlainConnections;
    }
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
        TAnswer answer;
        {
            QMutexLocker lock(&fMutex);
            fRequests.append(*buffer);
            answer = fAnswer;
        }
        buffer->clear();
        if (answer.silent)
            return;
        QByteArray head = "HTTP/1.1 " + QByteArray::number(answer.status) + " Test\r\n";
        head += "Content-Type: " + answer.contentType + "\r\n";
        if (answer.filler >= 0)
            head += "Content-Length: " + QByteArray::number(answer.body.size() + answer.filler) + "\r\n";
        head += "Connection: close\r\n\r\n";
        socket->write(head);
        WriteBody(socket, answer);
    });
    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
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

TTestCertificates::TTestCertificates()
{
    if (!fDir.isValid())
        qFatal("No temporary folder for the test certificates");
    QFile config(fDir.filePath("test.cnf"));
    if (!config.open(QIODevice::WriteOnly) || config.write(kOpensslConfig) < 0)
        qFatal("The openssl configuration was not written");
}

QString TTestCertificates::Make(const QStringList& arguments)
{
    QProcess openssl;
    openssl.setWorkingDirectory(fDir.path());
    openssl.start("openssl", arguments);
    if (!openssl.waitForFinished(60000) || openssl.exitCode() != 0)
        return QString::fromLocal8Bit(openssl.readAllStandardError()) + openssl.errorString();
    return {};
}

QSslConfiguration TTestCertificates::Server(const QString& name)
{
    const QStringList newKey = {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
    QString failure =
        Make(QStringList{"req", "-x509", "-config", "test.cnf", "-extensions", "authority", "-keyout", name + "-ca.key",
                         "-out", name + "-ca.pem", "-days", "2", "-subj", "/CN=Lantrix test authority " + name}
             + newKey);
    if (failure.isEmpty())
        failure = Make(QStringList{"req", "-config", "test.cnf", "-keyout", name + ".key", "-out", name + ".csr",
                                   "-subj", "/CN=127.0.0.1"}
                       + newKey);
    if (failure.isEmpty())
        failure = Make({"x509", "-req", "-in", name + ".csr", "-CA", name + "-ca.pem", "-CAkey", name + "-ca.key",
                        "-CAcreateserial", "-days", "2", "-extfile", "test.cnf", "-extensions", "server", "-out",
                        name + ".pem"});
    if (!failure.isEmpty())
        qFatal("openssl failed: %s", qPrintable(failure));

    QFile certificate(fDir.filePath(name + ".pem"));
    QFile key(fDir.filePath(name + ".key"));
    if (!certificate.open(QIODevice::ReadOnly) || !key.open(QIODevice::ReadOnly))
        qFatal("The test certificate was not written");
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(QSslCertificate(certificate.readAll()));
    tls.setPrivateKey(QSslKey(key.readAll(), QSsl::Ec));
    tls.setPeerVerifyMode(QSslSocket::VerifyNone); // the server asks no client certificate
    return tls;
}

QByteArray TTestCertificates::AuthorityPem(const QString& name) const
{
    QFile authority(fDir.filePath(name + "-ca.pem"));
    if (!authority.open(QIODevice::ReadOnly))
        qFatal("The test authority was not written");
    return authority.readAll();
}
