// Access keys of a menu's captions, assigned as a menu does it itself.
#include "app/AccessKeys.h"

#include <gtest/gtest.h>

namespace {

struct AccessKeyCase {
    const char* name;
    QStringList captions;
    QStringList expected;
};

class AccessKeys : public ::testing::TestWithParam<AccessKeyCase> {};

TEST_P(AccessKeys, FirstFreeLetterExplicitOnesKept)
{
    const QStringList marked = WithAccessKeys(GetParam().captions);
    EXPECT_EQ(marked, GetParam().expected);
    for (qsizetype i = 0; i < marked.size(); ++i)
        EXPECT_EQ(WithoutAccessKey(marked[i]), WithoutAccessKey(GetParam().captions[i]));
}

INSTANTIATE_TEST_SUITE_P(
    Menus, AccessKeys,
    ::testing::Values(
        AccessKeyCase{"first_letters", {"File", "Settings", "Help"}, {"&File", "&Settings", "&Help"}},
        // An explicit key is reserved before the others are chosen, wherever it stands.
        AccessKeyCase{"explicit_reserved_first",
                      {"Online Help", "Update Notifications", "Language...", "Send &Feedback...", "&About..."},
                      {"&Online Help", "&Update Notifications", "&Language...", "Send &Feedback...", "&About..."}},
        AccessKeyCase{"later_letter_when_taken", {"Copy", "Code", "Cool"}, {"&Copy", "C&ode", "Coo&l"}},
        AccessKeyCase{"case_does_not_matter", {"abc", "ABD"}, {"&abc", "A&BD"}},
        AccessKeyCase{"digits_when_letters_taken", {"EAN", "EAN_13"}, {"&EAN", "E&AN_13"}},
        AccessKeyCase{"none_left", {"AB", "BA", "AB"}, {"&AB", "&BA", "AB"}},
        AccessKeyCase{"separators_stay_empty", {"Exit", "", "Edit"}, {"&Exit", "", "E&dit"}},
        AccessKeyCase{"literal_ampersand", {"&& More", "M&&M"}, {"&& &More", "M&&M"}},
        AccessKeyCase{"punctuation_skipped", {"...Open", "_x"}, {"...&Open", "_&x"}},
        // The Settings menu: the entries added after the classic ones take the letters they leave free.
        AccessKeyCase{
            "settings_menu",
            {"&Code Format", "Read Inverted Codes", "Read Every Format", "Try Harder", "", "&Reset to Defaults"},
            {"&Code Format", "R&ead Inverted Codes", "Re&ad Every Format", "&Try Harder", "", "&Reset to Defaults"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WithoutAccessKey, RemovesTheMarkerKeepsLiteralAmpersands)
{
    EXPECT_EQ(WithoutAccessKey("Send &Feedback..."), "Send Feedback...");
    EXPECT_EQ(WithoutAccessKey("M&&M"), "M&M");
    EXPECT_EQ(WithoutAccessKey("&DATA_MATRIX"), "DATA_MATRIX");
    EXPECT_EQ(WithoutAccessKey("tail&"), "tail");
}

} // namespace
