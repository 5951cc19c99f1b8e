#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <stdexcept>

// The form POST that the feedback window and the update check send to the
// maker's web server: https first, then plain http once.

// An ordered list of "name=value" entries, the values not yet encoded. The
// list's order is the order of the fields on the wire; everything after the
// first "=" is the value, line breaks included.
using FormFields = QStringList;

// A failure to resolve, connect, negotiate TLS, send or receive within the
// time-outs, or an error status of the plain client. what() is the message.
class TWebError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    QString Message() const { return QString::fromUtf8(what()); }
};

// A request given up because its caller asked for that (PostForm's `abort`).
class TWebAborted : public TWebError {
public:
    using TWebError::TWebError;
};

// The body of the standard HTML form encoding: name and value of every entry
// percent-encoded from their UTF-8 bytes, a space written as "+", the pairs
// joined by "&" in list order. An entry without "=" is a name with an empty
// value.
QByteArray EncodeFormFields(const FormFields& fields);

// The charset parameter of a Content-Type header's value ("text/plain;
// charset=\"koi8-r\"" gives koi8-r), empty when there is none or no value.
QByteArray DeclaredCharset(const char* contentType);

// A reply's body decoded by the character set it declares; UTF-8 when that
// is empty or unknown here.
QString DecodeReply(const QByteArray& body, const QByteArray& charset);

// POSTs `fields` to `url` and gives the reply body decoded by the character
// set the reply declares (UTF-8 when it declares none or one unknown here).
// A URL starting with "https://" in any case takes the secure client, which
// sends "Connection: close" and the content type with its character set and
// returns any body whatever the status; every other URL takes the plain
// client, for which an error status (400 and up) is a failure. `timeoutMs`
// bounds the connection and, separately, the wait for the response.
// Certificates are always verified. Raises TWebError.
//
// `abort`, when given, may be set by another thread at any time: the call
// then gives the transfer up within about a tenth of a second, whatever it
// is waiting for (at once when it is set before the call), and raises
// TWebAborted. A program that quits sets it, so that no request holds it up.
QString PostForm(const QString& url, const FormFields& fields, int timeoutMs,
                 const std::atomic<bool>* abort = nullptr);

// PostForm to "https://" + `serverAddress` (host and path, no scheme), and
// when that raises anything, once more to "http://" + `serverAddress`. Gives
// the first reply; raises the second attempt's error when both fail.
QString PostToServer(const QString& serverAddress, const FormFields& fields, int timeoutMs);

// Makes the secure client trust a certificate authority (PEM) of the caller's
// for every call from now on; an empty text goes back to the system's
// authorities alone. While one is set, libcurl may take it in place of the
// system's bundle, so this is for tests: it lets them serve TLS from
// 127.0.0.1 without ever switching verification off.
void TrustExtraAuthority(const QByteArray& pem);
