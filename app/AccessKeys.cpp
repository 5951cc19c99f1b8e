#include "app/AccessKeys.h"

#include <QSet>

namespace {

// The position of the character after the caption's access-key "&", or -1.
qsizetype AccessKeyPosition(const QString& caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != QLatin1Char('&'))
            continue;
        if (caption[i + 1] != QLatin1Char('&'))
            return i + 1;
        ++i; // "&&": a literal ampersand
    }
    return -1;
}

} // namespace

QStringList WithAccessKeys(const QStringList& captions)
{
    QSet<QChar> used;
    for (const QString& caption : captions)
        if (const qsizetype at = AccessKeyPosition(caption); at >= 0)
            used.insert(caption[at].toCaseFolded());

    QStringList result;
    result.reserve(captions.size());
    for (const QString& caption : captions) {
        QString marked = caption;
        if (AccessKeyPosition(caption) < 0) {
            for (qsizetype i = 0; i < caption.size(); ++i) {
                const QChar c = caption[i];
                if (c == QLatin1Char('&')) {
                    ++i; // the second half of a literal "&&"
                    continue;
                }
                if (!c.isLetterOrNumber() || used.contains(c.toCaseFolded()))
                    continue;
                used.insert(c.toCaseFolded());
                marked.insert(i, QLatin1Char('&'));
                break;
            }
        }
        result.append(marked);
    }
    return result;
}

QString WithoutAccessKey(const QString& caption)
{
    QString plain;
    plain.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&')) {
            if (i + 1 < caption.size() && caption[i + 1] == QLatin1Char('&'))
                plain.append(caption[++i]);
            continue;
        }
        plain.append(caption[i]);
    }
    return plain;
}
