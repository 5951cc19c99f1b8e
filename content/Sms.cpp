// Text messages: SMSTO: and sms: (RFC 5724).
#include "content/Content.h"
#include "content/ContentLines.h"

#include <QUrl>

std::optional<TSms> ParseSms(const QString& text)
{
    const QString trimmed = text.trimmed();
    TSms sms;
    if (HasPrefix(trimmed, QLatin1String("SMSTO:"))) {
        // SMSTO:number:message; the message may hold further ":".
        const QString rest = trimmed.mid(6);
        const qsizetype colon = rest.indexOf(u':');
        sms.number = rest.left(colon).trimmed();
        sms.body = colon >= 0 ? rest.mid(colon + 1) : QString();
    } else if (HasPrefix(trimmed, QLatin1String("sms:"))) {
        // sms:number[,number...][?body=...]; the first number is taken.
        const QString rest = trimmed.mid(4);
        const qsizetype question = rest.indexOf(u'?');
        sms.number = PercentDecoded(rest.left(question).section(u',', 0, 0).section(u';', 0, 0)).trimmed();
        if (question >= 0)
            for (const auto& [name, value] : QueryItems(rest.mid(question + 1)))
                if (name == QLatin1String("body"))
                    sms.body = value;
    } else {
        return std::nullopt;
    }
    if (!LooksLikeNumber(sms.number))
        return std::nullopt;
    return sms;
}

QString SmsUrl(const TSms& sms)
{
    return QStringLiteral("sms:") + QString::fromUtf8(QUrl::toPercentEncoding(sms.number, "+-.()*"))
           + QueryText({{QStringLiteral("body"), sms.body}});
}
