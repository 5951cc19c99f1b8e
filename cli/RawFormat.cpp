#include "cli/RawFormat.h"

#include "capture/SampleFormats.h"

#include <QRegularExpression>

std::optional<TRawFormat> ParseRawFormat(const QString& text)
{
    // Anchored at both ends of the text: "$" alone would also match before a
    // line break at the end.
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(QStringLiteral("([1-9][0-9]{0,5})x([1-9][0-9]{0,5}):([A-Za-z0-9]{3,4})")));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const TSampleFormatInfo* format = SampleFormatNamed(match.capturedView(3));
    if (!format)
        return std::nullopt;
    return TRawFormat{match.captured(1).toInt(), match.captured(2).toInt(), format->FourCC};
}
