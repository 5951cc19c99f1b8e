// What a user must trust shows every character it holds: which characters
// are hidden, and that an address, a number or a network name holding one
// makes the code plain text, however it is written (as it is, percent-encoded,
// in a record field, among the copies).
#include "content/Content.h"
#include "content/TextCheck.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

std::string TestName(const char* name)
{
    std::string text = name;
    for (char& c : text)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return text;
}

// ---- Which characters are hidden ----------------------------------------------

struct CharacterCase {
    const char* name;
    char32_t codePoint;
    bool hidden;
};

void PrintTo(const CharacterCase& c, std::ostream* out)
{
    *out << c.name;
}

class HiddenCharacter : public ::testing::TestWithParam<CharacterCase> {};

TEST_P(HiddenCharacter, IsFoundAndRemovedAmongOthers)
{
    // Not QString::fromUcs4, which takes a leading U+FEFF for a byte order mark and drops it.
    const char32_t codePoint = GetParam().codePoint;
    const QString character =
        codePoint > 0xFFFF ? QString::fromUcs4(&codePoint, 1) : QString(QChar(char16_t(codePoint)));
    const QString text = QStringLiteral("ab") + character + QStringLiteral("cd");
    EXPECT_EQ(HoldsHiddenCharacters(character), GetParam().hidden);
    EXPECT_EQ(HoldsHiddenCharacters(text), GetParam().hidden);
    EXPECT_EQ(WithoutHiddenCharacters(text), GetParam().hidden ? QStringLiteral("abcd") : text);
}

INSTANTIATE_TEST_SUITE_P(
    Characters, HiddenCharacter,
    ::testing::Values(
        CharacterCase{"left-to-right embedding", 0x202A, true}, CharacterCase{"right-to-left embedding", 0x202B, true},
        CharacterCase{"pop directional formatting", 0x202C, true},
        CharacterCase{"left-to-right override", 0x202D, true}, CharacterCase{"right-to-left override", 0x202E, true},
        CharacterCase{"left-to-right isolate", 0x2066, true}, CharacterCase{"right-to-left isolate", 0x2067, true},
        CharacterCase{"first strong isolate", 0x2068, true}, CharacterCase{"pop directional isolate", 0x2069, true},
        CharacterCase{"left-to-right mark", 0x200E, true}, CharacterCase{"right-to-left mark", 0x200F, true},
        CharacterCase{"arabic letter mark", 0x061C, true}, CharacterCase{"zero width space", 0x200B, true},
        CharacterCase{"zero width non-joiner", 0x200C, true}, CharacterCase{"zero width joiner", 0x200D, true},
        CharacterCase{"byte order mark", 0xFEFF, true}, CharacterCase{"soft hyphen", 0x00AD, true},
        CharacterCase{"word joiner", 0x2060, true}, CharacterCase{"language tag", 0xE0001, true},
        CharacterCase{"cancel tag", 0xE007F, true}, CharacterCase{"tab", 0x09, true},
        CharacterCase{"line feed", 0x0A, true}, CharacterCase{"carriage return", 0x0D, true},
        CharacterCase{"escape", 0x1B, true}, CharacterCase{"null", 0x00, true}, CharacterCase{"delete", 0x7F, true},
        CharacterCase{"next line", 0x85, true}, CharacterCase{"control sequence introducer", 0x9B, true},
        CharacterCase{"lone high surrogate", 0xD800, true}, CharacterCase{"lone low surrogate", 0xDC00, true},
        CharacterCase{"latin letter", 'x', false}, CharacterCase{"blank", ' ', false},
        CharacterCase{"e with acute", 0xE9, false}, CharacterCase{"combining acute", 0x0301, false},
        CharacterCase{"no-break space", 0xA0, false}, CharacterCase{"arabic letter", 0x0628, false},
        CharacterCase{"han character", 0x6F22, false}, CharacterCase{"emoji", 0x1F600, false},
        CharacterCase{"mathematical bold a", 0x1D400, false}),
    [](const auto& info) { return TestName(info.param.name); });

TEST(HiddenCharacters, AreReadByCodePoints)
{
    // Tags spell a text after a flag; each is two UTF-16 units.
    const char32_t tagged[] = {0x1F3F4, 0xE0067, 0xE0062, 0xE007F, 'x'};
    const QString text = QString::fromUcs4(tagged, 5);
    EXPECT_TRUE(HoldsHiddenCharacters(text));
    const char32_t shown[] = {0x1F3F4, 'x'};
    EXPECT_EQ(WithoutHiddenCharacters(text), QString::fromUcs4(shown, 2));
    // A pair whose halves are both kept stays whole.
    const char32_t emoji[] = {'a', 0x1F600, 'b'};
    EXPECT_FALSE(HoldsHiddenCharacters(QString::fromUcs4(emoji, 3)));
    EXPECT_EQ(WithoutHiddenCharacters(QString::fromUcs4(emoji, 3)), QString::fromUcs4(emoji, 3));
    EXPECT_FALSE(HoldsHiddenCharacters(QString()));
}

// ---- Codes whose address, number or network name holds one ----------------------

struct SpoofCase {
    const char* name;
    const char* text;  // holds a hidden character
    const char* shown; // the same code without it
    const char* type;  // what the code without it is
};

void PrintTo(const SpoofCase& c, std::ostream* out)
{
    *out << c.name;
}

class HiddenInCode : public ::testing::TestWithParam<SpoofCase> {};

TEST_P(HiddenInCode, MakesThePlainText)
{
    EXPECT_EQ(ContentTypeName(ParseContent(QString::fromUtf8(GetParam().text))), QLatin1String("text"));
    // Without the hidden character the code is of its kind: the check, and
    // nothing else, turned it into text.
    EXPECT_EQ(ContentTypeName(ParseContent(QString::fromUtf8(GetParam().shown))), QLatin1String(GetParam().type));
}

INSTANTIATE_TEST_SUITE_P(
    Codes, HiddenInCode,
    ::testing::Values(
        SpoofCase{"mailto right-to-left override", "mailto:admin\u202Egro.elpmaxe@evil.com",
                  "mailto:admingro.elpmaxe@evil.com", "email"},
        SpoofCase{"mailto zero width space", "mailto:pay\u200Bpal@example.com", "mailto:paypal@example.com", "email"},
        SpoofCase{"mailto override percent-encoded", "mailto:admin%E2%80%AEgro.elpmaxe@evil.com",
                  "mailto:admingro.elpmaxe@evil.com", "email"},
        SpoofCase{"mailto tag character", "mailto:ana\U000E0061@lantrix.invalid", "mailto:ana@lantrix.invalid",
                  "email"},
        SpoofCase{"mailto to of the query", "mailto:?to=pay%E2%80%8Bpal@example.com", "mailto:?to=paypal@example.com",
                  "email"},
        SpoofCase{"mailto cc", "mailto:ana@lantrix.invalid?cc=bo%E2%80%8D@lantrix.invalid",
                  "mailto:ana@lantrix.invalid?cc=bo@lantrix.invalid", "email"},
        SpoofCase{"mailto bcc", "mailto:ana@lantrix.invalid?bcc=bo\u2066@lantrix.invalid",
                  "mailto:ana@lantrix.invalid?bcc=bo@lantrix.invalid", "email"},
        SpoofCase{"mailto escape", "mailto:ana%1B@lantrix.invalid", "mailto:ana@lantrix.invalid", "email"},
        SpoofCase{"MATMSG override", "MATMSG:TO:admin\u202Egro.elpmaxe@evil.com;SUB:Hi;;",
                  "MATMSG:TO:admingro.elpmaxe@evil.com;SUB:Hi;;", "email"},
        SpoofCase{"MATMSG soft hyphen", "MATMSG:TO:pay\u00ADpal@example.com;;", "MATMSG:TO:paypal@example.com;;",
                  "email"},
        SpoofCase{"MATMSG cc", "MATMSG:TO:ana@lantrix.invalid;CC:bo\uFEFF@lantrix.invalid;;",
                  "MATMSG:TO:ana@lantrix.invalid;CC:bo@lantrix.invalid;;", "email"},
        SpoofCase{"tel override", "tel:+1555\u202E0100", "tel:+15550100", "phone"},
        SpoofCase{"tel mark percent-encoded", "tel:+1555%E2%80%8E0100", "tel:+15550100", "phone"},
        SpoofCase{"tel escape percent-encoded", "tel:+1555%1B0100", "tel:+15550100", "phone"},
        SpoofCase{"SMSTO joiner", "SMSTO:+1555\u200D0100:Hi", "SMSTO:+15550100:Hi", "sms"},
        SpoofCase{"sms override percent-encoded", "sms:+1555%E2%80%AE0100?body=Hi", "sms:+15550100?body=Hi", "sms"},
        SpoofCase{"wifi escape sequence", "WIFI:S:Home\x1B[2J;;", "WIFI:S:Home[2J;;", "wifi"},
        SpoofCase{"wifi line break", "WIFI:S:Home\nNet;T:WPA;P:secret12;;", "WIFI:S:HomeNet;T:WPA;P:secret12;;",
                  "wifi"},
        SpoofCase{"wifi byte order mark", "WIFI:S:\uFEFFHome;;", "WIFI:S:Home;;", "wifi"},
        SpoofCase{"wifi override", "WIFI:S:Home\u202Etxen;T:WPA;P:secret12;;", "WIFI:S:Hometxen;T:WPA;P:secret12;;",
                  "wifi"},
        SpoofCase{"wifi tag character", "WIFI:S:Home\U000E0041;;", "WIFI:S:Home;;", "wifi"},
        SpoofCase{"wifi delete", "WIFI:S:Home\x7F;;", "WIFI:S:Home;;", "wifi"}),
    [](const auto& info) { return TestName(info.param.name); });

} // namespace
