// Events: a VEVENT, alone or in a VCALENDAR (RFC 5545), the calendar it is
// saved as and the time it is shown at.
#include "content/Content.h"
#include "content/ContentLines.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QTimeZone>
#include <QUuid>

namespace {

// A date and time in UTC (written so for Qt releases that know no QTimeZone::UTC).
QDateTime UtcTime(QDate date, QTime time)
{
    return QDateTime(date, time, QTimeZone(0));
}

// A DTSTART or DTEND as read.
struct TIcsTime {
    enum class TKind { Date, Utc, Zoned, UnknownZone, Floating };
    TKind kind = TKind::Floating;
    // Date and Floating: the date and time read, with a UTC clock that
    // moves without daylight saving; UnknownZone: the same; Utc: the time in
    // UTC; Zoned: the time in its zone.
    QDateTime at;
    QString zoneName; // UnknownZone only

    bool IsAbsolute() const { return kind == TKind::Utc || kind == TKind::Zoned; }
};

// The zone a TZID names, by its IANA name or by the Windows name some
// calendars write; invalid when Qt knows neither.
QTimeZone ZoneOf(const QString& tzid)
{
    QTimeZone zone(tzid.toUtf8());
    if (!zone.isValid()) {
        const QByteArray iana = QTimeZone::windowsIdToDefaultIanaId(tzid.toUtf8());
        if (!iana.isEmpty())
            zone = QTimeZone(iana);
    }
    return zone;
}

// An iCalendar DATE or DATE-TIME ("20261224", "20261224T180000", "...Z") and
// the zone its TZID names; nothing when it is neither.
std::optional<TIcsTime> IcsTime(const TLine& line)
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(^(\d{4})(\d{2})(\d{2})(?:T(\d{2})(\d{2})(\d{2})(Z?))?$)"));
    const QRegularExpressionMatch match = pattern.match(line.value.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    const QDate date(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
    if (!date.isValid())
        return std::nullopt;
    TIcsTime time;
    if (match.captured(4).isEmpty()) {
        time.kind = TIcsTime::TKind::Date;
        time.at = UtcTime(date, QTime(0, 0));
        return time;
    }
    const QTime clock(match.captured(4).toInt(), match.captured(5).toInt(), match.captured(6).toInt());
    if (!clock.isValid())
        return std::nullopt;
    const QString tzid = ParamValue(line, QLatin1String("TZID")).value_or(QString()).trimmed();
    if (tzid.contains(u'"'))
        return std::nullopt; // no parameter value holds a double quote
    if (!match.captured(7).isEmpty()) {
        time.kind = TIcsTime::TKind::Utc;
        time.at = UtcTime(date, clock);
    } else if (tzid.isEmpty()) {
        time.kind = TIcsTime::TKind::Floating;
        time.at = UtcTime(date, clock);
    } else if (const QTimeZone zone = ZoneOf(tzid); zone.isValid()) {
        time.kind = TIcsTime::TKind::Zoned;
        time.at = QDateTime(date, clock, zone);
    } else {
        time.kind = TIcsTime::TKind::UnknownZone;
        time.at = UtcTime(date, clock);
        time.zoneName = tzid;
    }
    return time;
}

// The time as TEvent keeps it.
QString IsoText(const TIcsTime& time)
{
    switch (time.kind) {
    case TIcsTime::TKind::Date: return time.at.date().toString(Qt::ISODate);
    case TIcsTime::TKind::Utc:
    case TIcsTime::TKind::Zoned: return time.at.toUTC().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'"));
    case TIcsTime::TKind::UnknownZone:
    case TIcsTime::TKind::Floating: break;
    }
    return time.at.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss"));
}

// A DURATION (RFC 5545 dur-value: "P1W", "P2D", "P1DT2H30M", "PT15M", "+P1D")
// added to `start`. Nothing for a negative or malformed duration, and for
// one with hours, minutes or seconds after a whole day.
std::optional<TIcsTime> EndAfter(const TIcsTime& start, const QString& duration)
{
    // At most nine digits a number: no sum below overflows.
    static const QRegularExpression pattern(QStringLiteral(
        R"(^\+?P(?:(\d{1,9})W|(\d{1,9})D(?:T(?:(\d{1,9})H)?(?:(\d{1,9})M)?(?:(\d{1,9})S)?)?|T(?:(\d{1,9})H)?(?:(\d{1,9})M)?(?:(\d{1,9})S)?)$)"));
    const QString text = duration.trimmed().toUpper();
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch() || text.endsWith(u'T'))
        return std::nullopt;
    const auto number = [&](int group) { return match.captured(group).toLongLong(); };
    const qint64 days = number(1) * 7 + number(2);
    const qint64 seconds = (number(3) + number(6)) * 3600 + (number(4) + number(7)) * 60 + number(5) + number(8);
    if (start.kind == TIcsTime::TKind::Date && seconds != 0)
        return std::nullopt;
    // Days are nominal: a day across a change of daylight saving time is the
    // same time on the next day; hours, minutes and seconds are exact.
    TIcsTime end = start;
    end.at = start.at.addDays(days).addSecs(seconds);
    return end;
}

// Whether the time can be written as iCalendar has it: a year of four digits.
bool IsWritable(const TIcsTime& time)
{
    if (!time.at.isValid())
        return false;
    const int year = time.IsAbsolute() ? time.at.toUTC().date().year() : time.at.date().year();
    return year >= 1 && year <= 9999;
}

// Whether `end` comes before `start`. A floating time is compared as if it
// were UTC with an absolute one: the user's zone is not the code's.
bool EndsBeforeItStarts(const TIcsTime& start, const TIcsTime& end)
{
    if (start.IsAbsolute() == end.IsAbsolute())
        return end.at < start.at;
    const auto naive = [](const TIcsTime& time) { return time.IsAbsolute() ? time.at.toUTC() : time.at; };
    return naive(end) < naive(start);
}

// "2026-12-24T18:00:00Z" and the like as "20261224T180000Z".
QString IcsTimeValue(const QString& iso)
{
    QString value = iso;
    value.remove(u'-');
    value.remove(u':');
    return value;
}

// A parameter value in double quotes when it holds a character that ends one.
QString ParamText(const QString& value)
{
    QString clean = value;
    clean.remove(u'"');
    if (clean.contains(u':') || clean.contains(u';') || clean.contains(u','))
        return u'"' + clean + u'"';
    return clean;
}

} // namespace

std::optional<TEvent> ParseEvent(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (!HasPrefix(trimmed, QLatin1String("BEGIN:VEVENT")) && !HasPrefix(trimmed, QLatin1String("BEGIN:VCALENDAR")))
        return std::nullopt;
    const QList<TLine> lines = ContentLines(trimmed);
    TEvent event;
    std::optional<TIcsTime> start, end;
    std::optional<QString> duration;
    int events = 0;
    bool inEvent = false, ended = false;
    for (const TLine& line : lines) {
        const QString value = line.value.trimmed().toUpper();
        if (line.name == QLatin1String("BEGIN") && value == QLatin1String("VEVENT")) {
            if (++events > 1)
                return std::nullopt; // several events: not one to add
            inEvent = true;
            continue;
        }
        if (line.name == QLatin1String("END") && value == QLatin1String("VEVENT") && inEvent) {
            inEvent = false;
            ended = true;
            continue;
        }
        if (!inEvent)
            continue;
        if (line.name == QLatin1String("SUMMARY"))
            event.summary = TextValue(line);
        else if (line.name == QLatin1String("LOCATION"))
            event.location = TextValue(line);
        else if (line.name == QLatin1String("DESCRIPTION"))
            event.description = TextValue(line);
        else if (line.name == QLatin1String("DTSTART") || line.name == QLatin1String("DTEND")) {
            const std::optional<TIcsTime> time = IcsTime(line);
            if (!time)
                return std::nullopt;
            (line.name == QLatin1String("DTSTART") ? start : end) = time;
        } else if (line.name == QLatin1String("DURATION"))
            duration = line.value;
    }
    if (!ended || !start || !IsWritable(*start))
        return std::nullopt;
    if (end && duration)
        return std::nullopt; // RFC 5545 allows one of the two
    if (duration) {
        end = EndAfter(*start, *duration);
        if (!end)
            return std::nullopt;
    }
    if (end) {
        if (!IsWritable(*end))
            return std::nullopt;
        // Both a day or both a time, and a zone Qt does not know shared by both.
        if ((start->kind == TIcsTime::TKind::Date) != (end->kind == TIcsTime::TKind::Date))
            return std::nullopt;
        if ((start->kind == TIcsTime::TKind::UnknownZone || end->kind == TIcsTime::TKind::UnknownZone)
            && (start->kind != end->kind || start->zoneName != end->zoneName))
            return std::nullopt;
        if (EndsBeforeItStarts(*start, *end))
            return std::nullopt;
        event.end = IsoText(*end);
    }
    event.start = IsoText(*start);
    event.timeZone = start->zoneName;
    return event;
}

QByteArray EventICalendar(const TEvent& event)
{
    QByteArray out = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//" LANTRIX_MAKER_NAME "//" LANTRIX_PRODUCT_NAME
                     "//EN\r\nBEGIN:VEVENT\r\n";
    out += FoldedLine(QStringLiteral("UID:") + QUuid::createUuid().toString(QUuid::WithoutBraces));
    out += FoldedLine(QStringLiteral("DTSTAMP:")
                      + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'")));
    auto time = [&event](const char* name, const QString& iso) {
        QString params;
        if (!iso.contains(u'T'))
            params = QStringLiteral(";VALUE=DATE");
        else if (!event.timeZone.isEmpty() && !iso.endsWith(u'Z'))
            params = QStringLiteral(";TZID=") + ParamText(event.timeZone);
        return FoldedLine(QLatin1String(name) + params + u':' + IcsTimeValue(iso));
    };
    out += time("DTSTART", event.start);
    if (!event.end.isEmpty())
        out += time("DTEND", event.end);
    const std::pair<const char*, const QString*> texts[] = {
        {"SUMMARY", &event.summary}, {"LOCATION", &event.location}, {"DESCRIPTION", &event.description}};
    for (const auto& [name, value] : texts)
        if (!value->isEmpty())
            out += FoldedLine(QLatin1String(name) + u':' + Escaped(*value));
    out += "END:VEVENT\r\nEND:VCALENDAR\r\n";
    return out;
}

QString EventWhen(const TEvent& event, const QLocale& locale)
{
    const auto dateOf = [](const QString& iso) { return QDate::fromString(iso.left(10), Qt::ISODate); };
    if (!event.start.contains(u'T')) {
        const QDate first = dateOf(event.start);
        // The end of an all-day event is the day after its last.
        const QDate last = event.end.isEmpty() ? first : dateOf(event.end).addDays(-1);
        QString shown = locale.toString(first, QLocale::ShortFormat);
        if (last.isValid() && last > first)
            shown += QStringLiteral(" – ") + locale.toString(last, QLocale::ShortFormat);
        return shown;
    }
    // The date and time the user reads: UTC in the user's zone, others as given.
    const auto shownAt = [](const QString& iso) {
        const QDateTime given =
            UtcTime(QDate::fromString(iso.left(10), Qt::ISODate), QTime::fromString(iso.mid(11, 8), Qt::ISODate));
        if (!iso.endsWith(u'Z'))
            return std::pair{given.date(), given.time()};
        const QDateTime local = given.toLocalTime();
        return std::pair{local.date(), local.time()};
    };
    const auto [startDate, startTime] = shownAt(event.start);
    QString shown =
        locale.toString(startDate, QLocale::ShortFormat) + u' ' + locale.toString(startTime, QLocale::ShortFormat);
    if (!event.end.isEmpty()) {
        const auto [endDate, endTime] = shownAt(event.end);
        shown += QStringLiteral(" – ");
        if (endDate != startDate)
            shown += locale.toString(endDate, QLocale::ShortFormat) + u' ';
        shown += locale.toString(endTime, QLocale::ShortFormat);
    }
    if (!event.timeZone.isEmpty())
        shown += QStringLiteral(" (") + event.timeZone + u')';
    return shown;
}
