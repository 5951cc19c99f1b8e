// The pieces of the update check: reading a reply, the stored link's
// scrambling, the error log, the decision whether the update window is due,
// and which address the update window's link opens.
#include "online/UpdateCheck.h"

#include <gtest/gtest.h>

#include <ostream>
#include <set>
#include <vector>

namespace {

std::string Shown(const QString& text)
{
    return (QLatin1Char('"') + QString(text).replace("\r", "\\r").replace("\n", "\\n") + QLatin1Char('"'))
        .toStdString();
}

// ---- ExtractTag ------------------------------------------------------------------

struct TagCase {
    const char* line;
    const char* tag;
    const char* value;
};

std::ostream& operator<<(std::ostream& out, const TagCase& c)
{
    return out << Shown(c.line) << " tag " << Shown(c.tag);
}

class ExtractTagTest : public ::testing::TestWithParam<TagCase> {};

TEST_P(ExtractTagTest, ValueBetweenTheTags)
{
    EXPECT_EQ(ExtractTag(QString::fromUtf8(GetParam().line), QString::fromUtf8(GetParam().tag)),
              QString::fromUtf8(GetParam().value));
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ExtractTagTest,
    ::testing::Values(TagCase{"<version>1.3</version>", "version", "1.3"},
                      TagCase{"<url>https://dl.example/x?a=1&b=2</url>", "url", "https://dl.example/x?a=1&b=2"},
                      TagCase{"<version>1.3</version>", "VERSION", "1.3"}, // the tag name is taken in lower case
                      TagCase{"<VERSION>1.3</VERSION>", "version", ""},    // the line's tags compare case-sensitively
                      TagCase{" <version>1.3</version>", "version", ""},   // nothing is trimmed
                      TagCase{"<version>1.3</version> ", "version", ""},
                      TagCase{"<version> 1.3 </version>", "version", " 1.3 "},
                      TagCase{"<version></version>", "version", ""},
                      TagCase{"<version>a</version>b</version>", "version", "a</version>b"},
                      TagCase{"<version>1.3", "version", ""}, TagCase{"1.3</version>", "version", ""},
                      TagCase{"<url>x</url>", "version", ""},
                      TagCase{"<important>caf\xC3\xA9 <b>x</b></important>", "important", "caf\xC3\xA9 <b>x</b>"},
                      TagCase{"", "version", ""}, TagCase{"<></>", "", ""}, TagCase{"<version>1.3</version>", "", ""}));

// ---- Reply lines -----------------------------------------------------------------

struct LinesCase {
    const char* reply;
    std::vector<const char*> lines;
};

std::ostream& operator<<(std::ostream& out, const LinesCase& c)
{
    return out << Shown(c.reply);
}

class ReplyLinesTest : public ::testing::TestWithParam<LinesCase> {};

TEST_P(ReplyLinesTest, SplitAtCrLfOrCrLf)
{
    QStringList expected;
    for (const char* line : GetParam().lines)
        expected << QString::fromUtf8(line);
    EXPECT_EQ(ReplyLines(QString::fromUtf8(GetParam().reply)), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ReplyLinesTest,
    ::testing::Values(LinesCase{"", {}}, LinesCase{"one", {"one"}}, LinesCase{"a\r\nb", {"a", "b"}},
                      LinesCase{"a\rb\nc", {"a", "b", "c"}}, LinesCase{"a\n\rb", {"a", "", "b"}},
                      LinesCase{"a\r\r\nb", {"a", "", "b"}}, LinesCase{"a\r\n", {"a"}}, LinesCase{"a\n\n", {"a", ""}},
                      LinesCase{"\n", {""}}, LinesCase{"\r\n\r\nx", {"", "", "x"}},
                      LinesCase{"<version>1</version>\r\n<url></url>\r\n\r\n<result>1</result>",
                                {"<version>1</version>", "<url></url>", "", "<result>1</result>"}}));

// ---- The scrambler ---------------------------------------------------------------

class ScrambleRoundTripTest : public ::testing::TestWithParam<const char*> {};

TEST_P(ScrambleRoundTripTest, UnscrambleGivesTheTextBack)
{
    const QString text = QString::fromUtf8(GetParam());
    const QString hex = ScrambleText(text);
    EXPECT_EQ(hex.size(), 2 * text.toUtf8().size());
    for (const QChar c : hex)
        EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')) << hex.toStdString();
    EXPECT_EQ(UnscrambleText(hex), text);
    EXPECT_EQ(UnscrambleText(hex.toLower()), text); // letter case does not matter
    EXPECT_EQ(UnscrambleText(hex + "7"), text);     // a last unpaired character is ignored
    EXPECT_EQ(UnscrambleText(hex + "Z"), text);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ScrambleRoundTripTest,
    ::testing::Values("", "h", "https://www.dastrel.invalid/download/lantrix-1.3.zip",
                      "http://dl.example/F\xC3\xBCr M\xC3\xBCller?x=\xE2\x82\xAC&y=%20",
                      "\xE4\xB8\x8B\xE8\xBD\xBD \xD0\xB7\xD0\xB0\xD0\xB3\xD1\x80\xD1\x83\xD0\xB7\xD0\xBA\xD0\xB0",
                      "\xF0\x9F\x98\x80 emoji", "line\r\nbreak\ttab",
                      "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"));

TEST(ScrambleText, HidesTheText)
{
    const QString link = "https://www.dastrel.invalid/download/";
    const QString hex = ScrambleText(link);
    // Written plainly, the link would be its bytes in hexadecimal.
    EXPECT_NE(hex, QString::fromLatin1(link.toUtf8().toHex().toUpper()));
    // A byte repeated does not give the same pair again and again.
    const QString repeated = ScrambleText(QString(40, 'a'));
    std::set<QString> pairs;
    for (qsizetype i = 0; i < repeated.size(); i += 2)
        pairs.insert(repeated.mid(i, 2));
    EXPECT_GT(pairs.size(), 10u);
}

TEST(ScrambleText, TheKeyFollowsTheScrambledBytes)
{
    // Texts that differ in one byte scramble alike before it and differently
    // after it.
    const QString one = ScrambleText("http://a.example/download");
    const QString other = ScrambleText("http://b.example/download");
    EXPECT_EQ(one.left(14), other.left(14));
    EXPECT_NE(one.mid(14, 2), other.mid(14, 2));
    EXPECT_NE(one.mid(16), other.mid(16));
}

class UnscrambleNotHexTest : public ::testing::TestWithParam<const char*> {};

TEST_P(UnscrambleNotHexTest, GivesEmptyText)
{
    EXPECT_EQ(UnscrambleText(QString::fromUtf8(GetParam())), QString());
}

INSTANTIATE_TEST_SUITE_P(Inputs, UnscrambleNotHexTest,
                         ::testing::Values("GG", "zz11", "12 4", "0x12", "-1", "+F", "1G", "A\xC3\xA9", "ABCDEFGH",
                                           "https://www.dastrel.invalid/"));

TEST(UnscrambleText, AnyHexGivesSomeText)
{
    EXPECT_EQ(UnscrambleText(""), QString());
    EXPECT_EQ(UnscrambleText("5"), QString());         // only an unpaired character
    EXPECT_FALSE(UnscrambleText("FFFE00C0").isNull()); // bytes that are not UTF-8 decode all the same
}

// ---- The error log ---------------------------------------------------------------

struct RecordCase {
    std::vector<const char*> messages;
    bool checkError;
    const char* log;
};

std::ostream& operator<<(std::ostream& out, const RecordCase& c)
{
    out << "messages";
    for (const char* message : c.messages)
        out << ' ' << Shown(message);
    return out;
}

class RecordCheckErrorTest : public ::testing::TestWithParam<RecordCase> {};

TEST_P(RecordCheckErrorTest, NotesEveryMessageThatIsNotBlank)
{
    TCheckErrors errors;
    for (const char* message : GetParam().messages)
        RecordCheckError(errors, QString::fromUtf8(message));
    EXPECT_EQ(errors.CheckError, GetParam().checkError);
    EXPECT_EQ(errors.CheckErrorLog, QString::fromUtf8(GetParam().log));
}

INSTANTIATE_TEST_SUITE_P(
    Messages, RecordCheckErrorTest,
    ::testing::Values(RecordCase{{}, false, ""}, RecordCase{{""}, false, ""}, RecordCase{{" \r\n\t "}, false, ""},
                      RecordCase{{"Error: GUID generate problem!"}, true, "Error: GUID generate problem!"},
                      RecordCase{{"HTTPS Response:\rfailed", "HTTP Response:\rfailed too"},
                                 true,
                                 "HTTPS Response:\rfailed\r\rHTTP Response:\rfailed too"},
                      RecordCase{{"A", "  ", "B"}, true, "A\r\rB"}, RecordCase{{" A "}, true, " A "}));

TEST(RecordCheckError, ClearForgetsEverything)
{
    TCheckErrors errors;
    RecordCheckError(errors, "A");
    errors.Clear();
    EXPECT_FALSE(errors.CheckError);
    EXPECT_EQ(errors.CheckErrorLog, QString());
    RecordCheckError(errors, "B");
    EXPECT_EQ(errors.CheckErrorLog, QString("B"));
}

// ---- The request -----------------------------------------------------------------

TEST(CheckFields, InTheirOrder)
{
    EXPECT_EQ(CheckFields("DASTREL - Lantrix", "1.2", "Debian (Version 6.1, Build 0, 64-bit Edition)", "de-DE",
                          "0b8f6a3e-1c2d-4e5f-8a9b-0c1d2e3f4a5b"),
              QStringList({"cmd=check", "appname=DASTREL - Lantrix", "version=1.2",
                           "os=Debian (Version 6.1, Build 0, 64-bit Edition)", "local=de-DE",
                           "guid=0b8f6a3e-1c2d-4e5f-8a9b-0c1d2e3f4a5b"}));
}

TEST(IsValidResult, OnlyZeroOrOne)
{
    EXPECT_TRUE(IsValidResult("0"));
    EXPECT_TRUE(IsValidResult("1"));
    for (const char* other : {"", "2", " 1", "1 ", "01", "true", "-0"})
        EXPECT_FALSE(IsValidResult(other)) << other;
}

// ---- The decision ----------------------------------------------------------------

struct DueCase {
    const char* latest;
    const char* running;
    const char* lastDay;
    const char* today;
    int count; // valid replies today, this one included
    bool due;
};

std::ostream& operator<<(std::ostream& out, const DueCase& c)
{
    return out << Shown(c.latest) << " against " << Shown(c.running) << ", last " << Shown(c.lastDay) << ", today "
               << Shown(c.today) << ", count " << c.count;
}

class UpdateDueTest : public ::testing::TestWithParam<DueCase> {};

TEST_P(UpdateDueTest, Decision)
{
    const DueCase& c = GetParam();
    EXPECT_EQ(IsUpdateDue(c.latest, c.running, c.lastDay, c.today, c.count), c.due);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, UpdateDueTest,
    ::testing::Values(DueCase{"1.3", "1.2", "", "05/01/2026", 1, true}, // first run ever
                      DueCase{"1.2", "1.2", "", "05/01/2026", 1, false},
                      DueCase{"1.2.0", "1.2", "", "05/01/2026", 1, true}, // differs as text, numeric without dots
                      DueCase{"1.1", "1.2", "", "05/01/2026", 1, true},   // not by magnitude: older shows too
                      DueCase{"1.2a", "1.2", "", "05/01/2026", 1, false}, // a letter: not a number
                      DueCase{"", "1.2", "", "05/01/2026", 1, false},
                      DueCase{"1.3 ", "1.2", "", "05/01/2026", 1, false},
                      DueCase{" 1.3", "1.2", "", "05/01/2026", 1, false},
                      DueCase{".", "1.2", "", "05/01/2026", 1, false},
                      DueCase{"1..3", "1.2", "", "05/01/2026", 1, true},
                      DueCase{"\xD9\xA1.\xD9\xA3", "1.2", "", "05/01/2026", 1, false},  // digits of another script
                      DueCase{"2026.1.15.987654321", "1.2", "", "05/01/2026", 1, true}, // any length
                      DueCase{"1.3", "1.2", "05/01/2026", "05/01/2026", 4, true},
                      DueCase{"1.3", "1.2", "05/01/2026", "05/01/2026", 5, false},
                      DueCase{"1.3", "1.2", "04/01/2026", "05/01/2026", 5, true},   // another day
                      DueCase{"1.3", "1.2", "2026-01-05", "05/01/2026", 9, true})); // another date format

TEST(IsNumericVersion, Sign)
{
    EXPECT_TRUE(IsNumericVersion("+1.3"));
    EXPECT_TRUE(IsNumericVersion("-1"));
    EXPECT_FALSE(IsNumericVersion("+"));
    EXPECT_FALSE(IsNumericVersion("1.-3"));
}

// ---- The link --------------------------------------------------------------------

struct LinkCase {
    const char* link;
    const char* opened; // empty: the home page
};

std::ostream& operator<<(std::ostream& out, const LinkCase& c)
{
    return out << Shown(c.link);
}

class DownloadAddressTest : public ::testing::TestWithParam<LinkCase> {};

TEST_P(DownloadAddressTest, OnlyWebAddressesAreOpened)
{
    const QUrl home("http://www.dastrel.invalid/");
    const QUrl opened = UpdateDownloadAddress(QString::fromUtf8(GetParam().link), home);
    const QString expected = QString::fromUtf8(GetParam().opened);
    EXPECT_EQ(opened, expected.isEmpty() ? home : QUrl(expected)) << opened.toString().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Links, DownloadAddressTest,
    ::testing::Values(LinkCase{"", ""},
                      LinkCase{"https://dl.example/lantrix-1.3.zip", "https://dl.example/lantrix-1.3.zip"},
                      LinkCase{"http://dl.example/get?v=1.3&os=linux", "http://dl.example/get?v=1.3&os=linux"},
                      LinkCase{"HTTPS://DL.example/x", "https://dl.example/x"},
                      LinkCase{" https://dl.example/x ", "https://dl.example/x"}, LinkCase{"javascript:alert(1)", ""},
                      LinkCase{"file:///etc/passwd", ""}, LinkCase{"ftp://dl.example/x.zip", ""},
                      LinkCase{"mailto:someone@dl.example", ""}, LinkCase{"data:text/html,<b>x</b>", ""},
                      LinkCase{"dl.example/x.zip", ""}, LinkCase{"/download/", ""}, LinkCase{"http://", ""},
                      LinkCase{"https:///path", ""}, LinkCase{"http://exa mple.com/", ""},
                      LinkCase{"smb://host/share", ""}));

} // namespace
