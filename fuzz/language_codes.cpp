// The language table LanguageCodes.csv: its decoding, and the file name it
// gives for a language identifier.
//
// Properties: the text is UTF-8 after a UTF-8 byte-order mark, UTF-16 in the
// order its byte-order mark gives, and UTF-8 (the locale's encoding) without
// one; its lines are split at CR LF, LF and CR; the file name for an
// identifier is what follows the first comma of the first line whose part
// before its first comma is that identifier, both trimmed of blanks and
// control characters; an identifier that no line has gives nothing.
#include "support/FuzzCheck.h"
#include "support/TextOracle.h"

#include "localization/LanguageCodes.h"

#include <QStringDecoder>

#include <optional>

namespace {

bool IsBlankOrControl(QChar c)
{
    return c.unicode() <= 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F);
}

QString Trim(const QString& text)
{
    qsizetype first = 0, last = text.size();
    while (first < last && IsBlankOrControl(text[first]))
        ++first;
    while (last > first && IsBlankOrControl(text[last - 1]))
        --last;
    return text.mid(first, last - first);
}

QString ReferenceText(const QByteArray& bytes)
{
    // One mark is skipped; a second one is text (U+FEFF), which
    // QString::fromUtf8 would drop as well.
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QStringDecoder(QStringConverter::Utf8,
                              QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom)
            .decode(bytes.mid(3));
    const bool little = bytes.startsWith("\xFF\xFE");
    if (little || bytes.startsWith("\xFE\xFF")) {
        QString text;
        for (qsizetype i = 2; i + 1 < bytes.size(); i += 2) {
            const auto a = uchar(bytes[i]), b = uchar(bytes[i + 1]);
            text.append(QChar(little ? char16_t(a | (b << 8)) : char16_t((a << 8) | b)));
        }
        // Code units as they are, lone surrogates too; a last odd byte is U+FFFD.
        if (bytes.size() % 2 == 1)
            text.append(QChar(QChar::ReplacementCharacter));
        return text;
    }
    return QString::fromUtf8(bytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 0x10000)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList lines = DecodeLanguageCodeTable(bytes);
    FUZZ_CHECK(lines == ReferenceLines(ReferenceText(bytes)));
    FUZZ_CHECK(ReadLanguageCodeTable(WriteFuzzFile(QStringLiteral("LanguageCodes.csv"), bytes)) == lines);

    qsizetype checked = 0;
    for (const QString& line : lines) {
        const qsizetype comma = line.indexOf(QLatin1Char(','));
        if (comma < 0 || checked++ > 64)
            continue;
        const QString code = Trim(line.left(comma));
        std::optional<QString> expected;
        for (const QString& other : lines) {
            const qsizetype otherComma = other.indexOf(QLatin1Char(','));
            if (otherComma >= 0 && Trim(other.left(otherComma)) == code) {
                expected = Trim(other.mid(otherComma + 1));
                break;
            }
        }
        FUZZ_CHECK(expected.has_value());
        FUZZ_CHECK(LanguageFileForCode(lines, code) == expected);
    }
    FUZZ_CHECK(!LanguageFileForCode(lines, QStringLiteral("\x01 no line has this code")).has_value());
    return 0;
}
