// A contact is saved whole: the card a vCard code holds is the card saved,
// every line of it (structured name, phone types, birthday, address parts),
// with CR LF line ends and folded lines; a vCard 2.1 card decoded from its
// character sets into UTF-8 as vCard 3.0; a MECARD as vCard 3.0. The saved
// card is read back by the library's own parser.
#include "content/Content.h"
#include "content/ContentLines.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

struct CardCase {
    const char* name;
    const char* text;
    const char* shownName;
    const char* version;            // of the saved card
    std::vector<const char*> lines; // the saved card holds each, unfolded
    QStringList nameParts;          // N: family, given, additional, prefix, suffix
    QStringList addressParts;       // ADR: post office box, extended, street, locality, region, code, country
};

void PrintTo(const CardCase& c, std::ostream* out)
{
    *out << c.name;
}

// The lines of a saved card with the folds taken out.
QStringList UnfoldedLines(const QByteArray& card)
{
    QString text = QString::fromUtf8(card);
    text.replace(QStringLiteral("\r\n "), QString());
    QStringList lines = text.split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// The unescaped components of the first line named `name`.
QStringList PartsOf(const QList<TLine>& lines, const char* name)
{
    for (const TLine& line : lines)
        if (line.name == QLatin1String(name)) {
            QStringList parts;
            for (const QString& part : Components(RawValue(line)))
                parts.append(Unescaped(part));
            return parts;
        }
    return {};
}

class SavedCard : public ::testing::TestWithParam<CardCase> {};

TEST_P(SavedCard, IsTheCodesOwnCardAndReadsBack)
{
    const CardCase& c = GetParam();
    const std::optional<TContact> contact = ParseContact(QString::fromUtf8(c.text));
    ASSERT_TRUE(contact);
    EXPECT_EQ(contact->name, QString::fromUtf8(c.shownName));
    const QByteArray card = ContactVCard(*contact);
    SCOPED_TRACE(card.constData());

    // CR LF lines of at most 75 octets, each whole in UTF-8.
    EXPECT_TRUE(card.startsWith("BEGIN:VCARD\r\nVERSION:" + QByteArray(c.version) + "\r\n"));
    EXPECT_TRUE(card.endsWith("\r\nEND:VCARD\r\n"));
    const QList<QByteArray> physical = card.chopped(2).split('\n');
    for (const QByteArray& line : physical) {
        EXPECT_TRUE(line.endsWith('\r') || &line == &physical.last()) << line.constData();
        EXPECT_LE(line.size(), 76) << line.constData();
        EXPECT_FALSE(line.chopped(line.endsWith('\r') ? 1 : 0).contains('\r')) << line.constData();
        EXPECT_FALSE(QString::fromUtf8(line).contains(QChar::ReplacementCharacter)) << line.constData();
    }
    EXPECT_FALSE(card.contains("CHARSET"));
    EXPECT_FALSE(card.contains(";QUOTED-PRINTABLE"));
    EXPECT_FALSE(card.contains("ENCODING=QUOTED-PRINTABLE"));

    const QStringList lines = UnfoldedLines(card);
    for (const char* expected : c.lines)
        EXPECT_TRUE(lines.contains(QString::fromUtf8(expected))) << expected;

    // Read back: the parts of the name and the address, and the same shown contact.
    const QList<TLine> read = ContentLines(QString::fromUtf8(card));
    EXPECT_EQ(PartsOf(read, "N"), c.nameParts);
    EXPECT_EQ(PartsOf(read, "ADR"), c.addressParts);
    const std::optional<TContact> again = ParseContact(QString::fromUtf8(card));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->name, contact->name);
    EXPECT_EQ(again->phones, contact->phones);
    EXPECT_EQ(again->emails, contact->emails);
    EXPECT_EQ(again->organization, contact->organization);
    EXPECT_EQ(again->title, contact->title);
    EXPECT_EQ(again->address, contact->address);
    EXPECT_EQ(again->url, contact->url);
    EXPECT_EQ(again->note, contact->note);
    // Saved again, the card stays as it is.
    EXPECT_EQ(ContactVCard(*again), card);
}

INSTANTIATE_TEST_SUITE_P(
    Cards, SavedCard,
    ::testing::Values(
        CardCase{"vcard21",
                 "BEGIN:VCARD\nVERSION:2.1\n"
                 "N;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:M=FCller;J=FCrgen;;Dr.;\n"
                 "FN;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:J=FCrgen M=FCller\n"
                 "TEL;CELL;VOICE:+49301234567\nTEL;WORK:+49307654321\nBDAY:1975-03-09\n"
                 "ADR;HOME;CHARSET=windows-1252;QUOTED-PRINTABLE:;;Stra=DFe 1;M=FCnchen;;80331;Deutschland\n"
                 "NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:Erste Zeile=0D=0A=\nzweite Zeile, mit Komma\n"
                 "EMAIL;INTERNET:jm@lantrix.invalid\nEND:VCARD\n",
                 "Jürgen Müller",
                 "3.0",
                 {"N:Müller;Jürgen;;Dr.;", "FN:Jürgen Müller", "TEL;TYPE=CELL;TYPE=VOICE:+49301234567",
                  "TEL;TYPE=WORK:+49307654321", "BDAY:1975-03-09",
                  "ADR;TYPE=HOME:;;Straße 1;München;;80331;Deutschland", "NOTE:Erste Zeile\\nzweite Zeile\\, mit Komma",
                  "EMAIL;TYPE=INTERNET:jm@lantrix.invalid"},
                 {"Müller", "Jürgen", "", "Dr.", ""},
                 {"", "", "Straße 1", "München", "", "80331", "Deutschland"}},
        CardCase{"vcard21_name_only_structured",
                 "BEGIN:VCARD\r\nVERSION:2.1\r\n"
                 "N;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:M=FCller;J=FCrgen\r\n"
                 "TEL;HOME:+4930111\r\nNOTE:Preis\\; 5, 6 \\\\ 7\r\nEND:VCARD\r\n",
                 "Jürgen Müller",
                 "3.0",
                 {"FN:Jürgen Müller", "N:Müller;Jürgen", "TEL;TYPE=HOME:+4930111", "NOTE:Preis\\; 5\\, 6 \\\\ 7"},
                 {"Müller", "Jürgen"},
                 {}},
        // The value ends in "=" once decoded; no other parameter makes the saved line quoted-printable.
        CardCase{"vcard21_value_ending_in_equals",
                 "BEGIN:VCARD\nVERSION:2.1\nFN:Ana\nX-SUM;QUOTED-PRINTABLE;X-QUOTED-PRINTABLE:1+1=3D\nEND:VCARD",
                 "Ana",
                 "3.0",
                 {"N:Ana;;;;", "FN:Ana", "X-SUM;TYPE=X-QUOTED-PRINTABLE:1+1="},
                 {"Ana", "", "", "", ""},
                 {}},
        CardCase{"vcard30",
                 "BEGIN:VCARD\nVERSION:3.0\nN:Doe;John;Q.;Dr.;Jr.\nFN:Dr. John Q. Doe Jr.\n"
                 "TEL;TYPE=CELL,VOICE:+15550100\nTEL;TYPE=WORK:+15550101\nBDAY:1980-04-01\n"
                 "ADR;TYPE=WORK:PO Box 7;Suite 5;Main St 1;Springfield;IL;12345;USA\n"
                 "item1.EMAIL;TYPE=INTERNET:john@lantrix.invalid\nitem1.X-ABLabel:Work\n"
                 "NOTE:A long note that goes on and on\\, past the seventy-five octets a line \n"
                 " may hold\\, so it is folded\nEND:VCARD",
                 "Dr. John Q. Doe Jr.",
                 "3.0",
                 {"N:Doe;John;Q.;Dr.;Jr.", "FN:Dr. John Q. Doe Jr.", "TEL;TYPE=CELL,VOICE:+15550100",
                  "TEL;TYPE=WORK:+15550101", "BDAY:1980-04-01",
                  "ADR;TYPE=WORK:PO Box 7;Suite 5;Main St 1;Springfield;IL;12345;USA",
                  "item1.EMAIL;TYPE=INTERNET:john@lantrix.invalid", "item1.X-ABLABEL:Work",
                  "NOTE:A long note that goes on and on\\, past the seventy-five octets a line may hold\\, so it is "
                  "folded"},
                 {"Doe", "John", "Q.", "Dr.", "Jr."},
                 {"PO Box 7", "Suite 5", "Main St 1", "Springfield", "IL", "12345", "USA"}},
        CardCase{
            "vcard40_with_cr_line_ends",
            "BEGIN:VCARD\rVERSION:4.0\rFN:Bo Chen\rN:Chen;Bo;;;\rTEL;VALUE=uri;TYPE=\"cell,voice\":tel:+1-555-0102\r"
            "BDAY:--0415\rADR;TYPE=home;LABEL=\"Ring Road 2\\nNorth Town\":;;Ring Road 2;North Town;;;\r"
            "EMAIL:bo@lantrix.invalid\rEND:VCARD",
            "Bo Chen",
            "4.0",
            {"FN:Bo Chen", "N:Chen;Bo;;;", "TEL;VALUE=uri;TYPE=\"cell,voice\":tel:+1-555-0102", "BDAY:--0415",
             "ADR;TYPE=home;LABEL=\"Ring Road 2\\nNorth Town\":;;Ring Road 2;North Town;;;",
             "EMAIL:bo@lantrix.invalid"},
            {"Chen", "Bo", "", "", ""},
            {"", "", "Ring Road 2", "North Town", "", "", ""}},
        CardCase{
            "mecard",
            R"(MECARD:N:Doe,Jane;TEL:+15550100;TEL:+15550101;EMAIL:jane@lantrix.invalid;ORG:Dastrel;TITLE:Engineer;ADR:Main St 1\, Springfield;URL:https://lantrix.invalid/;NOTE:Bring\: snacks;BDAY:19900102;;)",
            "Jane Doe",
            "3.0",
            {"N:Doe;Jane;;;", "FN:Jane Doe", "TEL:+15550100", "TEL:+15550101",
             "EMAIL;TYPE=INTERNET:jane@lantrix.invalid", "ORG:Dastrel", "TITLE:Engineer",
             "ADR:;;Main St 1\\, Springfield;;;;", "URL:https://lantrix.invalid/", "NOTE:Bring: snacks",
             "BDAY:19900102"},
            {"Doe", "Jane", "", "", ""},
            {"", "", "Main St 1, Springfield", "", "", "", ""}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SavedCard, ShownFieldsOfACardInLatin1)
{
    const std::optional<TContact> contact = ParseContact(
        QStringLiteral("BEGIN:VCARD\nVERSION:2.1\nN;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:M=FCller;J=FCrgen\n"
                       "ADR;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:;;K=F6nigstra=DFe 3;K=F6ln\n"
                       "ORG;CHARSET=ISO-8859-15;ENCODING=QUOTED-PRINTABLE:Caf=E9 =A4uro;K=FCche\nEND:VCARD"));
    ASSERT_TRUE(contact);
    EXPECT_EQ(contact->name, QStringLiteral("Jürgen Müller"));
    EXPECT_EQ(contact->address, QStringLiteral("Königstraße 3, Köln"));
    EXPECT_EQ(contact->organization, QStringLiteral("Café €uro, Küche")); // ISO-8859-15 has the euro at A4
}

} // namespace
