// Language files: their lines, and the lookup of a translation in them.
//
// Properties: the lines are the file's text (UTF-8, one leading byte-order
// mark skipped) split at CR LF, LF and CR, none holding a line break; the
// translation of a key is what follows "{key}" in the first line that starts
// with it, and a key that no line starts with is its own translation.
#include "support/FuzzCheck.h"
#include "support/TextOracle.h"

#include "localization/LanguageFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 0x10000)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString path = WriteFuzzFile(QStringLiteral("Fuzz.lang.txt"), bytes);
    const QStringList lines = ReadLanguageFileLines(path);

    const QByteArray text = bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
    FUZZ_CHECK(lines == ReferenceLines(QString::fromUtf8(text)));
    for (const QString& line : lines)
        FUZZ_CHECK(!line.contains(QLatin1Char('\r')) && !line.contains(QLatin1Char('\n')));

    // Every key that a line names: the text between its "{" and its first "}".
    qsizetype checked = 0;
    for (const QString& line : lines) {
        if (!line.startsWith(QLatin1Char('{')) || checked++ > 64)
            continue;
        const qsizetype close = line.indexOf(QLatin1Char('}'));
        if (close < 0)
            continue;
        const QString key = line.mid(1, close - 1);
        QString expected = key;
        for (const QString& other : lines)
            if (other.size() >= key.size() + 2 && other.startsWith(QLatin1Char('{')) && other.mid(1, key.size()) == key
                && other[key.size() + 1] == QLatin1Char('}')) {
                expected = other.mid(key.size() + 2);
                break;
            }
        FUZZ_CHECK(LookupTranslation(key, lines) == expected);
    }
    const QString absent = QStringLiteral("\x01 no line names this key");
    FUZZ_CHECK(LookupTranslation(absent, lines) == absent);
    FUZZ_CHECK(LookupTranslation(absent, QStringList()) == absent);
    return 0;
}
