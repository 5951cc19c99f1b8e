#include "content/ContentJson.h"

#include <QJsonArray>
#include <QJsonValue>

namespace {

QJsonValue OrNull(const QString& text)
{
    return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

struct TJsonOf {
    QJsonObject& o;

    void operator()(const TPlainText&) const {}
    void operator()(const TWebLink& link) const { o.insert(QStringLiteral("url"), link.url); }
    void operator()(const TEmail& email) const
    {
        o.insert(QStringLiteral("to"), QJsonArray::fromStringList(email.to));
        o.insert(QStringLiteral("subject"), OrNull(email.subject));
        o.insert(QStringLiteral("body"), OrNull(email.body));
        o.insert(QStringLiteral("cc"), QJsonArray::fromStringList(email.cc));
        o.insert(QStringLiteral("bcc"), QJsonArray::fromStringList(email.bcc));
    }
    void operator()(const TPhone& phone) const { o.insert(QStringLiteral("number"), phone.number); }
    void operator()(const TSms& sms) const
    {
        o.insert(QStringLiteral("number"), sms.number);
        o.insert(QStringLiteral("body"), OrNull(sms.body));
    }
    void operator()(const TWifi& wifi) const
    {
        o.insert(QStringLiteral("ssid"), wifi.ssid);
        o.insert(QStringLiteral("security"), WifiSecurityName(wifi.security));
        o.insert(QStringLiteral("password"), OrNull(wifi.password));
        o.insert(QStringLiteral("hidden"), wifi.hidden);
    }
    void operator()(const TContact& contact) const
    {
        o.insert(QStringLiteral("name"), contact.name);
        o.insert(QStringLiteral("phones"), QJsonArray::fromStringList(contact.phones));
        o.insert(QStringLiteral("emails"), QJsonArray::fromStringList(contact.emails));
        o.insert(QStringLiteral("organization"), OrNull(contact.organization));
        o.insert(QStringLiteral("title"), OrNull(contact.title));
        o.insert(QStringLiteral("address"), OrNull(contact.address));
        o.insert(QStringLiteral("url"), OrNull(contact.url));
        o.insert(QStringLiteral("note"), OrNull(contact.note));
    }
    void operator()(const TEvent& event) const
    {
        o.insert(QStringLiteral("summary"), OrNull(event.summary));
        o.insert(QStringLiteral("start"), event.start);
        o.insert(QStringLiteral("end"), OrNull(event.end));
        o.insert(QStringLiteral("location"), OrNull(event.location));
        o.insert(QStringLiteral("description"), OrNull(event.description));
        o.insert(QStringLiteral("timeZone"), OrNull(event.timeZone));
    }
    void operator()(const TPlace& place) const
    {
        o.insert(QStringLiteral("latitude"), place.latitude);
        o.insert(QStringLiteral("longitude"), place.longitude);
        o.insert(QStringLiteral("altitude"),
                 place.altitude ? QJsonValue(*place.altitude) : QJsonValue(QJsonValue::Null));
        o.insert(QStringLiteral("query"), OrNull(place.query));
    }
};

} // namespace

QJsonObject ContentJson(const TContent& content)
{
    QJsonObject object;
    object.insert(QStringLiteral("type"), ContentTypeName(content));
    std::visit(TJsonOf{object}, content);
    return object;
}
