// The body of the form POST: the standard HTML form encoding of a field list.
//
// Input: the fields, UTF-8, separated by zero bytes.
//
// Properties: the body holds only unreserved characters, "%" with two
// upper-case hexadecimal digits, "+", "=" and "&"; it has one pair per field,
// joined by "&"; decoded ("+" a space, "%XY" the byte XY) each pair gives the
// field's name and value as UTF-8, the value being everything after the
// field's first "=" (empty for a field without one).
#include "support/FuzzCheck.h"

#include "online/WebRequest.h"

namespace {

bool IsHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

bool IsUnreserved(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.'
           || c == '_' || c == '~';
}

QByteArray Decode(const QByteArray& encoded)
{
    QByteArray bytes;
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        const char c = encoded[i];
        if (c == '+') {
            bytes += ' ';
        } else if (c == '%') {
            FUZZ_CHECK(i + 2 < encoded.size());
            bytes += char(QByteArray::fromHex(encoded.mid(i + 1, 2))[0]);
            i += 2;
        } else {
            bytes += c;
        }
    }
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 0x10000)
        return 0;
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    FormFields fields;
    if (!input.isEmpty())
        for (const QByteArray& part : input.split('\0'))
            fields.append(QString::fromUtf8(part));

    const QByteArray body = EncodeFormFields(fields);
    for (qsizetype i = 0; i < body.size(); ++i) {
        const char c = body[i];
        if (c == '%') {
            FUZZ_CHECK(i + 2 < body.size() && IsHex(body[i + 1]) && IsHex(body[i + 2]));
            i += 2;
        } else {
            FUZZ_CHECK(IsUnreserved(c) || c == '+' || c == '=' || c == '&');
        }
    }
    if (fields.isEmpty()) {
        FUZZ_CHECK(body.isEmpty());
        return 0;
    }
    const QList<QByteArray> pairs = body.split('&');
    FUZZ_CHECK(pairs.size() == fields.size());
    for (qsizetype i = 0; i < pairs.size(); ++i) {
        const qsizetype equals = pairs[i].indexOf('=');
        FUZZ_CHECK(equals >= 0 && pairs[i].indexOf('=', equals + 1) < 0);
        const QString& field = fields[i];
        const qsizetype fieldEquals = field.indexOf(QLatin1Char('='));
        const QString name = fieldEquals < 0 ? field : field.left(fieldEquals);
        const QString value = fieldEquals < 0 ? QString() : field.mid(fieldEquals + 1);
        FUZZ_CHECK(Decode(pairs[i].left(equals)) == name.toUtf8());
        FUZZ_CHECK(Decode(pairs[i].mid(equals + 1)) == value.toUtf8());
    }
    return 0;
}
