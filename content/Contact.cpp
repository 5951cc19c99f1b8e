// Contacts: vCard (2.1, 3.0, 4.0) and MECARD:, and the card each is saved as.
#include "content/Content.h"
#include "content/ContentLines.h"

namespace {

bool IsOneOf(const QString& name, std::initializer_list<const char*> names)
{
    for (const char* candidate : names)
        if (name == QLatin1String(candidate))
            return true;
    return false;
}

// A vCard 2.1 value as vCard 3.0 writes it. It is read as the shown fields
// are: a backslash takes the character after it ("\n" a line end), an
// unescaped ";" separates the components of a structured value. 3.0 escapes
// a comma, a backslash, a line end, and in a text value every ";".
QString Value30Of21(const QString& value, bool structured)
{
    const auto escaped = [](QChar c) -> QString {
        if (c == u'\n')
            return QStringLiteral("\\n");
        if (c == u'\\' || c == u',' || c == u';')
            return QStringLiteral("\\") + c;
        return c == u'\r' ? QString() : QString(c);
    };
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == u'\\' && i + 1 < value.size()) {
            const QChar next = value.at(++i);
            out += (next == u'n' || next == u'N') ? QStringLiteral("\\n") : escaped(next);
        } else if (c == u';' && structured)
            out += c;
        else
            out += escaped(c);
    }
    return out;
}

// A value decoded from quoted-printable may hold line ends, which a content
// line cannot: they are written as the escape "\n".
QString WithoutLineEnds(const QString& value)
{
    QString out = value;
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\\n"));
    out.replace(u'\n', QStringLiteral("\\n"));
    out.remove(u'\r');
    return out;
}

// The parameters of a line as they are written to the saved card: the
// encoding and character set of a decoded value dropped; from a 2.1 card,
// bare types named and BASE64 under 3.0's name.
QStringList SavedParams(const TLine& line, bool from21)
{
    QStringList params;
    for (const QString& param : line.params) {
        const QString trimmed = param.trimmed();
        const QString upper = trimmed.toUpper();
        if (upper.isEmpty() || upper == QLatin1String("QUOTED-PRINTABLE")
            || upper == QLatin1String("ENCODING=QUOTED-PRINTABLE") || upper.startsWith(QLatin1String("CHARSET=")))
            continue;
        if (!from21)
            params.append(trimmed);
        else if (upper == QLatin1String("BASE64") || upper == QLatin1String("ENCODING=BASE64"))
            params.append(QStringLiteral("ENCODING=b"));
        else if (upper == QLatin1String("7BIT") || upper == QLatin1String("8BIT")
                 || upper == QLatin1String("ENCODING=7BIT") || upper == QLatin1String("ENCODING=8BIT"))
            continue;
        else if (!trimmed.contains(u'='))
            params.append(QStringLiteral("TYPE=") + trimmed);
        else
            params.append(trimmed);
    }
    return params;
}

QString LineText(const QString& group, const QString& name, const QStringList& params, const QString& value)
{
    QString text = group.isEmpty() ? name : group + u'.' + name;
    for (const QString& param : params)
        text += u';' + param;
    return text + u':' + value;
}

// The card a vCard is saved as: its lines from BEGIN to END, written again.
QByteArray SavedVCard(const QList<TLine>& lines, const QString& version, const TContact& contact)
{
    const bool from21 = version == QLatin1String("2.1");
    QByteArray card = "BEGIN:VCARD\r\n";
    card += FoldedLine(QStringLiteral("VERSION:") + (from21 ? QStringLiteral("3.0") : version));
    bool hasFormatted = false, hasStructured = false;
    for (const TLine& line : lines) {
        hasFormatted = hasFormatted || line.name == QLatin1String("FN");
        hasStructured = hasStructured || line.name == QLatin1String("N");
    }
    // vCard 3.0 asks for both names, 4.0 for the formatted one.
    if (!hasFormatted)
        card += FoldedLine(QStringLiteral("FN:") + Escaped(contact.name));
    if (!hasStructured && version != QLatin1String("4.0"))
        card += FoldedLine(QStringLiteral("N:") + Escaped(contact.name) + QStringLiteral(";;;;"));
    for (const TLine& line : lines) {
        if (IsOneOf(line.name, {"BEGIN", "END", "VERSION"}))
            continue;
        QString value = RawValue(line);
        if (from21 && IsOneOf(line.name, {"N", "ADR", "ORG"}))
            value = Value30Of21(value, true);
        else if (from21 && IsOneOf(line.name, {"FN", "NOTE", "TITLE", "ROLE", "LABEL"}))
            value = Value30Of21(value, false);
        else
            value = WithoutLineEnds(value);
        card += FoldedLine(LineText(line.group, line.name, SavedParams(line, from21), value));
    }
    card += "END:VCARD\r\n";
    return card;
}

std::optional<TContact> ParseMeCard(const QString& trimmed)
{
    const auto fields = RecordFields(trimmed.mid(7));
    if (!fields)
        return std::nullopt;
    TContact contact;
    // N:family,given
    const QString name = FieldValue(*fields, QStringLiteral("N")).trimmed();
    const qsizetype comma = name.indexOf(u',');
    const QString family = comma < 0 ? name : name.left(comma).trimmed();
    const QString given = comma < 0 ? QString() : name.mid(comma + 1).trimmed();
    contact.name = (given + u' ' + family).trimmed();
    if (contact.name.isEmpty())
        return std::nullopt;
    contact.phones = FieldValues(*fields, QStringLiteral("TEL"));
    contact.emails = FieldValues(*fields, QStringLiteral("EMAIL"));
    contact.organization = FieldValue(*fields, QStringLiteral("ORG")).trimmed();
    contact.title = FieldValue(*fields, QStringLiteral("TITLE")).trimmed();
    contact.address = FieldValue(*fields, QStringLiteral("ADR")).trimmed();
    contact.url = FieldValue(*fields, QStringLiteral("URL")).trimmed();
    contact.note = FieldValue(*fields, QStringLiteral("NOTE")).trimmed();
    const QString birthday = FieldValue(*fields, QStringLiteral("BDAY")).trimmed();

    // The same as vCard 3.0.
    QByteArray card = "BEGIN:VCARD\r\nVERSION:3.0\r\n";
    card += FoldedLine(QStringLiteral("N:") + Escaped(family) + u';' + Escaped(given) + QStringLiteral(";;;"));
    card += FoldedLine(QStringLiteral("FN:") + Escaped(contact.name));
    for (const QString& phone : contact.phones)
        card += FoldedLine(QStringLiteral("TEL:") + WithoutLineEnds(phone));
    for (const QString& email : contact.emails)
        card += FoldedLine(QStringLiteral("EMAIL;TYPE=INTERNET:") + WithoutLineEnds(email));
    if (!contact.organization.isEmpty())
        card += FoldedLine(QStringLiteral("ORG:") + Escaped(contact.organization));
    if (!contact.title.isEmpty())
        card += FoldedLine(QStringLiteral("TITLE:") + Escaped(contact.title));
    // MECARD gives the address as one text: the street part of ADR holds it.
    if (!contact.address.isEmpty())
        card += FoldedLine(QStringLiteral("ADR:;;") + Escaped(contact.address) + QStringLiteral(";;;;"));
    if (!contact.url.isEmpty())
        card += FoldedLine(QStringLiteral("URL:") + WithoutLineEnds(contact.url));
    if (!contact.note.isEmpty())
        card += FoldedLine(QStringLiteral("NOTE:") + Escaped(contact.note));
    if (!birthday.isEmpty())
        card += FoldedLine(QStringLiteral("BDAY:") + WithoutLineEnds(birthday));
    card += "END:VCARD\r\n";
    contact.card = card;
    return contact;
}

std::optional<TContact> ParseVCard(const QString& trimmed)
{
    const QList<TLine> lines = ContentLines(trimmed);
    if (lines.isEmpty() || lines.first().name != QLatin1String("BEGIN")
        || lines.first().value.trimmed().compare(QLatin1String("VCARD"), Qt::CaseInsensitive) != 0)
        return std::nullopt;
    bool ended = false;
    QString version;
    QString formatted, structured;
    TContact contact;
    QList<TLine> cardLines;
    for (const TLine& line : lines.mid(1)) {
        if (line.name == QLatin1String("END")) {
            ended = line.value.trimmed().compare(QLatin1String("VCARD"), Qt::CaseInsensitive) == 0;
            break;
        }
        if (line.name == QLatin1String("BEGIN"))
            return std::nullopt; // nested cards: not one contact
        cardLines.append(line);
        const QString value = TextValue(line);
        if (line.name == QLatin1String("VERSION"))
            version = line.value.trimmed();
        else if (line.name == QLatin1String("FN"))
            formatted = value;
        else if (line.name == QLatin1String("N")) {
            // family;given;additional;prefix;suffix
            const QStringList parts = Components(RawValue(line));
            QStringList shown;
            for (int index : {3, 1, 2, 0, 4})
                if (index < parts.size() && !Unescaped(parts.at(index)).isEmpty())
                    shown.append(Unescaped(parts.at(index)));
            structured = shown.join(u' ');
        } else if (line.name == QLatin1String("TEL") && !value.isEmpty())
            contact.phones.append(value.startsWith(QLatin1String("tel:"), Qt::CaseInsensitive) ? value.mid(4) : value);
        else if (line.name == QLatin1String("EMAIL") && !value.isEmpty())
            contact.emails.append(value);
        else if (line.name == QLatin1String("ORG"))
            contact.organization = JoinedComponents(line);
        else if (line.name == QLatin1String("TITLE"))
            contact.title = value;
        else if (line.name == QLatin1String("ADR") && contact.address.isEmpty())
            contact.address = JoinedComponents(line);
        else if (line.name == QLatin1String("URL") && contact.url.isEmpty())
            contact.url = value;
        else if (line.name == QLatin1String("NOTE"))
            contact.note = value;
    }
    if (!ended)
        return std::nullopt;
    if (version != QLatin1String("2.1") && version != QLatin1String("3.0") && version != QLatin1String("4.0"))
        return std::nullopt;
    contact.name = !formatted.isEmpty() ? formatted : structured;
    if (contact.name.isEmpty())
        return std::nullopt;
    contact.card = SavedVCard(cardLines, version, contact);
    return contact;
}

} // namespace

std::optional<TContact> ParseContact(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (HasPrefix(trimmed, QLatin1String("MECARD:")))
        return ParseMeCard(trimmed);
    if (HasPrefix(trimmed, QLatin1String("BEGIN:VCARD")))
        return ParseVCard(trimmed);
    return std::nullopt;
}

QByteArray ContactVCard(const TContact& contact)
{
    if (!contact.card.isEmpty())
        return contact.card;
    QByteArray out = "BEGIN:VCARD\r\nVERSION:3.0\r\n";
    out += FoldedLine(QStringLiteral("FN:") + Escaped(contact.name));
    // N is required in 3.0; the whole name goes into its family part.
    out += FoldedLine(QStringLiteral("N:") + Escaped(contact.name) + QStringLiteral(";;;;"));
    for (const QString& phone : contact.phones)
        out += FoldedLine(QStringLiteral("TEL:") + Escaped(phone));
    for (const QString& email : contact.emails)
        out += FoldedLine(QStringLiteral("EMAIL;TYPE=INTERNET:") + Escaped(email));
    const std::pair<const char*, const QString*> single[] = {
        {"ORG", &contact.organization}, {"TITLE", &contact.title}, {"URL", &contact.url}, {"NOTE", &contact.note}};
    for (const auto& [name, value] : single)
        if (!value->isEmpty())
            out += FoldedLine(QLatin1String(name) + u':' + Escaped(*value));
    if (!contact.address.isEmpty())
        out += FoldedLine(QStringLiteral("ADR:;;") + Escaped(contact.address) + QStringLiteral(";;;;"));
    out += "END:VCARD\r\n";
    return out;
}
