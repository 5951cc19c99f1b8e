#include "localization/FormatPattern.h"

#include "localization/LanguageFiles.h"

std::optional<QString> FormatOneString(const QString& pattern, const QString& argument)
{
    QString result;
    result.reserve(pattern.size() + argument.size());
    int strings = 0;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        if (c != QLatin1Char('%')) {
            result.append(c);
            continue;
        }
        const QChar next = i + 1 < pattern.size() ? pattern.at(i + 1) : QChar();
        if (next == QLatin1Char('%')) {
            result.append(c);
        } else if (next == QLatin1Char('s') && ++strings == 1) {
            result.append(argument);
        } else {
            return std::nullopt;
        }
        ++i;
    }
    if (strings != 1)
        return std::nullopt;
    return result;
}

QString FormatTranslated(const QString& englishPattern, const QString& argument)
{
    if (std::optional<QString> translated = FormatOneString(Translate(englishPattern), argument))
        return *translated;
    return FormatOneString(englishPattern, argument).value_or(englishPattern);
}
