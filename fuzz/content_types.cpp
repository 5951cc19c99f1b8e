// What a decoded text holds: the parsers of every kind, the files a contact
// and an event are saved as, the host a link is shown by, the JSON of it.
//
// Input: any bytes, as the UTF-8 text of a code.
//
// Properties: the kind is the first parser that takes the text, and its JSON
// says that kind; a Wi-Fi network has a name of 1 to 32 bytes and a password
// unless it is open; a saved contact or event parses back as one, in lines of
// at most 75 bytes; a link's host is shown in ASCII whenever its letters mix
// scripts.
#include "support/FuzzCheck.h"

#include "content/Content.h"
#include "content/ContentJson.h"
#include "content/LinkHost.h"

#include <QJsonObject>

namespace {

void CheckLines(const QByteArray& file)
{
    FUZZ_CHECK(file.endsWith("\r\n"));
    for (const QByteArray& line : file.split('\n'))
        FUZZ_CHECK(line.size() <= 76); // 75 bytes and the CR
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 0x4000)
        return 0;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const TContent content = ParseContent(text);
    FUZZ_CHECK(ContentJson(content).value(QStringLiteral("type")).toString() == ContentTypeName(content));

    // The first parser that takes the text decides.
    const bool taken[] = {ParseWebLink(text).has_value(), ParseEmail(text).has_value(), ParsePhone(text).has_value(),
                          ParseSms(text).has_value(),     ParseWifi(text).has_value(),  ParseContact(text).has_value(),
                          ParseEvent(text).has_value(),   ParsePlace(text).has_value()};
    std::size_t first = 0;
    while (first < std::size(taken) && !taken[first])
        ++first;
    FUZZ_CHECK(content.index() == (first == std::size(taken) ? 0 : first + 1));

    if (const auto* link = std::get_if<TWebLink>(&content)) {
        const QString host = DisplayHost(link->url);
        FUZZ_CHECK(!host.isEmpty());
        if (MixesScripts(host))
            FUZZ_CHECK(false); // a host shown in its own letters never mixes scripts
    }
    if (const auto* wifi = std::get_if<TWifi>(&content)) {
        FUZZ_CHECK(!wifi->ssid.isEmpty() && wifi->ssid.toUtf8().size() <= 32);
        FUZZ_CHECK((wifi->security == TWifiSecurity::None) == wifi->password.isEmpty());
    }
    if (const auto* contact = std::get_if<TContact>(&content)) {
        const QByteArray card = ContactVCard(*contact);
        CheckLines(card);
        FUZZ_CHECK(ParseContact(QString::fromUtf8(card)).has_value());
    }
    if (const auto* event = std::get_if<TEvent>(&content)) {
        const QByteArray calendar = EventICalendar(*event);
        CheckLines(calendar);
        const std::optional<TEvent> back = ParseEvent(QString::fromUtf8(calendar));
        FUZZ_CHECK(back && back->start == event->start && back->end == event->end);
    }
    return 0;
}
