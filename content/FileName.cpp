#include "content/FileName.h"

#include "content/TextCheck.h"

#include <QTextBoundaryFinder>

namespace {

constexpr qsizetype kMaxNameBytes = 255;

bool IsKeptOut(QChar c)
{
    return c == u'/' || c == u'\\' || c == u'<' || c == u'>' || c == u':' || c == u'"' || c == u'|' || c == u'?'
           || c == u'*';
}

// `text` without leading and trailing dots and blanks.
QString WithoutDotsAround(QString text)
{
    qsizetype start = 0;
    while (start < text.size() && (text.at(start) == u'.' || text.at(start).isSpace()))
        ++start;
    qsizetype end = text.size();
    while (end > start && (text.at(end - 1) == u'.' || text.at(end - 1).isSpace()))
        --end;
    return text.mid(start, end - start);
}

// The longest start of `text` that is at most `maxBytes` in UTF-8 and ends
// between two grapheme clusters.
QString CutToBytes(const QString& text, qsizetype maxBytes)
{
    if (text.toUtf8().size() <= maxBytes)
        return text;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype kept = 0;
    qsizetype bytes = 0;
    for (qsizetype boundary = finder.toNextBoundary(); boundary > 0; boundary = finder.toNextBoundary()) {
        const qsizetype clusterBytes = QStringView(text).mid(kept, boundary - kept).toUtf8().size();
        if (bytes + clusterBytes > maxBytes)
            break;
        bytes += clusterBytes;
        kept = boundary;
    }
    return text.left(kept);
}

} // namespace

QString SuggestedFileName(const QString& name, const QString& fallback, const QString& extension)
{
    QString clean = WithoutHiddenCharacters(name);
    for (QChar& c : clean)
        if (IsKeptOut(c))
            c = u' ';
    clean = WithoutDotsAround(clean.simplified());
    const qsizetype room = kMaxNameBytes - extension.toUtf8().size();
    // Cutting may leave a dot or a blank at the end again.
    clean = WithoutDotsAround(CutToBytes(clean, room));
    if (clean.isEmpty())
        return fallback.isEmpty() ? QString() : SuggestedFileName(fallback, QString(), extension);
    return clean + extension;
}
