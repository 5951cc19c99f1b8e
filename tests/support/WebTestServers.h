#pragma once
// HTTP servers on 127.0.0.1 for tests of the form POST, plain or TLS, each
// serving from a thread of its own so that a request that blocks the test's
// thread (the feedback window sends on the GUI thread) is still answered.
// The TLS certificates come from openssl, run at test time.

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QSslConfiguration>
#include <QString>
#include <QTemporaryDir>
#include <QThread>

class QObject;

// How a test server answers.
struct TAnswer {
    bool silent = false; // accept, read, and never answer
    int status = 200;
    QByteArray contentType = "text/plain";
    QByteArray body{};
    // After `body`, that many more bytes ("x"), written as the client takes
    // them, so that a long reply costs the server little; -1: without end
    // (no length given), until the client hangs up.
    qint64 filler = 0;
    // When above 0: `body` goes out one byte every `dripMs` ms.
    int dripMs = 0;
};

class QTcpSocket;

// A one-request-per-connection HTTP server on 127.0.0.1, plain or TLS; with
// `plainToo`, a TLS server that also answers plain http on the same port
// (as a web server does on its two ports), telling the two apart by the
// first byte a client sends.
class TTestServer {
public:
    explicit TTestServer(const QSslConfiguration* tls = nullptr, TAnswer answer = {}, bool plainToo = false);
    ~TTestServer();
    TTestServer(const TTestServer&) = delete;
    TTestServer& operator=(const TTestServer&) = delete;

    // "127.0.0.1:<port><path>", as PostToServer takes it.
    QString Address(const QString& path = "/php/feedback.php") const;

    void SetAnswer(const TAnswer& answer);
    // Every complete request received so far, head and body.
    QList<QByteArray> Requests() const;
    // Connections taken as plain http, whether or not a whole request came:
    // every connection of a plain server, and those of a `plainToo` server
    // whose client did not open with a TLS greeting.
    int PlainConnections() const;
    // Body bytes handed to the sockets so far.
    qint64 BodyBytesSent() const;

private:
    void Accept();
    void Serve(QTcpSocket* socket, bool plain);
    void WriteBody(QTcpSocket* socket, const TAnswer& answer);
    bool Silent() const;

    QThread fThread;
    QObject* fContext = nullptr; // lives on fThread, owns the server
    quint16 fPort = 0;
    mutable QMutex fMutex;
    TAnswer fAnswer;
    QList<QByteArray> fRequests;
    int fPlainConnections = 0;
    qint64 fBodyBytesSent = 0;
};

// A port on 127.0.0.1 where nothing listens.
quint16 ClosedPort();

QByteArray HeadOf(const QByteArray& request); // lower case
QByteArray BodyOf(const QByteArray& request);

// Test certificate authorities and server certificates signed by them, made
// by openssl in a temporary folder.
class TTestCertificates {
public:
    TTestCertificates();

    // A server key and certificate for 127.0.0.1 signed by a new authority
    // `name`; qFatal when openssl fails.
    QSslConfiguration Server(const QString& name);
    // The PEM of the authority `name` made by Server().
    QByteArray AuthorityPem(const QString& name) const;

private:
    QString Make(const QStringList& arguments);

    QTemporaryDir fDir;
};
