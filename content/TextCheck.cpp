#include "content/TextCheck.h"

namespace {

bool IsHidden(char32_t codePoint)
{
    switch (QChar::category(codePoint)) {
    case QChar::Other_Format:
    case QChar::Other_Control:
    case QChar::Other_Surrogate: return true;
    default: return false;
    }
}

// Calls `visit(codePoint, index, length)` for each code point of `text`; a
// lone surrogate is a code point of its own.
template <typename TVisit>
void ForEachCodePoint(const QString& text, TVisit visit)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            visit(QChar::surrogateToUcs4(c, text.at(i + 1)), i, 2);
            ++i;
        } else {
            visit(char32_t(c.unicode()), i, 1);
        }
    }
}

} // namespace

bool HoldsHiddenCharacters(const QString& text)
{
    bool hidden = false;
    ForEachCodePoint(text, [&](char32_t codePoint, qsizetype, qsizetype) { hidden = hidden || IsHidden(codePoint); });
    return hidden;
}

QString WithoutHiddenCharacters(const QString& text)
{
    QString out;
    out.reserve(text.size());
    ForEachCodePoint(text, [&](char32_t codePoint, qsizetype index, qsizetype length) {
        if (!IsHidden(codePoint))
            out += QStringView(text).mid(index, length);
    });
    return out;
}
