#include "online/WebRequest.h"

#include <QStringDecoder>
#include <QUrl>

#include <curl/curl.h>

#include <chrono>
#include <memory>
#include <mutex>

namespace {

std::mutex extraAuthorityMutex;
QByteArray extraAuthority;

QByteArray ExtraAuthority()
{
    std::lock_guard lock(extraAuthorityMutex);
    return extraAuthority;
}

void InitCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct TCurlDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct TMultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct TSlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// The reply's body as far as it is read: at most `limit` bytes.
struct TReplyBody {
    QByteArray data;
    qsizetype limit = kReplyLimitBytes;
    bool tooLong = false;
};

size_t AppendBody(char* data, size_t size, size_t count, void* sink)
{
    auto* body = static_cast<TReplyBody*>(sink);
    const size_t bytes = size * count;
    if (bytes > size_t(body->limit - body->data.size())) {
        body->tooLong = true;
        return 0; // ends the transfer (CURLE_WRITE_ERROR)
    }
    body->data.append(data, qsizetype(bytes));
    return bytes;
}

// The result codes of a certificate that failed the check, or that could not
// be checked for want of the authorities to check it with.
bool IsCertificateFailure(CURLcode result)
{
    switch (result) {
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS: return true;
    default: return false;
    }
}

// The wait for the response, counted from the moment the connection stands
// (TLS included) and bounded apart from the connection time-out (none when
// `limit` is 0); and the caller's request to give up.
struct TResponseClock {
    CURL* handle = nullptr;
    bool secure = false;
    std::chrono::steady_clock::time_point start;
    std::chrono::milliseconds limit{0};
    const std::atomic<bool>* abort = nullptr;
    bool expired = false;
    bool aborted = false;
};

// libcurl calls this often while a transfer runs, and at least every second
// while it waits for anything (resolving, connecting, the response).
int CheckResponseTime(void* clientp, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    auto* clock = static_cast<TResponseClock*>(clientp);
    if (clock->abort && clock->abort->load(std::memory_order_acquire)) {
        clock->aborted = true;
        return 1;
    }
    if (clock->limit.count() == 0)
        return 0;
    curl_off_t connectedUs = 0;
    curl_easy_getinfo(clock->handle, clock->secure ? CURLINFO_APPCONNECT_TIME_T : CURLINFO_CONNECT_TIME_T,
                      &connectedUs);
    if (connectedUs == 0)
        return 0; // still connecting: the connection time-out applies
    const auto waited = std::chrono::steady_clock::now() - clock->start - std::chrono::microseconds(connectedUs);
    if (waited > clock->limit) {
        clock->expired = true;
        return 1;
    }
    return 0;
}

// Carries the transfer of `curl` out, looking at `abort` (when given) at
// least every 100 ms meanwhile, also while libcurl itself waits for a name,
// a connection or an answer; sets `aborted` when it gives up for that.
CURLcode Perform(CURL* curl, const std::atomic<bool>* abort, bool& aborted)
{
    constexpr int kLookMs = 100;
    std::unique_ptr<CURLM, TMultiDeleter> multi(curl_multi_init());
    if (!multi || curl_multi_add_handle(multi.get(), curl) != CURLM_OK)
        return CURLE_FAILED_INIT;
    CURLcode result = CURLE_OK;
    for (;;) {
        int running = 0;
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
        if (running == 0) {
            result = CURLE_GOT_NOTHING;
            int left = 0;
            while (const CURLMsg* message = curl_multi_info_read(multi.get(), &left))
                if (message->msg == CURLMSG_DONE && message->easy_handle == curl)
                    result = message->data.result;
            break;
        }
        if (abort && abort->load(std::memory_order_acquire)) {
            aborted = true;
            result = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        if (curl_multi_poll(multi.get(), nullptr, 0, kLookMs, nullptr) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
    }
    curl_multi_remove_handle(multi.get(), curl);
    return result;
}

} // namespace

// The charset parameter of a Content-Type value, empty when there is none.
QByteArray DeclaredCharset(const char* contentType)
{
    if (!contentType)
        return {};
    const QList<QByteArray> parameters = QByteArray(contentType).split(';');
    for (qsizetype i = 1; i < parameters.size(); ++i) {
        const QByteArray parameter = parameters[i].trimmed();
        const qsizetype equals = parameter.indexOf('=');
        if (equals < 0 || parameter.left(equals).trimmed().toLower() != "charset")
            continue;
        QByteArray value = parameter.mid(equals + 1).trimmed();
        if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
            value = value.mid(1, value.size() - 2);
        return value;
    }
    return {};
}

QString DecodeReply(const QByteArray& body, const QByteArray& charset)
{
    // UTF-8 under any of its names reads as an undeclared body does. For the
    // other sets the body is whole: a decoder that kept state would hold back
    // a character cut off at its end and drop it, where the malformed bytes
    // should give a replacement character.
    if (!charset.isEmpty() && QStringConverter::encodingForName(charset.constData()) != QStringConverter::Utf8) {
        QStringDecoder decoder(charset.constData(), QStringConverter::Flag::Stateless);
        if (decoder.isValid())
            return decoder.decode(body);
    }
    return QString::fromUtf8(body);
}

namespace {

QByteArray FormEncode(const QString& text)
{
    return QUrl::toPercentEncoding(text, " ").replace(' ', '+');
}

[[noreturn]] void Fail(const QString& url, const QString& message)
{
    throw TWebError((url + ": " + message).toStdString());
}

} // namespace

bool IsReservedInvalidHost(const QString& host)
{
    QString name = host.toLower();
    if (name.endsWith(QLatin1Char('.')))
        name.chop(1);
    return name == QLatin1String("invalid") || name.endsWith(QLatin1String(".invalid"));
}

bool MayRetryOverPlainHttp(const std::exception& secureError)
{
    return !dynamic_cast<const TWebCertificateError*>(&secureError) && !dynamic_cast<const TWebAborted*>(&secureError);
}

QByteArray EncodeFormFields(const FormFields& fields)
{
    QByteArray body;
    for (const QString& entry : fields) {
        if (!body.isEmpty())
            body += '&';
        const qsizetype equals = entry.indexOf('=');
        body += FormEncode(equals < 0 ? entry : entry.left(equals));
        body += '=';
        if (equals >= 0)
            body += FormEncode(entry.mid(equals + 1));
    }
    return body;
}

QString PostForm(const QString& url, const FormFields& fields, int timeoutMs, const std::atomic<bool>* abort)
{
    if (abort && abort->load(std::memory_order_acquire))
        throw TWebAborted((url + ": The request was aborted.").toStdString());
    // A name under ".invalid" never resolves: it is not even asked for.
    if (IsReservedInvalidHost(QUrl(url).host()))
        Fail(url, QStringLiteral("The host lies under the reserved domain \".invalid\"; nothing is sent."));
    InitCurlOnce();
    const bool secure = url.toLower().startsWith("https://");
    std::unique_ptr<CURL, TCurlDeleter> handle(curl_easy_init());
    if (!handle)
        Fail(url, "The HTTP client could not be created.");
    CURL* curl = handle.get();

    const QByteArray address = url.toUtf8();
    const QByteArray body = EncodeFormFields(fields);
    TReplyBody reply;
    char errorText[CURL_ERROR_SIZE] = {};

    curl_easy_setopt(curl, CURLOPT_URL, address.constData());
    curl_easy_setopt(curl, CURLOPT_POST, 1L);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.constData());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(body.size()));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, AppendBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L); // called from more than one thread

    // Certificates are always verified, whoever calls.
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    const QByteArray authority = ExtraAuthority();
    if (!authority.isEmpty()) {
        curl_blob blob{const_cast<char*>(authority.constData()), size_t(authority.size()), CURL_BLOB_COPY};
        curl_easy_setopt(curl, CURLOPT_CAINFO_BLOB, &blob);
    }

    // A connection time-out, and the response time-out counted from the
    // moment the connection stands until the answer is complete; the overall
    // limit only backs both up.
    const long timeout = timeoutMs > 0 ? timeoutMs : 0;
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, timeout);
    TResponseClock clock{curl, secure, std::chrono::steady_clock::now(), std::chrono::milliseconds(timeout), abort};
    if (timeout > 0)
        curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, 2 * timeout + 1000);
    if (abort) {
        // Giving up must not wait for a name look-up still under way: its
        // thread is left to end by itself.
        curl_easy_setopt(curl, CURLOPT_QUICK_EXIT, 1L);
    }
    if (timeout > 0 || abort) {
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, CheckResponseTime);
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &clock);
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    }

    std::unique_ptr<curl_slist, TSlistDeleter> headers;
    auto addHeader = [&headers](const char* header) {
        if (curl_slist* extended = curl_slist_append(headers.get(), header)) {
            headers.release(); // now the head of `extended`
            headers.reset(extended);
        }
    };
    if (secure) {
        addHeader("Connection: close");
        addHeader("Content-Type: application/x-www-form-urlencoded; charset=utf-8");
    }
    addHeader("Expect:"); // the whole body at once, without waiting for "100 Continue"
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());

    const CURLcode result = Perform(curl, abort, clock.aborted);
    if (clock.aborted)
        throw TWebAborted((url + ": The request was aborted.").toStdString());
    if (clock.expired)
        Fail(url, QString("No response within %1 ms.").arg(timeout));
    if (reply.tooLong)
        Fail(url, QString("The reply is longer than %1 bytes.").arg(reply.limit));
    if (result != CURLE_OK) {
        const QString message = QString::fromUtf8(errorText[0] ? errorText : curl_easy_strerror(result));
        if (IsCertificateFailure(result))
            throw TWebCertificateError((url + ": " + message).toStdString());
        Fail(url, message);
    }

    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    if (!secure && status >= 400)
        Fail(url, QString("The server answered with HTTP status %1.").arg(status));

    const char* contentType = nullptr;
    curl_easy_getinfo(curl, CURLINFO_CONTENT_TYPE, &contentType);
    return DecodeReply(reply.data, DeclaredCharset(contentType));
}

QString PostToServer(const QString& serverAddress, const FormFields& fields, int timeoutMs)
{
    try {
        return PostForm("https://" + serverAddress, fields, timeoutMs);
    } catch (const std::exception& secureError) {
        if (!MayRetryOverPlainHttp(secureError))
            throw;
        return PostForm("http://" + serverAddress, fields, timeoutMs);
    }
}

void TrustExtraAuthority(const QByteArray& pem)
{
    std::lock_guard lock(extraAuthorityMutex);
    extraAuthority = pem;
}
