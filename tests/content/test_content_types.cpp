// The content types of decoded texts: which kind each text is, the typed
// values the parsers give (escapes, parameters, malformed content falling
// back to plain text), the files a contact and an event are saved as, the
// host a link is shown by, and the content as JSON.
#include "content/Content.h"
#include "content/ContentJson.h"
#include "content/LinkHost.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <ostream>

void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

void PrintTo(const TContact& c, std::ostream* out)
{
    *out << "{" << c.name.toStdString() << " | " << c.phones.join(',').toStdString() << " | "
         << c.emails.join(',').toStdString() << " | " << c.organization.toStdString() << " | " << c.title.toStdString()
         << " | " << c.address.toStdString() << " | " << c.url.toStdString() << " | " << c.note.toStdString() << " | "
         << c.card.toStdString() << "}";
}

void PrintTo(const TEvent& e, std::ostream* out)
{
    *out << "{" << e.summary.toStdString() << " | " << e.start.toStdString() << " | " << e.end.toStdString() << " | "
         << e.location.toStdString() << " | " << e.description.toStdString() << " | " << e.timeZone.toStdString()
         << "}";
}

namespace {

// The fields of a contact the user is shown, without the card it is saved as.
TContact Shown(TContact contact)
{
    contact.card.clear();
    return contact;
}

// ---- Which kind a text is -----------------------------------------------

struct KindCase {
    const char* name;
    const char* text;
    const char* type;
};

void PrintTo(const KindCase& c, std::ostream* out)
{
    *out << c.name;
}

class ContentKind : public ::testing::TestWithParam<KindCase> {};

TEST_P(ContentKind, IsRecognisedByItsSchemeOrPrefixOnly)
{
    EXPECT_EQ(ContentTypeName(ParseContent(QString::fromUtf8(GetParam().text))), QLatin1String(GetParam().type));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ContentKind,
    ::testing::Values(
        KindCase{"https link", "https://lantrix.invalid/hello?from=qr", "url"},
        KindCase{"http link in capitals", "HTTP://LANTRIX.INVALID/", "url"},
        KindCase{"link with a line end after it", "https://lantrix.invalid/\r\n", "url"},
        KindCase{"ftp is no web link", "ftp://lantrix.invalid/file", "text"},
        KindCase{"javascript is no web link", "javascript:alert(1)", "text"},
        KindCase{"file address is no web link", "file:///etc/passwd", "text"},
        KindCase{"link without a host", "https:///path", "text"},
        KindCase{"link with a blank inside", "https://lantrix.invalid/a b", "text"},
        KindCase{"address without a scheme is text", "www.lantrix.invalid", "text"},
        KindCase{"link inside a sentence is text", "See https://lantrix.invalid/ for more", "text"},
        KindCase{"mailto", "mailto:ana@lantrix.invalid", "email"},
        KindCase{"MATMSG", "MATMSG:TO:ana@lantrix.invalid;SUB:Hi;BODY:Hello;;", "email"},
        KindCase{"mailto without an address", "mailto:?subject=x", "text"},
        KindCase{"mailto of no address", "mailto:nobody", "text"}, KindCase{"tel", "tel:+49-30-1234567", "phone"},
        KindCase{"tel with letters", "tel:call-me-maybe", "text"}, KindCase{"SMSTO", "SMSTO:+15550100:Hello", "sms"},
        KindCase{"sms", "sms:+15550100?body=Hi", "sms"}, KindCase{"SMSTO without a number", "SMSTO::Hello", "text"},
        KindCase{"WIFI", "WIFI:T:WPA;S:Home;P:secret12;;", "wifi"},
        KindCase{"WIFI without a name", "WIFI:T:WPA;P:secret12;;", "text"},
        KindCase{"vCard 3.0", "BEGIN:VCARD\nVERSION:3.0\nFN:Ana Lima\nEND:VCARD", "contact"},
        KindCase{"vCard without its end", "BEGIN:VCARD\nVERSION:3.0\nFN:Ana Lima", "text"},
        KindCase{"MECARD", "MECARD:N:Lima,Ana;TEL:+15550100;;", "contact"},
        KindCase{"event", "BEGIN:VEVENT\nSUMMARY:Launch\nDTSTART:20261224T180000Z\nEND:VEVENT", "event"},
        KindCase{"event without a start", "BEGIN:VEVENT\nSUMMARY:Launch\nEND:VEVENT", "text"},
        KindCase{"geo", "geo:52.52,13.405", "place"}, KindCase{"geo out of range", "geo:95,13.405", "text"},
        KindCase{"plain words", "Lantrix Data Matrix 0042", "text"},
        KindCase{"barcode digits", "4006381333931", "text"}, KindCase{"empty", "", "text"}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    });

// ---- Wi-Fi ----------------------------------------------------------------

struct WifiCase {
    const char* name;
    const char* text;
    std::optional<TWifi> expected; // nothing: malformed
};

void PrintTo(const WifiCase& c, std::ostream* out)
{
    *out << c.name;
}

class WifiCode : public ::testing::TestWithParam<WifiCase> {};

TEST_P(WifiCode, GivesTheNetwork)
{
    const std::optional<TWifi> wifi = ParseWifi(QString::fromUtf8(GetParam().text));
    ASSERT_EQ(wifi.has_value(), GetParam().expected.has_value());
    if (!wifi)
        return;
    EXPECT_EQ(wifi->ssid, GetParam().expected->ssid);
    EXPECT_EQ(wifi->security, GetParam().expected->security);
    EXPECT_EQ(wifi->password, GetParam().expected->password);
    EXPECT_EQ(wifi->hidden, GetParam().expected->hidden);
}

const TWifiSecurity WPA = TWifiSecurity::Wpa;

INSTANTIATE_TEST_SUITE_P(
    Codes, WifiCode,
    ::testing::Values(
        WifiCase{"wpa", "WIFI:T:WPA;S:Home;P:secret12;;", TWifi{"Home", WPA, "secret12", false}},
        WifiCase{"fields in another order", "WIFI:P:secret12;S:Home;T:WPA;;", TWifi{"Home", WPA, "secret12", false}},
        WifiCase{"without the closing semicolons", "WIFI:S:Home;T:WPA;P:secret12",
                 TWifi{"Home", WPA, "secret12", false}},
        WifiCase{"escaped semicolon", R"(WIFI:T:WPA;S:Cafe\;Bar;P:a\;b\;cdefg;;)",
                 TWifi{"Cafe;Bar", WPA, "a;b;cdefg", false}},
        WifiCase{"escaped comma and colon", R"(WIFI:T:WPA;S:one\,two\:three;P:p\:ss\,word;;)",
                 TWifi{"one,two:three", WPA, "p:ss,word", false}},
        WifiCase{"escaped backslash", R"(WIFI:T:WPA;S:back\\slash;P:end\\;;)",
                 TWifi{"back\\slash", WPA, "end\\", false}},
        WifiCase{"escaped quote", R"(WIFI:T:WPA;S:say \"hi\";P:12345678;;)",
                 TWifi{"say \"hi\"", WPA, "12345678", false}},
        WifiCase{"name in quotes", R"(WIFI:T:WPA;S:"ABCD";P:12345678;;)", TWifi{"ABCD", WPA, "12345678", false}},
        WifiCase{"hidden", "WIFI:T:WPA;S:Home;P:secret12;H:true;;", TWifi{"Home", WPA, "secret12", true}},
        WifiCase{"hidden false", "WIFI:T:WPA;S:Home;P:secret12;H:false;;", TWifi{"Home", WPA, "secret12", false}},
        WifiCase{"wpa2 is wpa", "WIFI:T:WPA2;S:Home;P:secret12;;", TWifi{"Home", WPA, "secret12", false}},
        WifiCase{"wpa3", "WIFI:T:SAE;S:Home;P:secret12;;", TWifi{"Home", TWifiSecurity::Sae, "secret12", false}},
        WifiCase{"wep", "WIFI:T:WEP;S:Old;P:0123456789;;", TWifi{"Old", TWifiSecurity::Wep, "0123456789", false}},
        WifiCase{"open network", "WIFI:T:nopass;S:Guest;;", TWifi{"Guest", TWifiSecurity::None, "", false}},
        WifiCase{"open network without a type", "WIFI:S:Guest;;", TWifi{"Guest", TWifiSecurity::None, "", false}},
        WifiCase{"open network drops a password", "WIFI:T:nopass;S:Guest;P:unused;;",
                 TWifi{"Guest", TWifiSecurity::None, "", false}},
        WifiCase{"name in other letters", "WIFI:T:WPA;S:Café Ñandú;P:pässwörd;;",
                 TWifi{"Café Ñandú", WPA, "pässwörd", false}},
        WifiCase{"lower-case prefix and keys", "wifi:t:WPA;s:Home;p:secret12;;", TWifi{"Home", WPA, "secret12", false}},
        WifiCase{"no name", "WIFI:T:WPA;P:secret12;;", std::nullopt},
        WifiCase{"empty name", "WIFI:T:WPA;S:;P:secret12;;", std::nullopt},
        WifiCase{"name longer than 32 bytes", "WIFI:S:0123456789012345678901234567890123;;", std::nullopt},
        WifiCase{"wpa without a password", "WIFI:T:WPA;S:Home;;", std::nullopt},
        WifiCase{"backslash at the end", "WIFI:T:WPA;S:Home;P:secret\\", std::nullopt},
        WifiCase{"field without a colon", "WIFI:T:WPA;Home;P:secret12;;", std::nullopt},
        WifiCase{"enterprise network", "WIFI:T:WPA2-EAP;S:Corp;E:PEAP;I:ana;P:secret12;;", std::nullopt},
        WifiCase{"unknown security", "WIFI:T:ROT13;S:Home;P:secret12;;", std::nullopt}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    });

// ---- The other kinds, value by value ------------------------------------------

TEST(EmailCode, MailtoAndMatmsgGiveAddressesSubjectAndBody)
{
    const struct {
        const char* text;
        TEmail expected;
    } cases[] = {
        {"mailto:ana@lantrix.invalid", {{"ana@lantrix.invalid"}, "", "", {}, {}}},
        {"MAILTO:ana@lantrix.invalid?subject=Hello%20there&body=Line%0Atwo",
         {{"ana@lantrix.invalid"}, "Hello there", "Line\ntwo", {}, {}}},
        {"mailto:ana@lantrix.invalid,bo@lantrix.invalid?cc=x@y.z",
         {{"ana@lantrix.invalid", "bo@lantrix.invalid"}, "", "", {"x@y.z"}, {}}},
        {"mailto:ana@lantrix.invalid?cc=x@y.z,%20w@v.u&bcc=hidden@lantrix.invalid&subject=Minutes",
         {{"ana@lantrix.invalid"}, "Minutes", "", {"x@y.z", "w@v.u"}, {"hidden@lantrix.invalid"}}},
        {"mailto:?to=ana@lantrix.invalid&subject=1%2B1", {{"ana@lantrix.invalid"}, "1+1", "", {}, {}}},
        // In a URI query "+" is a plus sign and "%20" a blank.
        {"mailto:ana%40lantrix.invalid?body=a+b", {{"ana@lantrix.invalid"}, "", "a+b", {}, {}}},
        {"mailto:ana@lantrix.invalid?subject=a%20b+c", {{"ana@lantrix.invalid"}, "a b+c", "", {}, {}}},
        {R"(MATMSG:TO:ana@lantrix.invalid;SUB:Re\: offer;BODY:Yes\; agreed;;)",
         {{"ana@lantrix.invalid"}, "Re: offer", "Yes; agreed", {}, {}}},
        {"MATMSG:TO:ana@lantrix.invalid;CC:bo@lantrix.invalid;SUB:Hi;;",
         {{"ana@lantrix.invalid"}, "Hi", "", {"bo@lantrix.invalid"}, {}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const std::optional<TEmail> email = ParseEmail(QString::fromUtf8(c.text));
        ASSERT_TRUE(email);
        EXPECT_EQ(email->to, c.expected.to);
        EXPECT_EQ(email->subject, c.expected.subject);
        EXPECT_EQ(email->body, c.expected.body);
        EXPECT_EQ(email->cc, c.expected.cc);
        EXPECT_EQ(email->bcc, c.expected.bcc);
        // The address opened for "Write E-mail" reads back as the same message.
        EXPECT_EQ(ParseEmail(EmailUrl(*email)), email);
    }
    for (const char* malformed :
         {"mailto:", "mailto:a b@c.d", "mailto:@lantrix.invalid", "MATMSG:SUB:Hi;;",
          "MATMSG:TO:ana@lantrix.invalid;BODY:unfinished\\", "mailto:ana@lantrix.invalid?cc=not-an-address"})
        EXPECT_FALSE(ParseEmail(QString::fromUtf8(malformed))) << malformed;
}

TEST(PhoneAndSmsCodes, GiveTheNumberAndTheMessage)
{
    const struct {
        const char* text;
        const char* number;
    } phones[] = {{"tel:+49-30-1234567", "+49-30-1234567"},
                  {"TEL:(030) 1234567", "(030) 1234567"},
                  {"tel:%2B15550100", "+15550100"},
                  {"tel:+15550100;ext=12", "+15550100"},
                  {"tel:*100#", "*100#"}};
    for (const auto& c : phones) {
        const std::optional<TPhone> phone = ParsePhone(QString::fromUtf8(c.text));
        ASSERT_TRUE(phone) << c.text;
        EXPECT_EQ(phone->number, QString::fromUtf8(c.number)) << c.text;
        EXPECT_EQ(ParsePhone(PhoneUrl(*phone)), phone) << c.text;
    }
    for (const char* malformed : {"tel:", "tel:+", "tel:abc", "tel:555 x", "tel:12<script>"})
        EXPECT_FALSE(ParsePhone(QString::fromUtf8(malformed))) << malformed;

    const struct {
        const char* text;
        const char* number;
        const char* body;
    } messages[] = {{"SMSTO:+15550100:Hello", "+15550100", "Hello"},
                    {"smsto:+15550100:Time: 10:30", "+15550100", "Time: 10:30"},
                    {"SMSTO:+15550100", "+15550100", ""},
                    {"sms:+15550100", "+15550100", ""},
                    {"sms:+15550100,+15550101?body=See%20you", "+15550100", "See you"},
                    {"sms:+15550100?body=1+1", "+15550100", "1+1"},
                    {"sms:+15550100?body=a%20b+c%2Bd", "+15550100", "a b+c+d"}};
    for (const auto& c : messages) {
        const std::optional<TSms> sms = ParseSms(QString::fromUtf8(c.text));
        ASSERT_TRUE(sms) << c.text;
        EXPECT_EQ(sms->number, QString::fromUtf8(c.number)) << c.text;
        EXPECT_EQ(sms->body, QString::fromUtf8(c.body)) << c.text;
        EXPECT_EQ(ParseSms(SmsUrl(*sms)), sms) << c.text;
    }
    for (const char* malformed : {"SMSTO:", "SMSTO:hello:there", "sms:?body=x", "sms:call me"})
        EXPECT_FALSE(ParseSms(QString::fromUtf8(malformed))) << malformed;
}

TEST(ContactCode, VCardsOfEachVersionAndMecardGiveTheContact)
{
    const struct {
        const char* name;
        const char* text;
        TContact expected;
        const char* savedVersion;
    } cases[] = {
        {"vCard 3.0",
         "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lima;Ana;;;\r\nFN:Ana Lima\r\nORG:Dastrel;Labs\r\nTITLE:Engineer\r\n"
         "TEL;TYPE=CELL:+15550100\r\nTEL;TYPE=WORK:+15550101\r\nEMAIL:ana@lantrix.invalid\r\n"
         "ADR;TYPE=WORK:;;Main St 1;Springfield;;12345;US\r\nURL:https://lantrix.invalid/\r\n"
         "NOTE:Met at the fair\\, booth 4\\nCall back\r\nEND:VCARD\r\n",
         {"Ana Lima",
          {"+15550100", "+15550101"},
          {"ana@lantrix.invalid"},
          "Dastrel, Labs",
          "Engineer",
          "Main St 1, Springfield, 12345, US",
          "https://lantrix.invalid/",
          "Met at the fair, booth 4\nCall back",
          {}},
         "3.0"},
        {"vCard 2.1 with quoted-printable and a folded line",
         "BEGIN:VCARD\nVERSION:2.1\nN;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:M=C3=BCller;J=\n=C3=B6rg\nTEL;CELL:+"
         "4930123\nNOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:Gr=C3=BC=\n=C3=9Fe\n"
         "EMAIL;INTERNET:jm@lantrix.invalid\nEND:VCARD",
         {"Jörg Müller", {"+4930123"}, {"jm@lantrix.invalid"}, "", "", "", "", "Grüße", {}},
         "3.0"},
        {"vCard 4.0 with a tel: value and a folded name",
         "BEGIN:VCARD\nVERSION:4.0\nFN:Bo\n "
         "Chen\nTEL;VALUE=uri;TYPE=cell:tel:+15550102\nitem1.EMAIL:bo@lantrix.invalid\nEND:VCARD",
         {"BoChen", {"+15550102"}, {"bo@lantrix.invalid"}, "", "", "", "", "", {}},
         "4.0"},
        {"MECARD",
         R"(MECARD:N:Lima,Ana;TEL:+15550100;EMAIL:ana@lantrix.invalid;ORG:Dastrel\; Labs;ADR:Main St 1\, Springfield;NOTE:a\:b;;)",
         {"Ana Lima",
          {"+15550100"},
          {"ana@lantrix.invalid"},
          "Dastrel; Labs",
          "",
          "Main St 1, Springfield",
          "",
          "a:b",
          {}},
         "3.0"},
        {"MECARD with one name",
         "MECARD:N:Dastrel;URL:https://lantrix.invalid/;;",
         {"Dastrel", {}, {}, "", "", "", "https://lantrix.invalid/", "", {}},
         "3.0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<TContact> contact = ParseContact(QString::fromUtf8(c.text));
        ASSERT_TRUE(contact);
        EXPECT_EQ(Shown(*contact), c.expected);
        // The saved card reads back as the same contact, and is saved again as it is.
        const QByteArray card = ContactVCard(*contact);
        EXPECT_TRUE(card.startsWith("BEGIN:VCARD\r\nVERSION:" + QByteArray(c.savedVersion) + "\r\n"))
            << card.constData();
        EXPECT_EQ(ParseContact(QString::fromUtf8(card)), contact) << card.constData();
    }
    for (const char* malformed : {"BEGIN:VCARD\nVERSION:3.0\nEND:VCARD", "BEGIN:VCARD\nFN:Ana\nEND:VCARD",
                                  "BEGIN:VCARD\nVERSION:5.0\nFN:Ana\nEND:VCARD", "BEGIN:VCARD\nVERSION:3.0\nFN:Ana\n",
                                  "MECARD:TEL:+15550100;;", "MECARD:N:Lima\\"})
        EXPECT_FALSE(ParseContact(QString::fromUtf8(malformed))) << malformed;
}

TEST(ContactCode, LongLinesOfASavedCardAreFoldedInsideNoCharacter)
{
    TContact contact;
    contact.name = QString(60, QChar(u'ü')); // 120 bytes in UTF-8
    contact.note = QString(200, u'x');
    const QByteArray card = ContactVCard(contact);
    for (const QByteArray& line : card.split('\n')) {
        EXPECT_LE(line.size(), 76) << line.constData(); // 75 and the CR
        EXPECT_FALSE(QString::fromUtf8(line).contains(QChar::ReplacementCharacter));
    }
    const std::optional<TContact> readBack = ParseContact(QString::fromUtf8(card));
    ASSERT_TRUE(readBack);
    EXPECT_EQ(Shown(*readBack), contact);
    EXPECT_EQ(readBack->card, card); // a card put together from the fields is saved as it was
}

TEST(EventCode, GivesTheEventAndIsSavedAsACalendar)
{
    const struct {
        const char* name;
        const char* text;
        TEvent expected;
    } cases[] = {
        {"event alone",
         "BEGIN:VEVENT\nSUMMARY:Launch party\nDTSTART:20261224T180000Z\nDTEND:20261224T220000Z\n"
         "LOCATION:Hall 2\\, upstairs\nDESCRIPTION:Bring a friend\\nor two\nEND:VEVENT",
         {"Launch party", "2026-12-24T18:00:00Z", "2026-12-24T22:00:00Z", "Hall 2, upstairs", "Bring a friend\nor two",
          ""}},
        {"whole day in a calendar",
         "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nSUMMARY:Holiday\r\nDTSTART;VALUE=DATE:20270101\r\nEND:"
         "VEVENT\r\nEND:VCALENDAR",
         {"Holiday", "2027-01-01", "", "", "", ""}},
        {"local time with a zone",
         "BEGIN:VEVENT\nDTSTART;TZID=Europe/Berlin:20270301T090000\nSUMMARY:Stand-up\nEND:VEVENT",
         {"Stand-up", "2027-03-01T08:00:00Z", "", "", "", ""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<TEvent> event = ParseEvent(QString::fromUtf8(c.text));
        ASSERT_TRUE(event);
        EXPECT_EQ(*event, c.expected);
        const QByteArray calendar = EventICalendar(*event);
        EXPECT_TRUE(calendar.startsWith("BEGIN:VCALENDAR\r\nVERSION:2.0\r\n")) << calendar.constData();
        EXPECT_TRUE(calendar.contains("\r\nDTSTAMP:")) << calendar.constData();
        EXPECT_TRUE(calendar.contains("\r\nUID:")) << calendar.constData();
        EXPECT_EQ(ParseEvent(QString::fromUtf8(calendar)), event) << calendar.constData();
    }
    for (const char* malformed :
         {"BEGIN:VEVENT\nSUMMARY:x\nEND:VEVENT", "BEGIN:VEVENT\nDTSTART:20261324T180000Z\nEND:VEVENT",
          "BEGIN:VEVENT\nDTSTART:tomorrow\nEND:VEVENT", "BEGIN:VEVENT\nDTSTART:20261224\n",
          "BEGIN:VCALENDAR\nBEGIN:VEVENT\nDTSTART:20261224\nEND:VEVENT\nBEGIN:VEVENT\nDTSTART:20261225\nEND:"
          "VEVENT\nEND:VCALENDAR"})
        EXPECT_FALSE(ParseEvent(QString::fromUtf8(malformed))) << malformed;
}

TEST(PlaceCode, GivesCoordinatesAndTheMapAddresses)
{
    const struct {
        const char* text;
        TPlace expected;
        const char* geo;
        const char* map;
    } cases[] = {
        {"geo:52.52,13.405",
         {52.52, 13.405, std::nullopt, ""},
         "geo:52.52,13.405",
         "https://www.openstreetmap.org/?mlat=52.52&mlon=13.405#map=16/52.52/13.405"},
        {"GEO:-33.8568,151.2153,20;u=35",
         {-33.8568, 151.2153, 20.0, ""},
         "geo:-33.8568,151.2153,20",
         "https://www.openstreetmap.org/?mlat=-33.8568&mlon=151.2153#map=16/-33.8568/151.2153"},
        {"geo:0,0?q=Null%20Island",
         {0, 0, std::nullopt, "Null Island"},
         "geo:0,0?q=Null%20Island",
         "https://www.openstreetmap.org/?mlat=0&mlon=0#map=16/0/0"},
        // A plus sign of the query is one, as in mailto: and sms:.
        {"geo:0,0?q=Gate+B",
         {0, 0, std::nullopt, "Gate+B"},
         "geo:0,0?q=Gate%2BB",
         "https://www.openstreetmap.org/?mlat=0&mlon=0#map=16/0/0"},
        {"geo:48.2,16.37;crs=wgs84",
         {48.2, 16.37, std::nullopt, ""},
         "geo:48.2,16.37",
         "https://www.openstreetmap.org/?mlat=48.2&mlon=16.37#map=16/48.2/16.37"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const std::optional<TPlace> place = ParsePlace(QString::fromUtf8(c.text));
        ASSERT_TRUE(place);
        EXPECT_EQ(*place, c.expected);
        EXPECT_EQ(PlaceGeoUrl(*place), QLatin1String(c.geo));
        EXPECT_EQ(PlaceMapUrl(*place), QLatin1String(c.map));
    }
    for (const char* malformed : {"geo:", "geo:52.52", "geo:91,0", "geo:0,181", "geo:a,b", "geo:1,2,3,4", "geo:1e2,3",
                                  "geo:52,13;crs=mars2000"})
        EXPECT_FALSE(ParsePlace(QString::fromUtf8(malformed))) << malformed;
}

// ---- The host a link is shown by ---------------------------------------------

TEST(LinkHost, MixedScriptsAreShownInTheirAsciiForm)
{
    const struct {
        const char* url;
        const char* shown;
    } cases[] = {
        {"https://lantrix.invalid/path", "lantrix.invalid"},
        {"https://WWW.Lantrix.Invalid./", "www.lantrix.invalid"},
        {"https://user:pw@lantrix.invalid:8443/x", "lantrix.invalid"},
        {"https://paypal.com@evil.invalid/", "evil.invalid"},
        {"https://münchen.de/", "münchen.de"},             // Latin only
        {"https://xn--mnchen-3ya.de/", "münchen.de"},      // the same, given in ASCII
        {"https://пример.рф/", "пример.рф"},               // Cyrillic only
        {"https://\xD0\xB0pple.com/", "xn--pple-43d.com"}, // Cyrillic "а" among Latin letters
        {"https://xn--pple-43d.com/", "xn--pple-43d.com"},
        {"https://раураl.com/", "xn--l-7sba6dbr.com"}, // Cyrillic letters and a Latin "l"
        {"https://раура.com/", "xn--80aa0cbo.com"},    // a Cyrillic name under a Latin top level
        {"https://\xCE\xBF\xCE\xBF.lantrix.invalid/", "xn--0xaa.lantrix.invalid"}, // Greek omicrons
        {"https://例え.jp/", "例え.jp"}, // Japanese writes Han, kana and Latin together
        {"https://한국.kr/", "한국.kr"},
        {"https://192.0.2.1:8080/", "192.0.2.1"},
        {"https://[2001:db8::1]/", "2001:db8::1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DisplayHost(QString::fromUtf8(c.url)), QString::fromUtf8(c.shown)) << c.url;
}

// ---- JSON -------------------------------------------------------------------

TEST(ContentJson, EachKindWithItsFields)
{
    const struct {
        const char* text;
        const char* json;
    } cases[] = {
        {"Lantrix", R"({"type":"text"})"},
        {"https://lantrix.invalid/a?b=c", R"({"type":"url","url":"https://lantrix.invalid/a?b=c"})"},
        {"mailto:ana@lantrix.invalid?subject=Hi",
         R"({"bcc":[],"body":null,"cc":[],"subject":"Hi","to":["ana@lantrix.invalid"],"type":"email"})"},
        {"mailto:ana@lantrix.invalid?cc=bo@lantrix.invalid",
         R"({"bcc":[],"body":null,"cc":["bo@lantrix.invalid"],"subject":null,"to":["ana@lantrix.invalid"],"type":"email"})"},
        {"tel:+15550100", R"({"number":"+15550100","type":"phone"})"},
        {"SMSTO:+15550100:Hi", R"({"body":"Hi","number":"+15550100","type":"sms"})"},
        {R"(WIFI:T:WPA;S:Cafe\;Bar;P:secret12;H:true;;)",
         R"({"hidden":true,"password":"secret12","security":"WPA","ssid":"Cafe;Bar","type":"wifi"})"},
        {"WIFI:S:Guest;;", R"({"hidden":false,"password":null,"security":"none","ssid":"Guest","type":"wifi"})"},
        {"MECARD:N:Lima,Ana;TEL:+15550100;;",
         R"({"address":null,"emails":[],"name":"Ana Lima","note":null,"organization":null,"phones":["+15550100"],"title":null,"type":"contact","url":null})"},
        {"BEGIN:VEVENT\nSUMMARY:Launch\nDTSTART:20261224T180000Z\nEND:VEVENT",
         R"({"description":null,"end":null,"location":null,"start":"2026-12-24T18:00:00Z","summary":"Launch","timeZone":null,"type":"event"})"},
        {"BEGIN:VEVENT\nDTSTART;TZID=Mars/Olympus:20261224T180000\nEND:VEVENT",
         R"({"description":null,"end":null,"location":null,"start":"2026-12-24T18:00:00","summary":null,"timeZone":"Mars/Olympus","type":"event"})"},
        {"geo:52.52,13.405,34?q=Gate",
         R"({"altitude":34,"latitude":52.52,"longitude":13.405,"query":"Gate","type":"place"})"},
    };
    for (const auto& c : cases) {
        const QJsonObject object = ContentJson(ParseContent(QString::fromUtf8(c.text)));
        EXPECT_EQ(QJsonDocument(object).toJson(QJsonDocument::Compact), QByteArray(c.json)) << c.text;
    }
}

} // namespace
