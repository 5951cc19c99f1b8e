// The names files are suggested under: characters file systems keep out,
// hidden characters, dots around the name, and the 255-byte limit of a name
// met between whole characters.
#include "content/FileName.h"
#include "content/TextCheck.h"

#include <QTextBoundaryFinder>

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

QString Repeated(const QString& piece, int times)
{
    QString text;
    for (int i = 0; i < times; ++i)
        text += piece;
    return text;
}

const QString kHan = QStringLiteral("漢");                    // 3 bytes in UTF-8
const QString kEmoji = QString::fromUtf8("\xF0\x9F\x98\x80"); // 4 bytes, a surrogate pair
const QString kAccented = QStringLiteral("e\u0301");          // e and a combining acute: 3 bytes, one character

struct NameCase {
    const char* name;
    QString given;
    QString extension;
    QString expected;
};

void PrintTo(const NameCase& c, std::ostream* out)
{
    *out << c.name;
}

class SuggestedName : public ::testing::TestWithParam<NameCase> {};

TEST_P(SuggestedName, IsSafeAndFits)
{
    const QString suggested = SuggestedFileName(GetParam().given, QStringLiteral("Event"), GetParam().extension);
    EXPECT_EQ(suggested, GetParam().expected);
    EXPECT_LE(suggested.toUtf8().size(), 255);
    EXPECT_FALSE(HoldsHiddenCharacters(suggested)); // a lone half of a surrogate pair counts as hidden
    EXPECT_FALSE(suggested.startsWith(u'.'));
    EXPECT_FALSE(suggested.contains(u'/'));
    EXPECT_FALSE(suggested.contains(u'\\'));
    // The name ends between two characters as the user sees them.
    const QString stem = suggested.chopped(GetParam().extension.size());
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, GetParam().given);
    if (GetParam().given.startsWith(stem)) {
        finder.setPosition(stem.size());
        EXPECT_TRUE(finder.isAtBoundary()) << stem.size();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, SuggestedName,
    ::testing::Values(
        NameCase{"ascii", QStringLiteral("Launch party"), QStringLiteral(".ics"), QStringLiteral("Launch party.ics")},
        NameCase{"trailing dot", QStringLiteral("Party."), QStringLiteral(".ics"), QStringLiteral("Party.ics")},
        NameCase{"trailing dots and blanks", QStringLiteral("Party . . "), QStringLiteral(".ics"),
                 QStringLiteral("Party.ics")},
        NameCase{"leading dots", QStringLiteral("..profile"), QStringLiteral(".vcf"), QStringLiteral("profile.vcf")},
        NameCase{"leading blank and dot", QStringLiteral(" .x"), QStringLiteral(".vcf"), QStringLiteral("x.vcf")},
        NameCase{"dot dot", QStringLiteral(".."), QStringLiteral(".ics"), QStringLiteral("Event.ics")},
        NameCase{"empty", QString(), QStringLiteral(".ics"), QStringLiteral("Event.ics")},
        NameCase{"only blanks", QStringLiteral("   "), QStringLiteral(".ics"), QStringLiteral("Event.ics")},
        NameCase{"slashes", QStringLiteral("../../etc/passwd"), QStringLiteral(".vcf"),
                 QStringLiteral("etc passwd.vcf")},
        NameCase{"backslashes", QStringLiteral("a\\b\\c"), QStringLiteral(".vcf"), QStringLiteral("a b c.vcf")},
        NameCase{"characters file systems keep out", QStringLiteral("Q3: <plan> \"v2\" | ok? *"),
                 QStringLiteral(".ics"), QStringLiteral("Q3 plan v2 ok.ics")},
        NameCase{"blanks simplified", QStringLiteral("Ana   Lima"), QStringLiteral(".vcf"),
                 QStringLiteral("Ana Lima.vcf")},
        NameCase{"hidden characters", QStringLiteral("Ana\u202E\u200BLi\u00ADma"), QStringLiteral(".vcf"),
                 QStringLiteral("AnaLima.vcf")},
        NameCase{"line break and tab", QStringLiteral("Ana\nLi\tma"), QStringLiteral(".vcf"),
                 QStringLiteral("AnaLima.vcf")},
        NameCase{"only hidden characters", QStringLiteral("\u202E\u200B\x1B"), QStringLiteral(".ics"),
                 QStringLiteral("Event.ics")},
        NameCase{"other letters kept", QStringLiteral("Jürgen Müller"), QStringLiteral(".vcf"),
                 QStringLiteral("Jürgen Müller.vcf")},
        // 110 Han characters are 330 bytes: 83 of them (249 bytes) and ".vcf" fit in 255.
        NameCase{"han cut to fit", Repeated(kHan, 110), QStringLiteral(".vcf"),
                 Repeated(kHan, 83) + QStringLiteral(".vcf")},
        // 62 emoji are 248 bytes; a 63rd would not fit, and half of one is never kept.
        NameCase{"emoji cut between pairs", Repeated(kEmoji, 100), QStringLiteral(".vcf"),
                 Repeated(kEmoji, 62) + QStringLiteral(".vcf")},
        NameCase{"emoji after one byte", QStringLiteral("a") + Repeated(kEmoji, 100), QStringLiteral(".vcf"),
                 QStringLiteral("a") + Repeated(kEmoji, 62) + QStringLiteral(".vcf")},
        // An accented e is one character of 3 bytes: 83 fit, and no e loses its accent.
        NameCase{"combining marks kept with their letter", Repeated(kAccented, 100), QStringLiteral(".ics"),
                 Repeated(kAccented, 83) + QStringLiteral(".ics")},
        NameCase{"combining marks after an odd start", QStringLiteral("ab") + Repeated(kAccented, 100),
                 QStringLiteral(".ics"), QStringLiteral("ab") + Repeated(kAccented, 83) + QStringLiteral(".ics")},
        NameCase{"exactly 255 bytes", QString(251, u'a'), QStringLiteral(".vcf"),
                 QString(251, u'a') + QStringLiteral(".vcf")},
        NameCase{"one byte over", QString(252, u'a'), QStringLiteral(".vcf"),
                 QString(251, u'a') + QStringLiteral(".vcf")},
        NameCase{"two-byte letter over the edge", QString(250, u'a') + QStringLiteral("üü"), QStringLiteral(".vcf"),
                 QString(250, u'a') + QStringLiteral(".vcf")},
        NameCase{"cut before a dot", QString(250, u'a') + QStringLiteral(".more"), QStringLiteral(".vcf"),
                 QString(250, u'a') + QStringLiteral(".vcf")}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    });

TEST(SuggestedName, FallbackIsMadeSafeTooAndEmptyWhenNothingIsLeft)
{
    EXPECT_EQ(SuggestedFileName(QString(), QStringLiteral("My/Contact."), QStringLiteral(".vcf")),
              QStringLiteral("My Contact.vcf"));
    EXPECT_EQ(SuggestedFileName(QStringLiteral(".."), QStringLiteral(".."), QStringLiteral(".vcf")), QString());
}

} // namespace
