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
struct Answer {
    bool silent = false; // accept, read, and never answer
    int status = 200;
    QByteArray contentType = "text/plain";
    QByteArray body{};
};

// A one-request-per-connection HTTP server on 127.0.0.1, plain or TLS.
class TestServer {
public:
    explicit TestServer(const QSslConfiguration* tls = nullptr, Answer answer = {});
    ~TestServer();
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    // "127.0.0.1:<port><path>", as PostToServer takes it.
    QString Address(const QString& path = "/php/feedback.php") const;

    void SetAnswer(const Answer& answer);
    // Every complete request received so far, head and body.
    QList<QByteArray> Requests() const;

private:
    void Accept();
    bool Silent() const;

    QThread thread_;
    QObject* context_ = nullptr; // lives on thread_, owns the server
    quint16 port_ = 0;
    mutable QMutex mutex_;
    Answer answer_;
    QList<QByteArray> requests_;
};

// A port on 127.0.0.1 where nothing listens.
quint16 ClosedPort();

QByteArray HeadOf(const QByteArray& request); // lower case
QByteArray BodyOf(const QByteArray& request);

// Test certificate authorities and server certificates signed by them, made
// by openssl in a temporary folder.
class TestCertificates {
public:
    TestCertificates();

    // A server key and certificate for 127.0.0.1 signed by a new authority
    // `name`; qFatal when openssl fails.
    QSslConfiguration Server(const QString& name);
    // The PEM of the authority `name` made by Server().
    QByteArray AuthorityPem(const QString& name) const;

private:
    QString Make(const QStringList& arguments);

    QTemporaryDir dir_;
};
