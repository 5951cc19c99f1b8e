// The pieces the content parsers share: the "KEY:value;" records of MECARD:,
// MATMSG: and WIFI:, the content lines of vCard and iCalendar (folding,
// escaping, quoted-printable and character sets), and the query of a mailto:,
// sms: or geo: address. Not part of the library's interface.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

// Whether `text` starts with `prefix`, ignoring the case of ASCII letters.
bool HasPrefix(const QString& text, QLatin1String prefix);

// `text` with its %XX sequences decoded as UTF-8.
QString PercentDecoded(const QString& text);

// ---- Records ----------------------------------------------------------------

using TRecordFields = QList<std::pair<QString, QString>>;

// The fields of a MECARD:, MATMSG: or WIFI: record: "KEY:value;" pairs, in
// which a backslash takes the next character as it is (so "\;" is a ";" of
// the value). The record ends at an empty field (";;") or at the end of the
// text. Keys in upper case. Nothing when a backslash ends the text or a field
// has no ":".
std::optional<TRecordFields> RecordFields(const QString& body);

// The first value of `key`; empty when there is none.
QString FieldValue(const TRecordFields& fields, const QString& key);

// Every value of `key` that is not blank, trimmed.
QStringList FieldValues(const TRecordFields& fields, const QString& key);

// ---- Content lines ---------------------------------------------------------------

struct TLine {
    QString group;      // "item1" of "item1.TEL", empty without one
    QString name;       // upper case, without the group
    QStringList params; // "TYPE=CELL", "ENCODING=QUOTED-PRINTABLE", "CHARSET=UTF-8", "VALUE=DATE"
    QString value;      // raw, escapes still in it
};

// The content lines of a vCard or iCalendar text: any line end (CR LF, LF or
// CR alone) ends a line, folded lines are joined (a line end followed by a
// blank or a tab continues the line), and a quoted-printable value's soft
// line ends ("=" at the end of a line, vCard 2.1) too. Lines without a name
// are left out.
QList<TLine> ContentLines(const QString& text);

// The value of the parameter `name` ("TZID", "CHARSET"), without the double
// quotes it may be given in; nothing when the line has no such parameter.
std::optional<QString> ParamValue(const TLine& line, QLatin1String name);

// Whether the value is quoted-printable: vCard 2.1 names the encoding as
// "ENCODING=QUOTED-PRINTABLE" or as the bare "QUOTED-PRINTABLE".
bool IsQuotedPrintable(const TLine& line);

// The value as written, quoted-printable decoded and read in the character
// set the line names (vCard 2.1; UTF-8 when it names none, Latin-1 for a
// character set Qt does not know). Escapes are still in it.
QString RawValue(const TLine& line);

// A text value with the escapes of vCard 3.0/4.0 and iCalendar taken out
// ("\n", "\,", "\;", "\\"), trimmed.
QString Unescaped(const QString& value);

// RawValue unescaped.
QString TextValue(const TLine& line);

// The components of a structured value (N, ADR, ORG), split at ";" that are
// not escaped; the escapes are still in each.
QStringList Components(const QString& value);

// The components of a structured value that are not empty, unescaped and
// joined by ", ": how an address or an organisation is shown.
QString JoinedComponents(const TLine& line);

// A text for a vCard 3.0 or iCalendar value, its special characters escaped.
QString Escaped(const QString& text);

// A content line as written to a file: folded at 75 octets, never inside a
// UTF-8 sequence, ended by CR LF.
QByteArray FoldedLine(const QString& line);

// ---- Queries --------------------------------------------------------------------

// The name and value pairs of the query of a mailto:, sms: or geo: address,
// names in lower case, both percent-decoded. A "+" is a plus sign, as a URI
// query has it (RFC 3986, RFC 6068 for mailto:, RFC 5724 for sms:); a blank is
// written "%20". Only HTML forms write a blank as "+", and none of these
// addresses is a form.
QList<std::pair<QString, QString>> QueryItems(const QString& query);

// The query written back: "?name=value&..." for the pairs whose value is not
// empty, each value percent-encoded (a "+" as "%2B"); empty without any.
QString QueryText(const QList<std::pair<QString, QString>>& pairs);

// ---- Checks ------------------------------------------------------------------------

// An e-mail address as far as we check it: one "@" with something on both
// sides, no blanks, none of the characters that separate addresses, and no
// hidden character (TextCheck.h).
bool LooksLikeAddress(const QString& address);

// A telephone number: digits with the visual separators of RFC 3966, an
// optional leading "+", and "*" and "#" for service codes; no hidden character.
bool LooksLikeNumber(const QString& number);
