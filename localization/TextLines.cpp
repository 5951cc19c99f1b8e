#include "localization/TextLines.h"

QStringList SplitLines(const QString& text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype length = text.size();
    for (qsizetype i = 0; i < length; ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        lines.append(text.mid(start, i - start));
        if (c == QLatin1Char('\r') && i + 1 < length && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < length)
        lines.append(text.mid(start));
    return lines;
}

namespace {
bool IsBlankOrControl(QChar c)
{
    return c.unicode() <= 0x20 || c.category() == QChar::Other_Control;
}
} // namespace

QString TrimBlanksAndControls(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && IsBlankOrControl(text.at(first)))
        ++first;
    while (last > first && IsBlankOrControl(text.at(last - 1)))
        --last;
    return text.mid(first, last - first);
}

bool SameTextAscii(const QString& a, const QString& b)
{
    if (a.size() != b.size())
        return false;
    auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
    for (qsizetype i = 0; i < a.size(); ++i)
        if (lower(a.at(i).unicode()) != lower(b.at(i).unicode()))
            return false;
    return true;
}
