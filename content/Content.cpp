// Which kind a decoded text is. The parsers of each kind live in a file of
// their own (WebLink, Email, Phone, Sms, Wifi, Contact, Event, Place), the
// pieces they share in ContentLines.
#include "content/Content.h"

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
