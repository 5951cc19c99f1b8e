// The reply of the update check, read line by line and tag by tag.
//
// Input: a reply as the server's bytes, UTF-8.
//
// Properties: the lines hold no CR or LF and, joined, give the reply without
// its line breaks; there is at most one line more than there are breaks. A
// tag's value is never empty text taken from a line that is not exactly
// "<tag>" + value + "</tag>", and always the value when it is. Only "0" and
// "1" make a reply valid. A version counts as numeric exactly when, without
// its dots, it is an optional sign and decimal digits. The update window's
// link is the reply's link only when that is an http or https address with a
// host, and the home page otherwise.
#include "support/FuzzCheck.h"

#include "online/UpdateCheck.h"

#include <QRegularExpression>

namespace {

const QString kTags[] = {QStringLiteral("version"), QStringLiteral("url"), QStringLiteral("result"),
                         QStringLiteral("important")};

void CheckTag(const QString& line, const QString& tag)
{
    const QString open = QLatin1Char('<') + tag + QLatin1Char('>');
    const QString close = QStringLiteral("</") + tag + QLatin1Char('>');
    const QString value = ExtractTag(line, tag);
    const bool framed = line.size() >= open.size() + close.size() && line.startsWith(open) && line.endsWith(close);
    if (framed)
        FUZZ_CHECK(value == line.mid(open.size(), line.size() - open.size() - close.size()));
    else
        FUZZ_CHECK(value.isEmpty());
    // A tag name in capitals reads the same lower-case tags.
    FUZZ_CHECK(ExtractTag(line, tag.toUpper()) == value);
    FUZZ_CHECK(ExtractTag(line, QString()).isEmpty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 0x10000)
        return 0;
    const QString reply = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));

    const QStringList lines = ReplyLines(reply);
    QString withoutBreaks = reply;
    withoutBreaks.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
    FUZZ_CHECK(lines.join(QString()) == withoutBreaks);
    FUZZ_CHECK(lines.size() <= reply.count(QLatin1Char('\r')) + reply.count(QLatin1Char('\n')) + 1);
    if (reply.isEmpty())
        FUZZ_CHECK(lines.isEmpty());

    static const QRegularExpression numeric(QStringLiteral("\\A[+-]?[0-9]+\\z"));
    const QUrl home(QStringLiteral("https://www.lantrix.invalid/"));
    for (const QString& line : lines) {
        FUZZ_CHECK(!line.contains(QLatin1Char('\r')) && !line.contains(QLatin1Char('\n')));
        for (const QString& tag : kTags)
            CheckTag(line, tag);

        FUZZ_CHECK(IsValidResult(line) == (line == QLatin1String("0") || line == QLatin1String("1")));
        FUZZ_CHECK(IsNumericVersion(line) == numeric.match(QString(line).remove(QLatin1Char('.'))).hasMatch());

        const QUrl address = UpdateDownloadAddress(line, home);
        if (address != home) {
            const QString scheme = address.scheme();
            FUZZ_CHECK(scheme == QLatin1String("http") || scheme == QLatin1String("https"));
            FUZZ_CHECK(!address.host().isEmpty());
        }
    }
    return 0;
}
