// The typed content of a decoded text. Each kind has a parser of its own, a
// pure function from the text to the typed value that answers nothing when
// the text is not of that kind or is malformed; ParseContent tries them all
// and falls back to plain text. Nothing is guessed from free text: a kind is
// recognised by its scheme or its prefix only.
#pragma once

#include <QByteArray>
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
    bool operator==(const TContact&) const = default;
};

// A VEVENT, alone or in a VCALENDAR. Times are ISO 8601 as the text gives
// them: "2026-12-24" for a day, "2026-12-24T18:00:00" for a local time,
// with "Z" for UTC.
struct TEvent {
    QString summary;
    QString start;
    QString end; // empty when the event names none
    QString location;
    QString description;
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

// What a contact is saved as: a vCard 3.0 file (CR LF lines).
QByteArray ContactVCard(const TContact& contact);
// What an event is saved as: an iCalendar file with the one event (CR LF lines).
QByteArray EventICalendar(const TEvent& event);
