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

// The server's certificate failed the check (an unknown authority, another
// host's name, expired, revoked), or could not be checked at all. Someone
// may stand between us and the server: nothing is sent to it in clear text
// after this.
class TWebCertificateError : public TWebError {
public:
    using TWebError::TWebError;
};

// The most of a reply's body that is read, in bytes. Both pages answer in a
// few hundred bytes; a longer reply fails the request.
inline constexpr qsizetype kReplyLimitBytes = 64 * 1024;

// True when `host` lies under the reserved top-level domain ".invalid" (RFC
// 6761), in any letter case and with or without a final dot. Such a name is
// never looked up and no request goes to it.
bool IsReservedInvalidHost(const QString& host);

// True when a failed https attempt may be made once more over plain http:
// any failure but a certificate that failed the check (and an abort).
bool MayRetryOverPlainHttp(const std::exception& secureError);

// The body of the standard HTML form encoding: name and value of every entry
// percent-encoded from their UTF-8 bytes, a space written as "+", the pairs
// joined by "&" in list order. An entry without "=" is a name with an empty
// value.
QByteArray EncodeFormFields(const FormFields& fields);

// The charset parameter of a Content-Type header's value ("text/plain;
// charset=\"koi8-r\"" gives koi8-r), empty when there is none or no value.
QByteArray DeclaredCharset(const char* contentType);

// A reply's body decoded by the character set it declares; UTF-8 when that
// is empty or unknown here. Malformed bytes, a character cut off at the end
// of the body included, give replacement characters.
QString DecodeReply(const QByteArray& body, const QByteArray& charset);

// POSTs `fields` to `url` and gives the reply body decoded by the character
// set the reply declares (UTF-8 when it declares none or one unknown here).
// A URL starting with "https://" in any case takes the secure client, which
// sends "Connection: close" and the content type with its character set and
// returns any body whatever the status; every other URL takes the plain
// client, for which an error status (400 and up) is a failure. `timeoutMs`
// bounds the connection and, separately, the whole answer: from the moment
// the connection stands until the last byte of the reply has come. A body
// longer than kReplyLimitBytes ends the transfer there and fails the
// request. Certificates are always verified; a failed check raises
// TWebCertificateError. A host under ".invalid" fails at once, without a
// name look-up. Raises TWebError.
//
// `abort`, when given, may be set by another thread at any time: the call
// then gives the transfer up within about a tenth of a second, whatever it
// is waiting for (at once when it is set before the call), and raises
// TWebAborted. A program that quits sets it, so that no request holds it up.
QString PostForm(const QString& url, const FormFields& fields, int timeoutMs, const std::atomic<bool>* abort = nullptr);

// PostForm to "https://" + `serverAddress` (host and path, no scheme), and
// when that fails for any reason but the server's certificate
// (MayRetryOverPlainHttp), once more to "http://" + `serverAddress`. Gives
// the first reply; raises the second attempt's error when both fail, and the
// certificate error when there was no second attempt.
QString PostToServer(const QString& serverAddress, const FormFields& fields, int timeoutMs);

// Makes the secure client trust a certificate authority (PEM) of the caller's
// for every call from now on; an empty text goes back to the system's
// authorities alone. While one is set, libcurl may take it in place of the
// system's bundle, so this is for tests: it lets them serve TLS from
// 127.0.0.1 without ever switching verification off.
void TrustExtraAuthority(const QByteArray& pem);
