// An event keeps its time: a zone Qt knows turns the time into UTC, one it
// does not know is kept with its name, UTC, floating and all-day times stay
// as they are, a DURATION gives the end, and an end before the start makes the
// code plain text. The saved calendar and the time the user is shown.
#include "content/Content.h"

#include <QDate>
#include <QRegularExpression>
#include <QTime>
#include <QUuid>

#include <gtest/gtest.h>

#include <ctime>
#include <ostream>
#include <string>

namespace {

struct TimeCase {
    const char* name;
    const char* times; // the lines between BEGIN:VEVENT and END:VEVENT
    // Nothing: the event is refused.
    std::optional<std::tuple<const char*, const char*, const char*>> expected; // start, end, zone
};

void PrintTo(const TimeCase& c, std::ostream* out)
{
    *out << c.name;
}

class EventTime : public ::testing::TestWithParam<TimeCase> {};

QString EventText(const char* times)
{
    return QStringLiteral("BEGIN:VEVENT\r\nSUMMARY:Meeting\r\n") + QString::fromUtf8(times)
           + QStringLiteral("END:VEVENT\r\n");
}

TEST_P(EventTime, IsKeptOrRefused)
{
    const QString text = EventText(GetParam().times);
    const std::optional<TEvent> event = ParseEvent(text);
    ASSERT_EQ(event.has_value(), GetParam().expected.has_value());
    if (!event) {
        EXPECT_EQ(ContentTypeName(ParseContent(text)), QLatin1String("text"));
        return;
    }
    const auto& [start, end, zone] = *GetParam().expected;
    EXPECT_EQ(event->start, QLatin1String(start));
    EXPECT_EQ(event->end, QLatin1String(end));
    EXPECT_EQ(event->timeZone, QLatin1String(zone));
    // Saved and read again, the event keeps its time.
    const QByteArray calendar = EventICalendar(*event);
    EXPECT_EQ(ParseEvent(QString::fromUtf8(calendar)), event) << calendar.constData();
}

using TTimes = std::tuple<const char*, const char*, const char*>;

INSTANTIATE_TEST_SUITE_P(
    Times, EventTime,
    ::testing::Values(
        TimeCase{"berlin_winter", "DTSTART;TZID=Europe/Berlin:20261224T180000\r\n",
                 TTimes{"2026-12-24T17:00:00Z", "", ""}},
        TimeCase{"berlin_summer", "DTSTART;TZID=Europe/Berlin:20260701T180000\r\n",
                 TTimes{"2026-07-01T16:00:00Z", "", ""}},
        TimeCase{"zone_in_quotes", "DTSTART;TZID=\"Europe/Berlin\":20261224T180000\r\n",
                 TTimes{"2026-12-24T17:00:00Z", "", ""}},
        // New York leaves daylight saving time on 1 November 2026.
        TimeCase{"new_york_across_dst",
                 "DTSTART;TZID=America/New_York:20261031T120000\r\nDTEND;TZID=America/New_York:20261102T120000\r\n",
                 TTimes{"2026-10-31T16:00:00Z", "2026-11-02T17:00:00Z", ""}},
        TimeCase{"new_york_days_are_nominal", "DTSTART;TZID=America/New_York:20261031T120000\r\nDURATION:P2D\r\n",
                 TTimes{"2026-10-31T16:00:00Z", "2026-11-02T17:00:00Z", ""}},
        TimeCase{"new_york_hours_are_exact", "DTSTART;TZID=America/New_York:20261031T120000\r\nDURATION:PT48H\r\n",
                 TTimes{"2026-10-31T16:00:00Z", "2026-11-02T16:00:00Z", ""}},
        TimeCase{"end_in_another_zone",
                 "DTSTART;TZID=Europe/Berlin:20261224T180000\r\nDTEND;TZID=America/New_York:20261224T140000\r\n",
                 TTimes{"2026-12-24T17:00:00Z", "2026-12-24T19:00:00Z", ""}},
        TimeCase{"end_in_utc_at_the_start", "DTSTART;TZID=Europe/Berlin:20261224T180000\r\nDTEND:20261224T170000Z\r\n",
                 TTimes{"2026-12-24T17:00:00Z", "2026-12-24T17:00:00Z", ""}},
        TimeCase{"unknown_zone",
                 "DTSTART;TZID=Mars/Olympus:20261224T180000\r\nDTEND;TZID=Mars/Olympus:20261224T200000\r\n",
                 TTimes{"2026-12-24T18:00:00", "2026-12-24T20:00:00", "Mars/Olympus"}},
        TimeCase{"unknown_zone_with_duration", "DTSTART;TZID=Mars/Olympus:20261224T180000\r\nDURATION:PT1H\r\n",
                 TTimes{"2026-12-24T18:00:00", "2026-12-24T19:00:00", "Mars/Olympus"}},
        TimeCase{"utc", "DTSTART:20261224T180000Z\r\nDTEND:20261224T200000Z\r\n",
                 TTimes{"2026-12-24T18:00:00Z", "2026-12-24T20:00:00Z", ""}},
        TimeCase{"floating", "DTSTART:20261224T180000\r\nDTEND:20261224T200000\r\n",
                 TTimes{"2026-12-24T18:00:00", "2026-12-24T20:00:00", ""}},
        TimeCase{"all_day", "DTSTART;VALUE=DATE:20261224\r\nDTEND;VALUE=DATE:20261226\r\n",
                 TTimes{"2026-12-24", "2026-12-26", ""}},
        TimeCase{"all_day_zone_ignored", "DTSTART;VALUE=DATE;TZID=Mars/Olympus:20261224\r\n",
                 TTimes{"2026-12-24", "", ""}},
        TimeCase{"duration_week_of_a_day", "DTSTART;VALUE=DATE:20261224\r\nDURATION:P1W\r\n",
                 TTimes{"2026-12-24", "2026-12-31", ""}},
        TimeCase{"duration_days_of_a_day", "DTSTART;VALUE=DATE:20261231\r\nDURATION:P2D\r\n",
                 TTimes{"2026-12-31", "2027-01-02", ""}},
        TimeCase{"duration_days_and_time", "DTSTART:20261224T180000Z\r\nDURATION:P1DT2H30M\r\n",
                 TTimes{"2026-12-24T18:00:00Z", "2026-12-25T20:30:00Z", ""}},
        TimeCase{"duration_minutes", "DTSTART:20261224T180000\r\nDURATION:PT15M\r\n",
                 TTimes{"2026-12-24T18:00:00", "2026-12-24T18:15:00", ""}},
        TimeCase{"duration_seconds_with_plus", "DTSTART:20261224T180000Z\r\nDURATION:+PT90S\r\n",
                 TTimes{"2026-12-24T18:00:00Z", "2026-12-24T18:01:30Z", ""}},
        TimeCase{"duration_zero", "DTSTART:20261224T180000Z\r\nDURATION:PT0S\r\n",
                 TTimes{"2026-12-24T18:00:00Z", "2026-12-24T18:00:00Z", ""}},
        TimeCase{"end_before_start", "DTSTART:20261224T180000Z\r\nDTEND:20261224T170000Z\r\n", std::nullopt},
        TimeCase{"end_before_start_in_a_zone",
                 "DTSTART;TZID=Europe/Berlin:20261224T180000\r\nDTEND:20261224T165959Z\r\n", std::nullopt},
        TimeCase{"end_before_start_unknown_zone",
                 "DTSTART;TZID=Mars/Olympus:20261224T180000\r\nDTEND;TZID=Mars/Olympus:20261224T170000\r\n",
                 std::nullopt},
        TimeCase{"day_before_start", "DTSTART;VALUE=DATE:20261224\r\nDTEND;VALUE=DATE:20261223\r\n", std::nullopt},
        TimeCase{"end_and_duration", "DTSTART:20261224T180000Z\r\nDTEND:20261224T200000Z\r\nDURATION:PT1H\r\n",
                 std::nullopt},
        TimeCase{"negative_duration", "DTSTART:20261224T180000Z\r\nDURATION:-PT1H\r\n", std::nullopt},
        TimeCase{"empty_duration", "DTSTART:20261224T180000Z\r\nDURATION:P\r\n", std::nullopt},
        TimeCase{"duration_without_time", "DTSTART:20261224T180000Z\r\nDURATION:PT\r\n", std::nullopt},
        TimeCase{"duration_with_an_empty_time", "DTSTART:20261224T180000Z\r\nDURATION:P1DT\r\n", std::nullopt},
        TimeCase{"duration_hours_without_t", "DTSTART:20261224T180000Z\r\nDURATION:P1H\r\n", std::nullopt},
        TimeCase{"duration_fraction", "DTSTART:20261224T180000Z\r\nDURATION:P1.5D\r\n", std::nullopt},
        TimeCase{"duration_weeks_and_days", "DTSTART:20261224T180000Z\r\nDURATION:P1W2D\r\n", std::nullopt},
        TimeCase{"hours_after_a_day", "DTSTART;VALUE=DATE:20261224\r\nDURATION:PT2H\r\n", std::nullopt},
        TimeCase{"day_start_time_end", "DTSTART;VALUE=DATE:20261224\r\nDTEND:20261225T100000Z\r\n", std::nullopt},
        TimeCase{"duration_past_the_year_9999", "DTSTART:99991231T180000Z\r\nDURATION:P1D\r\n", std::nullopt},
        TimeCase{"duration_of_too_many_digits", "DTSTART:20261224T180000Z\r\nDURATION:P9999999999D\r\n", std::nullopt},
        TimeCase{"zone_moves_past_the_year_9999", "DTSTART;TZID=Asia/Tokyo:99991231T180000\r\n",
                 TTimes{"9999-12-31T09:00:00Z", "", ""}},
        TimeCase{"zone_moves_into_the_year_10000", "DTSTART;TZID=America/New_York:99991231T220000\r\n", std::nullopt},
        TimeCase{"zone_with_a_quote_inside", "DTSTART;TZID=Europe/\"\"Berlin:20261224T180000\r\n", std::nullopt},
        TimeCase{"unknown_zones_differ",
                 "DTSTART;TZID=Mars/Olympus:20261224T180000\r\nDTEND;TZID=Mars/Gale:20261224T200000\r\n",
                 std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- The saved calendar --------------------------------------------------------

QString LineOf(const QByteArray& calendar, const char* name)
{
    for (const QByteArray& line : calendar.split('\n'))
        if (line.startsWith(name))
            return QString::fromUtf8(line.trimmed());
    return QString();
}

TEST(SavedEvent, HasANewUidAndAStampAndKeepsAnUnknownZone)
{
    const std::optional<TEvent> event =
        ParseEvent(EventText("DTSTART;TZID=Mars/Olympus:20261224T180000\r\nDURATION:PT2H\r\n"));
    ASSERT_TRUE(event);
    const QByteArray first = EventICalendar(*event);
    const QByteArray second = EventICalendar(*event);
    const QString firstUid = LineOf(first, "UID:").mid(4);
    const QString secondUid = LineOf(second, "UID:").mid(4);
    EXPECT_FALSE(QUuid::fromString(firstUid).isNull()) << firstUid.toStdString();
    EXPECT_EQ(QUuid::fromString(firstUid).toString(QUuid::WithoutBraces), firstUid);
    EXPECT_NE(firstUid, secondUid);
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral(R"(^DTSTAMP:\d{8}T\d{6}Z$)")).match(LineOf(first, "DTSTAMP:")).hasMatch());
    EXPECT_EQ(LineOf(first, "DTSTART"), QStringLiteral("DTSTART;TZID=Mars/Olympus:20261224T180000"));
    EXPECT_EQ(LineOf(first, "DTEND"), QStringLiteral("DTEND;TZID=Mars/Olympus:20261224T200000"));

    const std::optional<TEvent> berlin = ParseEvent(EventText("DTSTART;TZID=Europe/Berlin:20261224T180000\r\n"));
    ASSERT_TRUE(berlin);
    EXPECT_EQ(LineOf(EventICalendar(*berlin), "DTSTART"), QStringLiteral("DTSTART:20261224T170000Z"));
    const std::optional<TEvent> day = ParseEvent(EventText("DTSTART;VALUE=DATE:20261224\r\n"));
    ASSERT_TRUE(day);
    EXPECT_EQ(LineOf(EventICalendar(*day), "DTSTART"), QStringLiteral("DTSTART;VALUE=DATE:20261224"));
}

// ---- The time the user is shown ------------------------------------------------

struct WhenCase {
    const char* name;
    const char* start;
    const char* end;
    const char* zone;
    // What is shown, in the user's zone (Europe/Berlin here), as the
    // locale's short forms of these dates and times.
    QDate startDate;
    QTime startTime; // invalid for an all-day event
    QDate endDate;   // invalid: no end shown, or the end on the start's day
    QTime endTime;
};

void PrintTo(const WhenCase& c, std::ostream* out)
{
    *out << c.name;
}

class EventWhenShown : public ::testing::TestWithParam<WhenCase> {
protected:
    void SetUp() override
    {
        qputenv("TZ", "Europe/Berlin");
        tzset();
    }
};

TEST_P(EventWhenShown, InTheUsersZoneAndLocale)
{
    const WhenCase& c = GetParam();
    for (const QLocale& locale :
         {QLocale(QLocale::German, QLocale::Germany), QLocale(QLocale::English, QLocale::UnitedStates)}) {
        TEvent event;
        event.start = QLatin1String(c.start);
        event.end = QLatin1String(c.end);
        event.timeZone = QLatin1String(c.zone);
        QString expected = locale.toString(c.startDate, QLocale::ShortFormat);
        if (c.startTime.isValid())
            expected += u' ' + locale.toString(c.startTime, QLocale::ShortFormat);
        if (c.endDate.isValid() || c.endTime.isValid())
            expected += QStringLiteral(" – ");
        if (c.endDate.isValid())
            expected += locale.toString(c.endDate, QLocale::ShortFormat);
        if (c.endDate.isValid() && c.endTime.isValid())
            expected += u' ';
        if (c.endTime.isValid())
            expected += locale.toString(c.endTime, QLocale::ShortFormat);
        if (*c.zone)
            expected += QStringLiteral(" (") + QLatin1String(c.zone) + u')';
        EXPECT_EQ(EventWhen(event, locale), expected) << locale.name().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Events, EventWhenShown,
    ::testing::Values(
        WhenCase{"utc_in_winter", "2026-12-24T17:00:00Z", "", "", QDate(2026, 12, 24), QTime(18, 0), {}, {}},
        WhenCase{"utc_in_summer", "2026-07-01T16:00:00Z", "", "", QDate(2026, 7, 1), QTime(18, 0), {}, {}},
        WhenCase{"utc_on_one_day",
                 "2026-12-24T17:00:00Z",
                 "2026-12-24T19:30:00Z",
                 "",
                 QDate(2026, 12, 24),
                 QTime(18, 0),
                 {},
                 QTime(20, 30)},
        WhenCase{"utc_into_the_next_local_day", "2026-12-24T22:30:00Z", "2026-12-24T23:30:00Z", "", QDate(2026, 12, 24),
                 QTime(23, 30), QDate(2026, 12, 25), QTime(0, 30)},
        WhenCase{"floating_as_it_is",
                 "2026-12-24T18:00:00",
                 "2026-12-24T20:00:00",
                 "",
                 QDate(2026, 12, 24),
                 QTime(18, 0),
                 {},
                 QTime(20, 0)},
        WhenCase{
            "unknown_zone_named", "2026-12-24T18:00:00", "", "Mars/Olympus", QDate(2026, 12, 24), QTime(18, 0), {}, {}},
        WhenCase{"all_day", "2026-12-24", "", "", QDate(2026, 12, 24), {}, {}, {}},
        WhenCase{"all_day_one_day", "2026-12-24", "2026-12-25", "", QDate(2026, 12, 24), {}, {}, {}},
        WhenCase{"all_day_to_the_last_day",
                 "2026-12-24",
                 "2026-12-27",
                 "",
                 QDate(2026, 12, 24),
                 {},
                 QDate(2026, 12, 26),
                 {}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
