// Web links: http: and https: addresses.
#include "content/Content.h"
#include "content/ContentLines.h"

#include <QUrl>

std::optional<TWebLink> ParseWebLink(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (!HasPrefix(trimmed, QLatin1String("http://")) && !HasPrefix(trimmed, QLatin1String("https://")))
        return std::nullopt;
    for (const QChar c : trimmed)
        if (c.isSpace() || c.category() == QChar::Other_Control)
            return std::nullopt;
    const QUrl url(trimmed, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return std::nullopt;
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return std::nullopt;
    return TWebLink{QString::fromUtf8(url.toEncoded())};
}
