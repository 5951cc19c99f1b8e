// The screenshot portal's answers: the Response signal's code and results,
// and the error that the bus gives for a call.
//
// Input: the response code (32-bit), a byte choosing how the "uri" result is
// typed (text, bytes, a number, a list of texts, missing) and whether other
// results come with it, then the uri's bytes. For the bus's error, the same
// bytes split at the first NUL give its name and its message.
//
// Properties: code 0 with a file: URI of this machine's (no host) and an
// absolute path gives that file; code 0 with anything else (no uri, another
// scheme, a relative path, a host) has failed with a message; 1 is
// cancelled without a message; every other code has failed with a message.
// A call error is "no portal" exactly for the bus's errors of a missing
// service, object, interface or method, or a lost connection, and has
// failed otherwise; both come with a message.
#include "support/FuzzCheck.h"

#include "app/ScreenshotPortal.h"

#include <QUrl>

namespace {

const QStringList kMissingPortal = {
    QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown"),
    QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner"),
    QStringLiteral("org.freedesktop.DBus.Error.UnknownObject"),
    QStringLiteral("org.freedesktop.DBus.Error.UnknownInterface"),
    QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"),
    QStringLiteral("org.freedesktop.DBus.Error.Disconnected"),
};

// A file: URI of this machine's (no host) with an absolute path.
bool LocalPictureFile(const QUrl& url)
{
    return url.isLocalFile() && url.host().isEmpty() && url.toLocalFile().startsWith(QLatin1Char('/'))
           && !url.toLocalFile().startsWith(QLatin1String("//"));
}

void CheckResponse(uint32_t response, uint8_t typing, const QByteArray& uriBytes)
{
    QVariantMap results;
    const QString uriText = QString::fromUtf8(uriBytes);
    switch (typing % 5) {
    case 0: results.insert(QStringLiteral("uri"), uriText); break;
    case 1: results.insert(QStringLiteral("uri"), uriBytes); break;
    case 2: results.insert(QStringLiteral("uri"), uriBytes.size()); break;
    case 3: results.insert(QStringLiteral("uri"), QStringList{uriText, uriText}); break;
    case 4: break;
    }
    if (typing & 0x10)
        results.insert(QStringLiteral("color"), uriText);
    const QString uri = results.value(QStringLiteral("uri")).toString();

    const TScreenshotOutcome outcome = ScreenshotOutcome(response, results);
    if (response == 1) {
        FUZZ_CHECK(outcome.status == TScreenshotOutcome::TStatus::Cancelled);
        FUZZ_CHECK(outcome.message.isEmpty() && outcome.file.isEmpty());
        return;
    }
    if (outcome.status == TScreenshotOutcome::TStatus::Taken) {
        FUZZ_CHECK(response == 0);
        const QUrl url(uri);
        FUZZ_CHECK(LocalPictureFile(url));
        FUZZ_CHECK(outcome.file == url.toLocalFile());
        FUZZ_CHECK(outcome.message.isEmpty());
        return;
    }
    FUZZ_CHECK(outcome.status == TScreenshotOutcome::TStatus::Failed);
    FUZZ_CHECK(!outcome.message.isEmpty() && outcome.file.isEmpty());
    // Only an answer without a usable local file fails under code 0.
    if (response == 0) {
        FUZZ_CHECK(!LocalPictureFile(QUrl(uri)));
    }
}

void CheckCallError(const QByteArray& bytes)
{
    const qsizetype nul = bytes.indexOf('\0');
    const QString name = QString::fromUtf8(nul < 0 ? bytes : bytes.left(nul));
    const QString message = nul < 0 ? QString() : QString::fromUtf8(bytes.mid(nul + 1));
    const TScreenshotOutcome outcome = ScreenshotCallError(name, message);
    FUZZ_CHECK(outcome.status
               == (kMissingPortal.contains(name) ? TScreenshotOutcome::TStatus::NoPortal
                                                 : TScreenshotOutcome::TStatus::Failed));
    FUZZ_CHECK(!outcome.message.isEmpty() && outcome.file.isEmpty());
    if (!message.isEmpty())
        FUZZ_CHECK(outcome.message.contains(message));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 0x4000)
        return 0;
    TFuzzInput input(data, size);
    const uint32_t response = input.Word32();
    const uint8_t typing = input.Byte();
    const QByteArray rest = input.RestBytes();
    CheckResponse(response, typing, rest);
    CheckCallError(rest);
    return 0;
}
