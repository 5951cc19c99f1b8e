// Telephone numbers: tel: (RFC 3966).
#include "content/Content.h"
#include "content/ContentLines.h"

#include <QUrl>

std::optional<TPhone> ParsePhone(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (!HasPrefix(trimmed, QLatin1String("tel:")))
        return std::nullopt;
    // Parameters such as ";ext=12" or ";phone-context=" are not part of the number to dial.
    const QString number = PercentDecoded(trimmed.mid(4).section(u';', 0, 0)).trimmed();
    if (!LooksLikeNumber(number))
        return std::nullopt;
    return TPhone{number};
}

QString PhoneUrl(const TPhone& phone)
{
    return QStringLiteral("tel:") + QString::fromUtf8(QUrl::toPercentEncoding(phone.number, "+-.()*"));
}
