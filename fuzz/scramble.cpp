// The scrambler of the stored download link.
//
// Input: any bytes; as UTF-8 text they are scrambled, and as hexadecimal (or
// not) text they are unscrambled.
//
// Properties: scrambling gives two upper-case hexadecimal digits per UTF-8
// byte of the text, and unscrambling that gives the text back, in either
// letter case. Unscrambling text with a pair that is not hexadecimal gives
// empty text; a last unpaired character is ignored.
#include "support/FuzzCheck.h"

#include "online/UpdateCheck.h"

namespace {

bool IsHexDigit(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
           || (c >= QLatin1Char('a') && c <= QLatin1Char('f'));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 0x10000)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    // Any text, scrambled and back.
    const QString text = QString::fromUtf8(bytes);
    const QString scrambled = ScrambleText(text);
    FUZZ_CHECK(scrambled.size() == 2 * text.toUtf8().size());
    for (QChar c : scrambled)
        FUZZ_CHECK(IsHexDigit(c) && !c.isLower());
    FUZZ_CHECK(UnscrambleText(scrambled) == text);
    FUZZ_CHECK(UnscrambleText(scrambled.toLower()) == text);
    FUZZ_CHECK(UnscrambleText(scrambled + QLatin1Char('7')) == text);

    // The input itself as a stored value, which a user may have edited.
    const QString stored = QString::fromLatin1(bytes);
    bool allPairsHex = true;
    for (qsizetype i = 0; i + 1 < stored.size(); i += 2)
        allPairsHex = allPairsHex && IsHexDigit(stored[i]) && IsHexDigit(stored[i + 1]);
    const QString unscrambled = UnscrambleText(stored);
    if (!allPairsHex)
        FUZZ_CHECK(unscrambled.isEmpty());
    return 0;
}
