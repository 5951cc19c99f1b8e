// The argument of lantrix-scan's --raw option ("640x480:YUY2").
//
// Properties: a text is taken exactly when it is a width and a height of one
// to six digits without a leading zero, an "x" between them, a colon and the
// name of a sample format in any letter case, decided here character by
// character; what is taken is those numbers and that format, and writing them
// out again (in any letter case) gives the same.
#include "support/FuzzCheck.h"

#include "capture/SampleFormats.h"
#include "cli/RawFormat.h"

#include <iterator>

namespace {

// A number of one to six digits, the first not 0.
bool TakeNumber(const QString& text, qsizetype& at, int& value)
{
    const qsizetype start = at;
    value = 0;
    while (at < text.size() && text[at] >= QLatin1Char('0') && text[at] <= QLatin1Char('9') && at - start < 7) {
        value = value * 10 + (text[at].unicode() - '0');
        ++at;
    }
    const qsizetype digits = at - start;
    return digits >= 1 && digits <= 6 && text[start] != QLatin1Char('0');
}

std::optional<TRawFormat> Expected(const QString& text)
{
    qsizetype at = 0;
    TRawFormat raw;
    if (!TakeNumber(text, at, raw.width) || at >= text.size() || text[at] != QLatin1Char('x'))
        return std::nullopt;
    ++at;
    if (!TakeNumber(text, at, raw.height) || at >= text.size() || text[at] != QLatin1Char(':'))
        return std::nullopt;
    const QString name = text.mid(at + 1);
    for (const TSampleFormatInfo& format : kSampleFormats) {
        const QString formatName = QLatin1String(format.name);
        if (name.size() == formatName.size()) {
            bool same = true;
            for (qsizetype i = 0; i < name.size(); ++i) {
                const char16_t a = name[i].unicode();
                const char16_t b = formatName[i].unicode();
                const auto lower = [](char16_t c) { return c >= 'A' && c <= 'Z' ? char16_t(c + 32) : c; };
                same = same && lower(a) == lower(b);
            }
            if (same) {
                raw.fourCC = format.FourCC;
                return raw;
            }
        }
    }
    return std::nullopt;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 4096)
        return 0;
    const QString text = QString::fromLocal8Bit(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<TRawFormat> parsed = ParseRawFormat(text);
    const std::optional<TRawFormat> expected = Expected(text);
    FUZZ_CHECK(parsed.has_value() == expected.has_value());
    if (!parsed)
        return 0;
    FUZZ_CHECK(parsed->width == expected->width && parsed->height == expected->height
               && parsed->fourCC == expected->fourCC);
    FUZZ_CHECK(parsed->width >= 1 && parsed->width <= 999999 && parsed->height >= 1 && parsed->height <= 999999);
    const QString name = FourCC::ToString(parsed->fourCC);
    for (const QString& written :
         {QStringLiteral("%1x%2:%3").arg(parsed->width).arg(parsed->height).arg(name),
          QStringLiteral("%1x%2:%3").arg(parsed->width).arg(parsed->height).arg(name.toLower())}) {
        const std::optional<TRawFormat> again = ParseRawFormat(written);
        FUZZ_CHECK(again && again->width == parsed->width && again->height == parsed->height
                   && again->fourCC == parsed->fourCC);
    }
    return 0;
}
