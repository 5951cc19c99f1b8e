#include "content/Content.h"

#include <QDate>
#include <QDateTime>
#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

namespace {

// Whether `text` starts with `prefix`, ignoring the case of ASCII letters.
bool HasPrefix(const QString& text, QLatin1String prefix)
{
    return text.startsWith(prefix, Qt::CaseInsensitive);
}

// The decoded text without the blanks and line ends that codes often carry
// around their content.
QString Trimmed(const QString& text)
{
    return text.trimmed();
}

QString PercentDecoded(const QString& text)
{
    return QUrl::fromPercentEncoding(text.toUtf8());
}

// The fields of a MECARD:, MATMSG: or WIFI: record: "KEY:value;" pairs, in
// which a backslash takes the next character as it is (so "\;" is a ";" of
// the value). The record ends at an empty field (";;") or at the end of the
// text. Nothing when a backslash ends the text or a field has no ":".
std::optional<QList<std::pair<QString, QString>>> RecordFields(const QString& body)
{
    QList<std::pair<QString, QString>> fields;
    QString field;
    bool escaped = false;
    bool keyDone = false;
    QString key;
    auto finish = [&]() -> bool {
        if (!keyDone)
            return false;
        fields.append({key.toUpper(), field});
        key.clear();
        field.clear();
        keyDone = false;
        return true;
    };
    for (qsizetype i = 0; i < body.size(); ++i) {
        const QChar c = body.at(i);
        if (escaped) {
            field += c;
            escaped = false;
        } else if (!keyDone) {
            if (c == u':')
                keyDone = true;
            else if (c == u';') {
                if (!key.isEmpty())
                    return std::nullopt; // a field without ":"
                return fields;           // ";;": the end of the record
            } else
                key += c;
        } else if (c == u'\\') {
            escaped = true;
        } else if (c == u';') {
            finish();
        } else {
            field += c;
        }
    }
    if (escaped)
        return std::nullopt;
    if (keyDone)
        finish();
    else if (!key.trimmed().isEmpty())
        return std::nullopt;
    return fields;
}

QString FieldValue(const QList<std::pair<QString, QString>>& fields, const QString& key)
{
    for (const auto& [name, value] : fields)
        if (name == key)
            return value;
    return QString();
}

QStringList FieldValues(const QList<std::pair<QString, QString>>& fields, const QString& key)
{
    QStringList values;
    for (const auto& [name, value] : fields)
        if (name == key && !value.trimmed().isEmpty())
            values.append(value.trimmed());
    return values;
}

// An e-mail address as far as we check it: one "@" with something on both
// sides, no blanks and none of the characters that separate addresses.
bool LooksLikeAddress(const QString& address)
{
    static const QRegularExpression pattern(QStringLiteral(R"(^[^\s@<>,;:"]+@[^\s@<>,;:"]+$)"));
    return pattern.match(address).hasMatch();
}

// A telephone number: digits with the visual separators of RFC 3966, an
// optional leading "+", and "*" and "#" for service codes.
bool LooksLikeNumber(const QString& number)
{
    static const QRegularExpression pattern(QStringLiteral(R"(^\+?[0-9*#(][0-9*#\-. ()]*$)"));
    return pattern.match(number).hasMatch() && number.contains(QRegularExpression(QStringLiteral("[0-9]")));
}

// ---- vCard and iCalendar lines ----------------------------------------------

struct TLine {
    QString name;       // upper case, without group ("item1.TEL" is "TEL")
    QStringList params; // "TYPE=CELL", "ENCODING=QUOTED-PRINTABLE", "CHARSET=UTF-8", "VALUE=DATE"
    QString value;      // raw, escapes still in it
};

// vCard 2.1 names the encoding as "ENCODING=QUOTED-PRINTABLE" or as the bare
// "QUOTED-PRINTABLE".
bool IsQuotedPrintable(const TLine& line)
{
    for (const QString& param : line.params) {
        const QString upper = param.trimmed().toUpper();
        if (upper == QLatin1String("QUOTED-PRINTABLE") || upper == QLatin1String("ENCODING=QUOTED-PRINTABLE"))
            return true;
    }
    return false;
}

QByteArray QuotedPrintableDecoded(const QByteArray& text)
{
    QByteArray out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c == '=' && i + 2 < text.size()) {
            bool ok = false;
            const int value = text.mid(i + 1, 2).toInt(&ok, 16);
            if (ok) {
                out += char(value);
                i += 2;
                continue;
            }
        }
        out += c;
    }
    return out;
}

// The content lines of a vCard or iCalendar text: folded lines joined (a line
// end followed by a blank or a tab continues the line), and in vCard 2.1 a
// quoted-printable value's soft line ends ("=" at the end of a line) too.
QList<TLine> ContentLines(const QString& text)
{
    QString joined = text;
    joined.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    joined.replace(u'\r', u'\n');
    QStringList raw;
    for (const QString& line : joined.split(u'\n')) {
        if (!raw.isEmpty() && (line.startsWith(u' ') || line.startsWith(u'\t')))
            raw.last() += line.mid(1);
        else if (!raw.isEmpty() && raw.last().endsWith(u'=')
                 && raw.last().section(u':', 0, 0).contains(QLatin1String("QUOTED-PRINTABLE"), Qt::CaseInsensitive)) {
            raw.last().chop(1);
            raw.last() += line;
        } else
            raw.append(line);
    }
    QList<TLine> lines;
    for (const QString& line : raw) {
        // The name and parameters end at the first ":" outside double quotes.
        qsizetype colon = -1;
        bool quoted = false;
        for (qsizetype i = 0; i < line.size(); ++i) {
            if (line.at(i) == u'"')
                quoted = !quoted;
            else if (line.at(i) == u':' && !quoted) {
                colon = i;
                break;
            }
        }
        if (colon <= 0)
            continue;
        QStringList head = line.left(colon).split(u';');
        TLine parsed;
        parsed.name = head.takeFirst().section(u'.', -1).trimmed().toUpper();
        parsed.params = head;
        parsed.value = line.mid(colon + 1);
        lines.append(parsed);
    }
    return lines;
}

// A text value with the escapes of vCard 3.0/4.0 and iCalendar taken out
// ("\n", "\,", "\;", "\\"); vCard 2.1 quoted-printable decoded first.
// The value as written, quoted-printable decoded (vCard 2.1; UTF-8 assumed,
// the character set codes carry).
QString RawValue(const TLine& line)
{
    if (!IsQuotedPrintable(line))
        return line.value;
    return QString::fromUtf8(QuotedPrintableDecoded(line.value.toUtf8()));
}

QString TextValue(const TLine& line)
{
    const QString value = RawValue(line);
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == u'\\' && i + 1 < value.size()) {
            const QChar next = value.at(++i);
            out += (next == u'n' || next == u'N') ? QChar(u'\n') : next;
        } else {
            out += c;
        }
    }
    return out.trimmed();
}

// The components of a structured value (N, ADR), split at ";" that are not escaped.
QStringList Components(const QString& value)
{
    QStringList parts{QString()};
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == u'\\' && i + 1 < value.size()) {
            parts.last() += c;
            parts.last() += value.at(++i);
        } else if (c == u';') {
            parts.append(QString());
        } else {
            parts.last() += c;
        }
    }
    return parts;
}

QString Unescaped(const QString& value)
{
    TLine line;
    line.value = value;
    return TextValue(line);
}

// An iCalendar DATE or DATE-TIME ("20261224", "20261224T180000", "...Z") as
// ISO 8601; nothing when it is neither.
std::optional<QString> IcsTime(const QString& value)
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(^(\d{4})(\d{2})(\d{2})(?:T(\d{2})(\d{2})(\d{2})(Z?))?$)"));
    const QRegularExpressionMatch match = pattern.match(value.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    const QDate date(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
    if (!date.isValid())
        return std::nullopt;
    if (match.captured(4).isEmpty())
        return date.toString(Qt::ISODate);
    const QTime time(match.captured(4).toInt(), match.captured(5).toInt(), match.captured(6).toInt());
    if (!time.isValid())
        return std::nullopt;
    return date.toString(Qt::ISODate) + u'T' + time.toString(Qt::ISODate) + match.captured(7);
}

// The other way: "2026-12-24T18:00:00Z" as "20261224T180000Z".
QString IcsTimeValue(const QString& iso)
{
    QString value = iso;
    value.remove(u'-');
    value.remove(u':');
    return value;
}

// A text for a vCard 3.0 or iCalendar value, its special characters escaped.
QString Escaped(const QString& text)
{
    QString out;
    for (const QChar c : text) {
        if (c == u'\\' || c == u';' || c == u',')
            out += u'\\';
        if (c == u'\n')
            out += QStringLiteral("\\n");
        else if (c != u'\r')
            out += c;
    }
    return out;
}

// Content lines longer than 75 octets are folded, as both formats ask.
QByteArray FoldedLine(const QString& line)
{
    const QByteArray bytes = line.toUtf8();
    QByteArray out;
    qsizetype start = 0;
    qsizetype width = 75;
    while (bytes.size() - start > width) {
        qsizetype cut = start + width;
        while (cut > start && (uchar(bytes.at(cut)) & 0xC0) == 0x80) // not inside a UTF-8 sequence
            --cut;
        out += bytes.mid(start, cut - start) + "\r\n ";
        start = cut;
        width = 74; // the blank that starts a continued line counts
    }
    out += bytes.mid(start) + "\r\n";
    return out;
}

double NumberOr(const QString& text, bool& ok)
{
    static const QRegularExpression pattern(QStringLiteral(R"(^[+-]?\d+(\.\d+)?$)"));
    ok = pattern.match(text).hasMatch();
    return ok ? text.toDouble() : 0;
}

} // namespace

std::optional<TWebLink> ParseWebLink(const QString& text)
{
    const QString trimmed = Trimmed(text);
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

std::optional<TEmail> ParseEmail(const QString& text)
{
    const QString trimmed = Trimmed(text);
    TEmail email;
    if (HasPrefix(trimmed, QLatin1String("mailto:"))) {
        const QString rest = trimmed.mid(7);
        const qsizetype question = rest.indexOf(u'?');
        for (const QString& address : rest.left(question).split(u',', Qt::SkipEmptyParts))
            email.to.append(PercentDecoded(address).trimmed());
        if (question >= 0) {
            for (const QString& pair : rest.mid(question + 1).split(u'&', Qt::SkipEmptyParts)) {
                const QString name = PercentDecoded(pair.section(u'=', 0, 0)).toLower();
                const QString value =
                    PercentDecoded(QString(pair.section(u'=', 1)).replace(u'+', QStringLiteral("%2B")));
                if (name == QLatin1String("subject"))
                    email.subject = value;
                else if (name == QLatin1String("body"))
                    email.body = value;
                else if (name == QLatin1String("to"))
                    for (const QString& address : value.split(u',', Qt::SkipEmptyParts))
                        email.to.append(address.trimmed());
            }
        }
    } else if (HasPrefix(trimmed, QLatin1String("MATMSG:"))) {
        const auto fields = RecordFields(trimmed.mid(7));
        if (!fields)
            return std::nullopt;
        email.to = FieldValues(*fields, QStringLiteral("TO"));
        email.subject = FieldValue(*fields, QStringLiteral("SUB"));
        email.body = FieldValue(*fields, QStringLiteral("BODY"));
    } else {
        return std::nullopt;
    }
    if (email.to.isEmpty())
        return std::nullopt;
    for (const QString& address : email.to)
        if (!LooksLikeAddress(address))
            return std::nullopt;
    return email;
}

std::optional<TPhone> ParsePhone(const QString& text)
{
    const QString trimmed = Trimmed(text);
    if (!HasPrefix(trimmed, QLatin1String("tel:")))
        return std::nullopt;
    // Parameters such as ";ext=12" or ";phone-context=" are not part of the number to dial.
    const QString number = PercentDecoded(trimmed.mid(4).section(u';', 0, 0)).trimmed();
    if (!LooksLikeNumber(number))
        return std::nullopt;
    return TPhone{number};
}

std::optional<TSms> ParseSms(const QString& text)
{
    const QString trimmed = Trimmed(text);
    TSms sms;
    if (HasPrefix(trimmed, QLatin1String("SMSTO:"))) {
        // SMSTO:number:message; the message may hold further ":".
        const QString rest = trimmed.mid(6);
        const qsizetype colon = rest.indexOf(u':');
        sms.number = rest.left(colon).trimmed();
        sms.body = colon >= 0 ? rest.mid(colon + 1) : QString();
    } else if (HasPrefix(trimmed, QLatin1String("sms:"))) {
        // sms:number[,number...][?body=...] (RFC 5724); the first number is taken.
        const QString rest = trimmed.mid(4);
        const qsizetype question = rest.indexOf(u'?');
        sms.number = PercentDecoded(rest.left(question).section(u',', 0, 0).section(u';', 0, 0)).trimmed();
        if (question >= 0)
            for (const QString& pair : rest.mid(question + 1).split(u'&', Qt::SkipEmptyParts))
                if (PercentDecoded(pair.section(u'=', 0, 0)).toLower() == QLatin1String("body"))
                    sms.body = PercentDecoded(QString(pair.section(u'=', 1)).replace(u'+', QStringLiteral("%2B")));
    } else {
        return std::nullopt;
    }
    if (!LooksLikeNumber(sms.number))
        return std::nullopt;
    return sms;
}

std::optional<TWifi> ParseWifi(const QString& text)
{
    const QString trimmed = Trimmed(text);
    if (!HasPrefix(trimmed, QLatin1String("WIFI:")))
        return std::nullopt;
    const auto fields = RecordFields(trimmed.mid(5));
    if (!fields)
        return std::nullopt;
    TWifi wifi;
    wifi.ssid = FieldValue(*fields, QStringLiteral("S"));
    // A name that could pass for hexadecimal may come in double quotes.
    if (wifi.ssid.size() >= 2 && wifi.ssid.startsWith(u'"') && wifi.ssid.endsWith(u'"'))
        wifi.ssid = wifi.ssid.mid(1, wifi.ssid.size() - 2);
    if (wifi.ssid.isEmpty() || wifi.ssid.toUtf8().size() > 32)
        return std::nullopt;
    const QString type = FieldValue(*fields, QStringLiteral("T")).trimmed().toUpper();
    if (type.isEmpty() || type == QLatin1String("NOPASS"))
        wifi.security = TWifiSecurity::None;
    else if (type == QLatin1String("WEP"))
        wifi.security = TWifiSecurity::Wep;
    else if (type == QLatin1String("WPA") || type == QLatin1String("WPA2"))
        wifi.security = TWifiSecurity::Wpa;
    else if (type == QLatin1String("SAE") || type == QLatin1String("WPA3"))
        wifi.security = TWifiSecurity::Sae;
    else
        return std::nullopt; // enterprise networks (WPA2-EAP) need more than a code gives
    if (wifi.security != TWifiSecurity::None) {
        wifi.password = FieldValue(*fields, QStringLiteral("P"));
        if (wifi.password.size() >= 2 && wifi.password.startsWith(u'"') && wifi.password.endsWith(u'"'))
            wifi.password = wifi.password.mid(1, wifi.password.size() - 2);
        if (wifi.password.isEmpty())
            return std::nullopt;
    }
    wifi.hidden =
        FieldValue(*fields, QStringLiteral("H")).trimmed().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
    return wifi;
}

namespace {

std::optional<TContact> ParseMeCard(const QString& trimmed)
{
    const auto fields = RecordFields(trimmed.mid(7));
    if (!fields)
        return std::nullopt;
    TContact contact;
    // N:family,given
    const QString name = FieldValue(*fields, QStringLiteral("N")).trimmed();
    const qsizetype comma = name.indexOf(u',');
    contact.name = comma < 0 ? name : (name.mid(comma + 1).trimmed() + u' ' + name.left(comma).trimmed()).trimmed();
    if (contact.name.isEmpty())
        return std::nullopt;
    contact.phones = FieldValues(*fields, QStringLiteral("TEL"));
    contact.emails = FieldValues(*fields, QStringLiteral("EMAIL"));
    contact.organization = FieldValue(*fields, QStringLiteral("ORG")).trimmed();
    contact.title = FieldValue(*fields, QStringLiteral("TITLE")).trimmed();
    contact.address = FieldValue(*fields, QStringLiteral("ADR")).trimmed();
    contact.url = FieldValue(*fields, QStringLiteral("URL")).trimmed();
    contact.note = FieldValue(*fields, QStringLiteral("NOTE")).trimmed();
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
    for (const TLine& line : lines.mid(1)) {
        if (line.name == QLatin1String("END")) {
            ended = line.value.trimmed().compare(QLatin1String("VCARD"), Qt::CaseInsensitive) == 0;
            break;
        }
        if (line.name == QLatin1String("BEGIN"))
            return std::nullopt; // nested cards: not one contact
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
        else if (line.name == QLatin1String("ORG")) {
            QStringList shown;
            for (const QString& part : Components(RawValue(line)))
                if (!Unescaped(part).isEmpty())
                    shown.append(Unescaped(part));
            contact.organization = shown.join(QStringLiteral(", "));
        } else if (line.name == QLatin1String("TITLE"))
            contact.title = value;
        else if (line.name == QLatin1String("ADR") && contact.address.isEmpty()) {
            QStringList shown;
            for (const QString& part : Components(RawValue(line)))
                if (!Unescaped(part).isEmpty())
                    shown.append(Unescaped(part));
            contact.address = shown.join(QStringLiteral(", "));
        } else if (line.name == QLatin1String("URL") && contact.url.isEmpty())
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
    return contact;
}

} // namespace

std::optional<TContact> ParseContact(const QString& text)
{
    const QString trimmed = Trimmed(text);
    if (HasPrefix(trimmed, QLatin1String("MECARD:")))
        return ParseMeCard(trimmed);
    if (HasPrefix(trimmed, QLatin1String("BEGIN:VCARD")))
        return ParseVCard(trimmed);
    return std::nullopt;
}

std::optional<TEvent> ParseEvent(const QString& text)
{
    const QString trimmed = Trimmed(text);
    if (!HasPrefix(trimmed, QLatin1String("BEGIN:VEVENT")) && !HasPrefix(trimmed, QLatin1String("BEGIN:VCALENDAR")))
        return std::nullopt;
    const QList<TLine> lines = ContentLines(trimmed);
    TEvent event;
    int events = 0;
    bool inEvent = false, ended = false;
    for (const TLine& line : lines) {
        const QString value = line.value.trimmed().toUpper();
        if (line.name == QLatin1String("BEGIN") && value == QLatin1String("VEVENT")) {
            if (++events > 1)
                return std::nullopt; // several events: not one to add
            inEvent = true;
            continue;
        }
        if (line.name == QLatin1String("END") && value == QLatin1String("VEVENT") && inEvent) {
            inEvent = false;
            ended = true;
            continue;
        }
        if (!inEvent)
            continue;
        if (line.name == QLatin1String("SUMMARY"))
            event.summary = TextValue(line);
        else if (line.name == QLatin1String("LOCATION"))
            event.location = TextValue(line);
        else if (line.name == QLatin1String("DESCRIPTION"))
            event.description = TextValue(line);
        else if (line.name == QLatin1String("DTSTART") || line.name == QLatin1String("DTEND")) {
            const std::optional<QString> time = IcsTime(line.value);
            if (!time)
                return std::nullopt;
            (line.name == QLatin1String("DTSTART") ? event.start : event.end) = *time;
        }
    }
    if (!ended || event.start.isEmpty())
        return std::nullopt;
    return event;
}

std::optional<TPlace> ParsePlace(const QString& text)
{
    const QString trimmed = Trimmed(text);
    if (!HasPrefix(trimmed, QLatin1String("geo:")))
        return std::nullopt;
    QString rest = trimmed.mid(4);
    TPlace place;
    const qsizetype question = rest.indexOf(u'?');
    if (question >= 0) {
        for (const QString& pair : rest.mid(question + 1).split(u'&', Qt::SkipEmptyParts))
            if (pair.section(u'=', 0, 0).toLower() == QLatin1String("q"))
                place.query = PercentDecoded(QString(pair.section(u'=', 1)).replace(u'+', u' ')).trimmed();
        rest = rest.left(question);
    }
    QStringList parameters = rest.split(u';');
    const QStringList coordinates = parameters.takeFirst().split(u',');
    for (const QString& parameter : parameters) {
        const QString name = parameter.section(u'=', 0, 0).toLower();
        if (name == QLatin1String("crs") && parameter.section(u'=', 1).toLower() != QLatin1String("wgs84"))
            return std::nullopt; // another body's or another datum's coordinates
    }
    if (coordinates.size() < 2 || coordinates.size() > 3)
        return std::nullopt;
    bool okLatitude = false, okLongitude = false;
    place.latitude = NumberOr(coordinates.at(0), okLatitude);
    place.longitude = NumberOr(coordinates.at(1), okLongitude);
    if (!okLatitude || !okLongitude || place.latitude < -90 || place.latitude > 90 || place.longitude < -180
        || place.longitude > 180)
        return std::nullopt;
    if (coordinates.size() == 3) {
        bool ok = false;
        const double altitude = NumberOr(coordinates.at(2), ok);
        if (!ok)
            return std::nullopt;
        place.altitude = altitude;
    }
    return place;
}

TContent ParseContent(const QString& text)
{
    if (auto link = ParseWebLink(text))
        return *link;
    if (auto email = ParseEmail(text))
        return *email;
    if (auto phone = ParsePhone(text))
        return *phone;
    if (auto sms = ParseSms(text))
        return *sms;
    if (auto wifi = ParseWifi(text))
        return *wifi;
    if (auto contact = ParseContact(text))
        return *contact;
    if (auto event = ParseEvent(text))
        return *event;
    if (auto place = ParsePlace(text))
        return *place;
    return TPlainText{};
}

QString ContentTypeName(const TContent& content)
{
    static const char* const kNames[] = {"text", "url", "email", "phone", "sms", "wifi", "contact", "event", "place"};
    static_assert(std::size(kNames) == std::variant_size_v<TContent>);
    return QLatin1String(kNames[content.index()]);
}

QString WifiSecurityName(TWifiSecurity security)
{
    switch (security) {
    case TWifiSecurity::Wep: return QStringLiteral("WEP");
    case TWifiSecurity::Wpa: return QStringLiteral("WPA");
    case TWifiSecurity::Sae: return QStringLiteral("SAE");
    case TWifiSecurity::None: break;
    }
    return QStringLiteral("none");
}

namespace {

QString Query(const QList<std::pair<QString, QString>>& pairs)
{
    QStringList parts;
    for (const auto& [name, value] : pairs)
        if (!value.isEmpty())
            parts.append(name + u'=' + QString::fromUtf8(QUrl::toPercentEncoding(value)));
    return parts.isEmpty() ? QString() : u'?' + parts.join(u'&');
}

QString CoordinateText(double value)
{
    return QString::number(value, 'f', 6).remove(QRegularExpression(QStringLiteral("\\.?0+$")));
}

} // namespace

QString EmailUrl(const TEmail& email)
{
    QStringList to;
    for (const QString& address : email.to)
        to.append(QString::fromUtf8(QUrl::toPercentEncoding(address, "@")));
    return QStringLiteral("mailto:") + to.join(u',')
           + Query({{QStringLiteral("subject"), email.subject}, {QStringLiteral("body"), email.body}});
}

QString PhoneUrl(const TPhone& phone)
{
    return QStringLiteral("tel:") + QString::fromUtf8(QUrl::toPercentEncoding(phone.number, "+-.()*"));
}

QString SmsUrl(const TSms& sms)
{
    return QStringLiteral("sms:") + QString::fromUtf8(QUrl::toPercentEncoding(sms.number, "+-.()*"))
           + Query({{QStringLiteral("body"), sms.body}});
}

QString PlaceGeoUrl(const TPlace& place)
{
    QString url = QStringLiteral("geo:") + CoordinateText(place.latitude) + u',' + CoordinateText(place.longitude);
    if (place.altitude)
        url += u',' + CoordinateText(*place.altitude);
    return url + Query({{QStringLiteral("q"), place.query}});
}

QString PlaceMapUrl(const TPlace& place)
{
    const QString latitude = CoordinateText(place.latitude);
    const QString longitude = CoordinateText(place.longitude);
    return QStringLiteral("https://www.openstreetmap.org/?mlat=%1&mlon=%2#map=16/%1/%2").arg(latitude, longitude);
}

QByteArray ContactVCard(const TContact& contact)
{
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

QByteArray EventICalendar(const TEvent& event)
{
    QByteArray out = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//" LANTRIX_MAKER_NAME "//" LANTRIX_PRODUCT_NAME
                     "//EN\r\nBEGIN:VEVENT\r\n";
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    out += FoldedLine(QStringLiteral("UID:") + stamp + QStringLiteral("-")
                      + QString::number(qHash(event.summary + event.start), 16) + QStringLiteral("@lantrix"));
    out += FoldedLine(QStringLiteral("DTSTAMP:") + stamp);
    auto time = [](const char* name, const QString& iso) {
        const bool day = !iso.contains(u'T');
        return FoldedLine(QLatin1String(name) + (day ? QStringLiteral(";VALUE=DATE:") : QStringLiteral(":"))
                          + IcsTimeValue(iso));
    };
    out += time("DTSTART", event.start);
    if (!event.end.isEmpty())
        out += time("DTEND", event.end);
    const std::pair<const char*, const QString*> texts[] = {
        {"SUMMARY", &event.summary}, {"LOCATION", &event.location}, {"DESCRIPTION", &event.description}};
    for (const auto& [name, value] : texts)
        if (!value->isEmpty())
            out += FoldedLine(QLatin1String(name) + u':' + Escaped(*value));
    out += "END:VEVENT\r\nEND:VCALENDAR\r\n";
    return out;
}
