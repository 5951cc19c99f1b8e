#include "localization/UILanguage.h"

#include <gtest/gtest.h>

namespace {

struct LocaleCase {
    const char* tag;
    quint16 id;
};

class LanguageIdTest : public ::testing::TestWithParam<LocaleCase> {};

TEST_P(LanguageIdTest, GivesTheWindowsLanguageIdentifier)
{
    EXPECT_EQ(LanguageIdOfLocale(QString::fromLatin1(GetParam().tag)), GetParam().id) << GetParam().tag;
}

// The identifiers LanguageCodes.csv is keyed by, from the forms in which Qt
// names the user's interface languages.
INSTANTIATE_TEST_SUITE_P(
    Tags, LanguageIdTest,
    ::testing::Values(LocaleCase{"de-DE", 1031}, LocaleCase{"de_DE", 1031}, LocaleCase{"de-Latn-DE", 1031},
                      LocaleCase{"de", 1031}, LocaleCase{"de-AT", 3079}, LocaleCase{"de-CH", 2055},
                      LocaleCase{"de-LI", 5127}, LocaleCase{"en-US", 1033}, LocaleCase{"en-GB", 2057},
                      LocaleCase{"fr-FR", 1036}, LocaleCase{"fr-CA", 3084}, LocaleCase{"es-ES", 3082},
                      LocaleCase{"es-419", 22538}, LocaleCase{"pt-BR", 1046}, LocaleCase{"pt", 1046},
                      LocaleCase{"pt-PT", 2070}, LocaleCase{"tr-TR", 1055}, LocaleCase{"tr", 1055},
                      LocaleCase{"zh-CN", 2052}, LocaleCase{"zh-Hans-CN", 2052}, LocaleCase{"zh-Hans", 2052},
                      LocaleCase{"zh", 2052}, LocaleCase{"zh-TW", 1028}, LocaleCase{"ru", 1049},
                      LocaleCase{"nl-BE", 2067}, LocaleCase{"xx-YY", 0}),
    [](const auto& info) {
        std::string name = info.param.tag;
        if (name.find('_') != std::string::npos)
            name.insert(0, "icu_");
        for (char& c : name)
            if (c == '-')
                c = '_';
        return name;
    });

} // namespace
