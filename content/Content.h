// The typed content of a decoded text. Each kind has a parser of its own, a
// pure function from the text to the typed value that answers nothing when
// the text is not of that kind or is malformed; ParseContent tries them all
// and falls back to plain text. Nothing is guessed from free text: a kind is
// recognised by its scheme or its prefix only.
#pragma once

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

// A web address whose scheme is http or https.
struct TWebLink {
    QString url; // as encoded, ready to open
    bool operator==(const TWebLink&) const = default;
};

// mailto: and MATMSG:.
struct TEmail {
    QStringList to;
    QString subject;
    QString body;
    QStringList cc;
    QStringList bcc;
    bool operator==(const TEmail&) const = default;
};

// tel:.
struct TPhone {
    QString number;
    bool operator==(const TPhone&) const = default;
};

// SMSTO: and sms:.
struct TSms {
    QString number;
    QString body;
    bool operator==(const TSms&) const = default;
};

enum class TWifiSecurity { None, Wep, Wpa, Sae };

// WIFI:.
struct TWifi {
    QString ssid;
    TWifiSecurity security = TWifiSecurity::None;
    QString password; // empty for an open network
    bool hidden = false;
    bool operator==(const TWifi&) const = default;
};

// vCard (2.1, 3.0, 4.0) and MECARD:.
struct TContact {
    QString name;
    QStringList phones;
    QStringList emails;
    QString organization;
    QString title;
    QString address;
    QString url;
    QString note;
    // The card the contact is saved as: for a vCard the code's own card
    // (decoded, see ContactVCard), for a MECARD: its vCard 3.0 form. Empty
    // for a contact put together otherwise, which is saved from the fields
    // above.
    QByteArray card;
    bool operator==(const TContact&) const = default;
};

// A VEVENT, alone or in a VCALENDAR. Times are ISO 8601: "2026-12-24" for a
// whole day (VALUE=DATE; the end is the day after the last, as iCalendar has
// it), "2026-12-24T17:00:00Z" for a time in UTC, which is also what a time
// in a zone Qt knows (TZID=Europe/Berlin) becomes, and "2026-12-24T18:00:00"
// for a floating time (no zone) or a time in a zone Qt does not know, whose
// name is then kept in `timeZone`. A DURATION is given as the end it makes.
struct TEvent {
    QString summary;
    QString start;
    QString end; // empty when the event names none
    QString location;
    QString description;
    QString timeZone; // the TZID of start and end when Qt does not know it; empty otherwise
    bool operator==(const TEvent&) const = default;
};

// geo: (RFC 5870), WGS 84 only.
struct TPlace {
    double latitude = 0;
    double longitude = 0;
    std::optional<double> altitude;
    QString query; // the "q" parameter, a label or a search
    bool operator==(const TPlace&) const = default;
};

struct TPlainText {
    bool operator==(const TPlainText&) const = default;
};

using TContent = std::variant<TPlainText, TWebLink, TEmail, TPhone, TSms, TWifi, TContact, TEvent, TPlace>;

std::optional<TWebLink> ParseWebLink(const QString& text);
std::optional<TEmail> ParseEmail(const QString& text);
std::optional<TPhone> ParsePhone(const QString& text);
std::optional<TSms> ParseSms(const QString& text);
std::optional<TWifi> ParseWifi(const QString& text);
std::optional<TContact> ParseContact(const QString& text);
std::optional<TEvent> ParseEvent(const QString& text);
std::optional<TPlace> ParsePlace(const QString& text);

// The first kind whose parser takes the text; plain text when none does.
TContent ParseContent(const QString& text);

// "text", "url", "email", "phone", "sms", "wifi", "contact", "event", "place".
QString ContentTypeName(const TContent& content);

// "WPA", "WEP", "SAE", "none": the WIFI: code's own names.
QString WifiSecurityName(TWifiSecurity security);

// The addresses the desktop is asked to open for an action.
QString EmailUrl(const TEmail& email);    // mailto:
QString PhoneUrl(const TPhone& phone);    // tel:
QString SmsUrl(const TSms& sms);          // sms:
QString PlaceGeoUrl(const TPlace& place); // geo:
QString PlaceMapUrl(const TPlace& place); // https://www.openstreetmap.org/ with a marker

// What a contact is saved as, a vCard file with CR LF line ends and lines
// folded at 75 octets: the code's own card for a vCard, whole (every line
// of it, structured names, phone types, birthday, address parts). A vCard
// 2.1 card is written as vCard 3.0: its quoted-printable values decoded from
// the character set they name into UTF-8 (3.0 has no CHARSET parameter and
// its files are UTF-8, while a 2.1 value without one is ASCII), bare types
// ("TEL;CELL") named ("TEL;TYPE=CELL") and text values escaped as 3.0 has
// them. A MECARD: is written as vCard 3.0; a contact put together otherwise
// from its shown fields.
QByteArray ContactVCard(const TContact& contact);
// What an event is saved as: an iCalendar file with the one event (CR LF
// lines), a new UID (a UUID) and the time it was written as DTSTAMP.
QByteArray EventICalendar(const TEvent& event);

// When an event is, as the user is shown it: the start and, when there is
// one, the end in the locale's short format. Times in UTC are shown in the
// user's time zone; a floating time as it is; a time in a zone Qt does not
// know as it is, with the zone's name. An all-day event shows dates only,
// its last day rather than the day after it.
QString EventWhen(const TEvent& event, const QLocale& locale);
