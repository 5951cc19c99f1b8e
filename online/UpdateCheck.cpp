#include "online/UpdateCheck.h"

#include <cstdint>

namespace {

// The scrambler's start value (below 256), multiplier and addend: the
// program's own, since only the program reads back what it stored.
constexpr std::uint16_t kScrambleStart = 0x5C;
constexpr std::uint16_t kScrambleMultiplier = 0x9E37;
constexpr std::uint16_t kScrambleAddend = 0x7F4A;

std::uint16_t NextKey(std::uint16_t key, std::uint8_t scrambled)
{
    return static_cast<std::uint16_t>((std::uint32_t(key) + scrambled) * kScrambleMultiplier + kScrambleAddend);
}

int HexDigit(QChar c)
{
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
        return c.unicode() - '0';
    if (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
        return c.unicode() - 'A' + 10;
    return -1;
}

} // namespace

QString ExtractTag(const QString& line, const QString& tag)
{
    if (line.isEmpty() || tag.isEmpty())
        return {};
    const QString name = tag.toLower();
    const QString opening = QLatin1Char('<') + name + QLatin1Char('>');
    const QString closing = QStringLiteral("</") + name + QLatin1Char('>');
    if (line.size() < opening.size() + closing.size() || !line.startsWith(opening) || !line.endsWith(closing))
        return {};
    return line.mid(opening.size(), line.size() - opening.size() - closing.size());
}

QStringList ReplyLines(const QString& reply)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < reply.size(); ++i) {
        const QChar c = reply[i];
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        lines.append(reply.mid(start, i - start));
        if (c == QLatin1Char('\r') && i + 1 < reply.size() && reply[i + 1] == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < reply.size())
        lines.append(reply.mid(start));
    return lines;
}

QString ScrambleText(const QString& text)
{
    static const char kDigits[] = "0123456789ABCDEF";
    const QByteArray bytes = text.toUtf8();
    QString hex;
    hex.reserve(bytes.size() * 2);
    std::uint16_t key = kScrambleStart;
    for (const char byte : bytes) {
        const auto scrambled = static_cast<std::uint8_t>(static_cast<std::uint8_t>(byte) ^ (key >> 8));
        key = NextKey(key, scrambled);
        hex += QLatin1Char(kDigits[scrambled >> 4]);
        hex += QLatin1Char(kDigits[scrambled & 0x0F]);
    }
    return hex;
}

QString UnscrambleText(const QString& hex)
{
    const QString upper = hex.toUpper();
    QByteArray bytes;
    bytes.reserve(upper.size() / 2);
    std::uint16_t key = kScrambleStart;
    for (qsizetype i = 0; i + 1 < upper.size(); i += 2) {
        const int high = HexDigit(upper[i]);
        const int low = HexDigit(upper[i + 1]);
        if (high < 0 || low < 0)
            return {};
        const auto scrambled = static_cast<std::uint8_t>(high * 16 + low);
        bytes += static_cast<char>(scrambled ^ (key >> 8));
        key = NextKey(key, scrambled);
    }
    return QString::fromUtf8(bytes);
}

void TCheckErrors::Clear()
{
    CheckError = false;
    CheckErrorLog.clear();
}

void RecordCheckError(TCheckErrors& errors, const QString& message)
{
    if (message.trimmed().isEmpty())
        return;
    errors.CheckError = true;
    if (!errors.CheckErrorLog.isEmpty())
        errors.CheckErrorLog += QStringLiteral("\r\r");
    errors.CheckErrorLog += message;
}

FormFields CheckFields(const QString& appCaption, const QString& appVersion, const QString& osDescription,
                       const QString& localeTag, const QString& machineId)
{
    return {QStringLiteral("cmd=check"),
            QStringLiteral("appname=") + appCaption,
            QStringLiteral("version=") + appVersion,
            QStringLiteral("os=") + osDescription,
            QStringLiteral("local=") + localeTag,
            QStringLiteral("guid=") + machineId};
}

bool IsValidResult(const QString& result)
{
    return result == QLatin1String("0") || result == QLatin1String("1");
}

bool IsNumericVersion(const QString& version)
{
    const QString number = QString(version).remove(QLatin1Char('.'));
    qsizetype i = 0;
    if (i < number.size() && (number[i] == QLatin1Char('+') || number[i] == QLatin1Char('-')))
        ++i;
    if (i == number.size())
        return false;
    for (; i < number.size(); ++i)
        if (number[i] < QLatin1Char('0') || number[i] > QLatin1Char('9'))
            return false;
    return true;
}

bool IsUpdateDue(const QString& latestVersion, const QString& appVersion, const QString& lastCheckDay,
                 const QString& today, int countToday)
{
    return latestVersion != appVersion && IsNumericVersion(latestVersion)
           && (lastCheckDay != today || countToday < kChecksPerDay);
}

QUrl UpdateDownloadAddress(const QString& downloadLink, const QUrl& homePage)
{
    const QUrl link(downloadLink.trimmed(), QUrl::StrictMode);
    const QString scheme = link.scheme().toLower();
    if (!downloadLink.isEmpty() && link.isValid()
        && (scheme == QLatin1String("http") || scheme == QLatin1String("https")) && !link.host().isEmpty())
        return link;
    return homePage;
}
