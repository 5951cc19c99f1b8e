#include "content/ContentLines.h"

#include "content/TextCheck.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <QUrl>
#include <QUrlQuery>

bool HasPrefix(const QString& text, QLatin1String prefix)
{
    return text.startsWith(prefix, Qt::CaseInsensitive);
}

QString PercentDecoded(const QString& text)
{
    return QUrl::fromPercentEncoding(text.toUtf8());
}

// ---- Records ----------------------------------------------------------------

std::optional<TRecordFields> RecordFields(const QString& body)
{
    TRecordFields fields;
    QString field;
    bool escaped = false;
    bool keyDone = false;
    QString key;
    auto finish = [&]() {
        fields.append({key.toUpper(), field});
        key.clear();
        field.clear();
        keyDone = false;
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

QString FieldValue(const TRecordFields& fields, const QString& key)
{
    for (const auto& [name, value] : fields)
        if (name == key)
            return value;
    return QString();
}

QStringList FieldValues(const TRecordFields& fields, const QString& key)
{
    QStringList values;
    for (const auto& [name, value] : fields)
        if (name == key && !value.trimmed().isEmpty())
            values.append(value.trimmed());
    return values;
}

// ---- Content lines ---------------------------------------------------------------

namespace {

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

} // namespace

QList<TLine> ContentLines(const QString& text)
{
    QString joined = text;
    joined.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    joined.replace(u'\r', u'\n');
    // Whether the name and parameters before the first ":" name quoted-printable.
    const auto namesQuotedPrintable = [](const QString& line) {
        TLine head;
        head.params = line.section(u':', 0, 0).split(u';').mid(1);
        return IsQuotedPrintable(head);
    };
    QStringList raw;
    for (const QString& line : joined.split(u'\n')) {
        if (!raw.isEmpty() && (line.startsWith(u' ') || line.startsWith(u'\t')))
            raw.last() += line.mid(1);
        else if (!raw.isEmpty() && raw.last().endsWith(u'=') && namesQuotedPrintable(raw.last())) {
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
        const QString name = head.takeFirst().trimmed();
        TLine parsed;
        const qsizetype dot = name.lastIndexOf(u'.');
        parsed.group = dot < 0 ? QString() : name.left(dot);
        parsed.name = name.mid(dot + 1).toUpper();
        parsed.params = head;
        parsed.value = line.mid(colon + 1);
        lines.append(parsed);
    }
    return lines;
}

std::optional<QString> ParamValue(const TLine& line, QLatin1String name)
{
    for (const QString& param : line.params) {
        const QString trimmed = param.trimmed();
        if (trimmed.section(u'=', 0, 0).trimmed().compare(name, Qt::CaseInsensitive) != 0 || !trimmed.contains(u'='))
            continue;
        QString value = trimmed.section(u'=', 1).trimmed();
        if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
            value = value.mid(1, value.size() - 2);
        return value;
    }
    return std::nullopt;
}

bool IsQuotedPrintable(const TLine& line)
{
    for (const QString& param : line.params) {
        const QString upper = param.trimmed().toUpper();
        if (upper == QLatin1String("QUOTED-PRINTABLE") || upper == QLatin1String("ENCODING=QUOTED-PRINTABLE"))
            return true;
    }
    return false;
}

QString RawValue(const TLine& line)
{
    if (!IsQuotedPrintable(line))
        return line.value;
    const QByteArray bytes = QuotedPrintableDecoded(line.value.toUtf8());
    const QString charset = ParamValue(line, QLatin1String("CHARSET")).value_or(QString());
    QString value;
    if (charset.isEmpty() || charset.compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) == 0)
        value = QString::fromUtf8(bytes);
    else if (QStringDecoder decoder(charset.toLatin1().constData()); decoder.isValid())
        value = decoder.decode(bytes);
    else
        value = QString::fromLatin1(bytes);
    // A line break encoded as "=0D=0A" is one line end, as "\n" is in 3.0.
    value.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return value;
}

QString Unescaped(const QString& value)
{
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

QString TextValue(const TLine& line)
{
    return Unescaped(RawValue(line));
}

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

QString JoinedComponents(const TLine& line)
{
    QStringList shown;
    for (const QString& part : Components(RawValue(line)))
        if (const QString text = Unescaped(part); !text.isEmpty())
            shown.append(text);
    return shown.join(QStringLiteral(", "));
}

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

// ---- Queries --------------------------------------------------------------------

QList<std::pair<QString, QString>> QueryItems(const QString& query)
{
    QList<std::pair<QString, QString>> items;
    for (const auto& [name, value] : QUrlQuery(query).queryItems(QUrl::FullyDecoded))
        items.append({name.toLower(), value});
    return items;
}

QString QueryText(const QList<std::pair<QString, QString>>& pairs)
{
    QStringList parts;
    for (const auto& [name, value] : pairs)
        if (!value.isEmpty())
            parts.append(name + u'=' + QString::fromUtf8(QUrl::toPercentEncoding(value)));
    return parts.isEmpty() ? QString() : u'?' + parts.join(u'&');
}

// ---- Checks ------------------------------------------------------------------------

bool LooksLikeAddress(const QString& address)
{
    static const QRegularExpression pattern(QStringLiteral(R"(^[^\s@<>,;:"]+@[^\s@<>,;:"]+$)"));
    return pattern.match(address).hasMatch() && !HoldsHiddenCharacters(address);
}

bool LooksLikeNumber(const QString& number)
{
    static const QRegularExpression pattern(QStringLiteral(R"(^\+?[0-9*#(][0-9*#\-. ()]*$)"));
    static const QRegularExpression digit(QStringLiteral("[0-9]"));
    return pattern.match(number).hasMatch() && number.contains(digit) && !HoldsHiddenCharacters(number);
}
