// E-mail: mailto: (RFC 6068) and MATMSG:.
#include "content/Content.h"
#include "content/ContentLines.h"

#include <QUrl>

namespace {

// The addresses of a comma-separated list, trimmed, empty ones left out.
QStringList AddressList(const QString& list)
{
    QStringList addresses;
    for (const QString& address : list.split(u',', Qt::SkipEmptyParts))
        if (!address.trimmed().isEmpty())
            addresses.append(address.trimmed());
    return addresses;
}

QString AddressesInUrl(const QStringList& addresses)
{
    QStringList encoded;
    for (const QString& address : addresses)
        encoded.append(QString::fromUtf8(QUrl::toPercentEncoding(address, "@")));
    return encoded.join(u',');
}

} // namespace

std::optional<TEmail> ParseEmail(const QString& text)
{
    const QString trimmed = text.trimmed();
    TEmail email;
    if (HasPrefix(trimmed, QLatin1String("mailto:"))) {
        const QString rest = trimmed.mid(7);
        const qsizetype question = rest.indexOf(u'?');
        for (const QString& address : rest.left(question).split(u',', Qt::SkipEmptyParts))
            email.to.append(PercentDecoded(address).trimmed());
        if (question >= 0) {
            for (const auto& [name, value] : QueryItems(rest.mid(question + 1))) {
                if (name == QLatin1String("subject"))
                    email.subject = value;
                else if (name == QLatin1String("body"))
                    email.body = value;
                else if (name == QLatin1String("to"))
                    email.to += AddressList(value);
                else if (name == QLatin1String("cc"))
                    email.cc += AddressList(value);
                else if (name == QLatin1String("bcc"))
                    email.bcc += AddressList(value);
            }
        }
    } else if (HasPrefix(trimmed, QLatin1String("MATMSG:"))) {
        const auto fields = RecordFields(trimmed.mid(7));
        if (!fields)
            return std::nullopt;
        email.to = FieldValues(*fields, QStringLiteral("TO"));
        email.cc = FieldValues(*fields, QStringLiteral("CC"));
        email.bcc = FieldValues(*fields, QStringLiteral("BCC"));
        email.subject = FieldValue(*fields, QStringLiteral("SUB"));
        email.body = FieldValue(*fields, QStringLiteral("BODY"));
    } else {
        return std::nullopt;
    }
    if (email.to.isEmpty())
        return std::nullopt;
    // An address the user cannot read as it is (hidden characters, a
    // right-to-left override) makes the whole message untrusted.
    for (const QStringList* list : {&email.to, &email.cc, &email.bcc})
        for (const QString& address : *list)
            if (!LooksLikeAddress(address))
                return std::nullopt;
    return email;
}

QString EmailUrl(const TEmail& email)
{
    return QStringLiteral("mailto:") + AddressesInUrl(email.to)
           + QueryText({{QStringLiteral("cc"), email.cc.join(u',')},
                        {QStringLiteral("bcc"), email.bcc.join(u',')},
                        {QStringLiteral("subject"), email.subject},
                        {QStringLiteral("body"), email.body}});
}
