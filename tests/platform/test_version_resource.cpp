// The version block: our writer against an independent resource compiler,
// the ELF section finder, and the three reader functions on good, damaged
// and missing data.

#include "platform/OSError.h"
#include "platform/VersionResource.h"
#include "support/TestFiles.h"
#include "support/VersionFixtures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include <sys/stat.h>

namespace {

// What the fixture full.rc holds.
TVersionBlockContent FullContent()
{
    TVersionBlockContent c;
    c.FileVersion = {3, 14, 15, 9265};
    c.ProductVersion = {2, 71, 82, 8182};
    c.Language = 0x041D;
    c.CodePage = 0x04E4;
    c.Strings = {{"CompanyName", "Company"},           {"FileDescription", "Description"},
                 {"FileVersion", "3.14.15.9265"},      {"InternalName", "Internal"},
                 {"LegalCopyright", "Copyright"},      {"LegalTrademarks", "Trademarks"},
                 {"OriginalFileName", "original.exe"}, {"ProductName", "Product"},
                 {"ProductVersion", "2.71.82.8182"},   {"Comments", ""},
                 {"PrivateBuild", "Private"},          {"SpecialBuild", "Special"}};
    return c;
}

std::string FirstDifference(const QByteArray& a, const QByteArray& b)
{
    for (qsizetype i = 0; i < std::min(a.size(), b.size()); ++i)
        if (a[i] != b[i])
            return "first difference at byte " + std::to_string(i);
    return "sizes " + std::to_string(a.size()) + " and " + std::to_string(b.size());
}

// A block in a heap buffer of exactly its size, so that a read past its end
// is caught by the address sanitizer or valgrind.
class ExactBuffer {
public:
    explicit ExactBuffer(const QByteArray& bytes)
        : fSize(std::size_t(bytes.size()))
        , fData(new std::uint8_t[fSize ? fSize : 1])
    {
        std::memcpy(fData.get(), bytes.constData(), fSize);
    }
    const std::uint8_t* data() const { return fData.get(); }
    std::uint32_t size() const { return std::uint32_t(fSize); }

private:
    std::size_t fSize;
    std::unique_ptr<std::uint8_t[]> fData;
};

struct QueryResult {
    bool ok = false;
    std::uint32_t error = 0;
    const void* value = nullptr;
    std::uint32_t length = 0;
};

QueryResult Query(const std::uint8_t* block, std::uint32_t size, const QString& path)
{
    QueryResult r;
    SetLastOSError(0);
    r.ok = VerQueryValueW(block, size, path, &r.value, &r.length);
    r.error = GetLastOSError();
    return r;
}

QueryResult Query(const QByteArray& block, const QString& path)
{
    return Query(reinterpret_cast<const std::uint8_t*>(block.constData()), std::uint32_t(block.size()), path);
}

// ---- Writer ------------------------------------------------------------------

struct WriterCase {
    const char* fixture;
    TVersionBlockContent (*content)();
};
void PrintTo(const WriterCase& c, std::ostream* os)
{
    *os << c.fixture;
}

class WriterAgainstResourceCompiler : public testing::TestWithParam<WriterCase> {};

TEST_P(WriterAgainstResourceCompiler, WritesTheSameBytes)
{
    const QByteArray theirs = FixtureVersionBlock(QString::fromLatin1(GetParam().fixture));
    const QByteArray ours = BuildVersionBlock(GetParam().content());
    ASSERT_FALSE(theirs.isEmpty());
    EXPECT_EQ(ours, theirs) << FirstDifference(ours, theirs);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, WriterAgainstResourceCompiler,
    testing::Values(WriterCase{"lantrix", [] { return ProgramVersionContent("https://www.dastrel.invalid/"); }},
                    WriterCase{"full", FullContent}),
    [](const auto& info) { return std::string(info.param.fixture); });

TEST(VersionBlockWriter, RefusesABlockLongerThanAWordCanHold)
{
    TVersionBlockContent c = ProgramVersionContent("x");
    c.Strings.emplace_back("Long", QString(40000, QLatin1Char('x')));
    EXPECT_THROW(BuildVersionBlock(c), std::invalid_argument);
}

TEST(VersionBlockWriter, KeepsTextsOutsideLatin1)
{
    TVersionBlockContent c = ProgramVersionContent("x");
    const QString text = QStringLiteral("Gr\u00F6\u00DFe \u4E2D\u6587 \U0001F600");
    c.Strings = {{"CompanyName", text}};
    const QByteArray block = BuildVersionBlock(c);
    const QueryResult r = Query(block, QStringLiteral("\\StringFileInfo\\040904E4\\CompanyName"));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.length, std::uint32_t(text.size() + 1));
    EXPECT_EQ(VersionText(r.value, r.length), text);
}

// ---- Queries on good blocks ----------------------------------------------------

struct QueryCase {
    const char* name;
    const char* fixture;
    const char* path;
    std::uint32_t error; // 0: the query succeeds with `text`
    const char* text;
};
void PrintTo(const QueryCase& c, std::ostream* os)
{
    *os << c.name;
}

class VersionQuery : public testing::TestWithParam<QueryCase> {};

TEST_P(VersionQuery, FindsTextsByPathWithoutRegardToCase)
{
    const QueryCase& c = GetParam();
    const QByteArray block = FixtureVersionBlock(QString::fromLatin1(c.fixture));
    const QueryResult r = Query(block, QString::fromUtf8(c.path));
    if (c.error != 0) {
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.error, c.error);
        return;
    }
    ASSERT_TRUE(r.ok) << "error " << r.error;
    const QString expected = QString::fromUtf8(c.text);
    EXPECT_EQ(VersionText(r.value, r.length), expected);
    EXPECT_EQ(r.length, std::uint32_t(expected.size() + 1)); // characters with the terminating zero
    const auto* begin = reinterpret_cast<const std::uint8_t*>(block.constData());
    const auto* value = static_cast<const std::uint8_t*>(r.value);
    EXPECT_GE(value, begin);
    EXPECT_LE(value + 2 * r.length, begin + block.size());
}

const QueryCase kQueryCases[] = {
    {"Company", "lantrix", "\\StringFileInfo\\040904E4\\CompanyName", 0, "DASTREL"},
    {"LowerCasePath", "lantrix", "\\stringfileinfo\\040904e4\\companyname", 0, "DASTREL"},
    {"NoLeadingBackslash", "lantrix", "StringFileInfo\\040904E4\\ProductName", 0, "Lantrix"},
    {"TrailingBackslash", "lantrix", "\\StringFileInfo\\040904E4\\OriginalFileName\\", 0, "lantrix.exe"},
    {"LastEntry", "lantrix", "\\StringFileInfo\\040904E4\\Homepage", 0, "https://www.dastrel.invalid/"},
    {"EmptyText", "full", "\\StringFileInfo\\041D04E4\\Comments", 0, ""},
    {"SpecialBuild", "full", "\\StringFileInfo\\041D04E4\\SpecialBuild", 0, "Special"},
    {"UpperCaseKeyInBlock", "case_variants", "\\StringFileInfo\\040C04E4\\CompanyName", 0, "Upper"},
    {"OtherCaseKeyInBlock", "case_variants", "\\StringFileInfo\\040C04E4\\OriginalFileName", 0, "Mixed"},
    {"SecondTable", "two_translations", "\\StringFileInfo\\040704B0\\CompanyName", 0, "Gr\u00F6\u00DFe & S\u00F6hne"},
    {"MissingEntry", "lantrix", "\\StringFileInfo\\040904E4\\PrivateBuild", 1813, nullptr},
    {"MissingTable", "lantrix", "\\StringFileInfo\\040904B0\\CompanyName", 1813, nullptr},
    {"PrefixOfAName", "lantrix", "\\StringFileInfo\\040904E4\\CompanyNam", 1813, nullptr},
    {"LongerThanAName", "lantrix", "\\StringFileInfo\\040904E4\\CompanyNameX", 1813, nullptr},
    {"BelowAText", "lantrix", "\\StringFileInfo\\040904E4\\CompanyName\\More", 1813, nullptr},
    {"NoTranslationTable", "no_translation", "\\VarFileInfo\\Translation", 1813, nullptr},
};

INSTANTIATE_TEST_SUITE_P(Fixtures, VersionQuery, testing::ValuesIn(kQueryCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct TranslationCase {
    const char* fixture;
    std::vector<std::uint8_t> table;
};
void PrintTo(const TranslationCase& c, std::ostream* os)
{
    *os << c.fixture;
}

class TranslationQuery : public testing::TestWithParam<TranslationCase> {};

TEST_P(TranslationQuery, GivesTheTableBytes)
{
    const QByteArray block = FixtureVersionBlock(QString::fromLatin1(GetParam().fixture));
    for (const char* path :
         {"\\VarFileInfo\\Translation", "\\VarFileInfo\\Translation\\", "\\varfileinfo\\TRANSLATION"}) {
        const QueryResult r = Query(block, QString::fromLatin1(path));
        ASSERT_TRUE(r.ok) << path;
        const auto* value = static_cast<const std::uint8_t*>(r.value);
        EXPECT_EQ(std::vector<std::uint8_t>(value, value + r.length), GetParam().table) << path;
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, TranslationQuery,
                         testing::Values(TranslationCase{"lantrix", {0x09, 0x04, 0xE4, 0x04}},
                                         TranslationCase{"two_translations",
                                                         {0x07, 0x04, 0xB0, 0x04, 0x09, 0x04, 0xB0, 0x04}}),
                         [](const auto& info) { return std::string(info.param.fixture); });

TEST(VersionQueryRoot, GivesTheFixedFileInfo)
{
    const QByteArray block = FixtureVersionBlock(QStringLiteral("full"));
    for (const char* path : {"\\", ""}) {
        const QueryResult r = Query(block, QString::fromLatin1(path));
        ASSERT_TRUE(r.ok) << path;
        EXPECT_EQ(r.length, sizeof(TFixedFileInfo));
        TFixedFileInfo info{};
        ASSERT_TRUE(ReadFixedFileInfo(r.value, r.length, info));
        EXPECT_EQ(info.FileVersionMS, (3u << 16) | 14u);
        EXPECT_EQ(info.FileVersionLS, (15u << 16) | 9265u);
        EXPECT_EQ(info.ProductVersionMS, (2u << 16) | 71u);
        EXPECT_EQ(info.ProductVersionLS, (82u << 16) | 8182u);
        EXPECT_EQ(info.FileType, 1u);
    }
}

TEST(VersionQueryRoot, RejectsAFixedFileInfoWithoutSignatureOrTooShort)
{
    QByteArray block = FixtureVersionBlock(QStringLiteral("lantrix"));
    const QueryResult r = Query(block, QStringLiteral("\\"));
    ASSERT_TRUE(r.ok);
    TFixedFileInfo info{};
    EXPECT_FALSE(ReadFixedFileInfo(r.value, r.length - 1, info));
    const auto offset = std::size_t(static_cast<const char*>(r.value) - block.constData());
    PutDword(block, offset, 0xFEEF04BC);
    const QueryResult damaged = Query(block, QStringLiteral("\\"));
    EXPECT_FALSE(ReadFixedFileInfo(damaged.value, damaged.length, info));
}

TEST(VersionQuery, RefusesNullArguments)
{
    const QByteArray block = FixtureVersionBlock(QStringLiteral("lantrix"));
    const void* value = nullptr;
    std::uint32_t length = 0;
    SetLastOSError(0);
    EXPECT_FALSE(VerQueryValueW(nullptr, 100, QStringLiteral("\\"), &value, &length));
    EXPECT_EQ(GetLastOSError(), 87u);
    EXPECT_FALSE(
        VerQueryValueW(block.constData(), std::uint32_t(block.size()), QStringLiteral("\\"), nullptr, &length));
    EXPECT_FALSE(VerQueryValueW(block.constData(), std::uint32_t(block.size()), QStringLiteral("\\"), &value, nullptr));
}

// ---- Damaged blocks --------------------------------------------------------------

// Every query the program makes, and a few it does not.
const QStringList& AllPaths()
{
    static const QStringList paths = [] {
        QStringList p = {QStringLiteral("\\"), QStringLiteral("\\VarFileInfo\\Translation\\"),
                         QStringLiteral("\\StringFileInfo\\040904E4\\Homepage"),
                         QStringLiteral("\\StringFileInfo\\040904E4"), QStringLiteral("\\StringFileInfo\\0409FFFF\\x")};
        for (const char* name :
             {"CompanyName", "FileDescription", "FileVersion", "InternalName", "LegalCopyright", "LegalTrademarks",
              "OriginalFileName", "ProductName", "ProductVersion", "Comments", "PrivateBuild", "SpecialBuild"})
            p << QStringLiteral("\\StringFileInfo\\040904E4\\") + QLatin1String(name);
        return p;
    }();
    return paths;
}

// Runs every query on the block; each either fails with a code for damaged
// or missing data, or gives a value wholly inside the block.
void ExpectSafeQueries(const QByteArray& bytes, const std::string& what)
{
    const ExactBuffer block(bytes);
    for (const QString& path : AllPaths()) {
        const QueryResult r = Query(block.data(), block.size(), path);
        if (!r.ok) {
            EXPECT_TRUE(r.error == 13 || r.error == 1813) << what << " " << path.toStdString() << ": " << r.error;
            continue;
        }
        const auto* value = static_cast<const std::uint8_t*>(r.value);
        const bool text = path.startsWith(QLatin1String("\\StringFileInfo\\")) && path.count(QLatin1Char('\\')) == 3;
        const std::size_t bytesOfValue = text ? 2 * std::size_t(r.length) : r.length;
        EXPECT_GE(value, block.data()) << what << " " << path.toStdString();
        EXPECT_LE(value + bytesOfValue, block.data() + block.size()) << what << " " << path.toStdString();
        if (text) {
            EXPECT_LE(VersionText(r.value, r.length).size(), qsizetype(r.length));
        }
    }
}

TEST(DamagedVersionBlock, EveryWordSetToAnyAwkwardValueIsReadSafely)
{
    const QByteArray good = FixtureVersionBlock(QStringLiteral("lantrix"));
    ASSERT_FALSE(good.isEmpty());
    for (std::size_t at = 0; at + 2 <= std::size_t(good.size()); at += 2) {
        const std::uint16_t original = GetWord(good, at);
        for (std::uint16_t v :
             {std::uint16_t(0), std::uint16_t(1), std::uint16_t(6), std::uint16_t(7), std::uint16_t(8),
              std::uint16_t(0xFFFF), std::uint16_t(0x7FFF), std::uint16_t(original + 1), std::uint16_t(original + 2),
              std::uint16_t(original - 2)}) {
            QByteArray damaged = good;
            PutWord(damaged, at, v);
            ExpectSafeQueries(damaged, "word at " + std::to_string(at) + " = " + std::to_string(v));
        }
    }
}

TEST(DamagedVersionBlock, TruncatedAtEveryOffsetIsReadSafely)
{
    const QByteArray good = FixtureVersionBlock(QStringLiteral("lantrix"));
    for (qsizetype n = 0; n < good.size(); ++n) {
        // As it is, with a root longer than the data ...
        ExpectSafeQueries(good.left(n), "cut at " + std::to_string(n));
        // ... and with the root length matching the cut, so the cut falls inside a child.
        if (n >= 2) {
            QByteArray cut = good.left(n);
            PutWord(cut, 0, std::uint16_t(n));
            ExpectSafeQueries(cut, "cut with root length " + std::to_string(n));
        }
    }
}

TEST(DamagedVersionBlock, RootLongerThanTheDataIsRejected)
{
    const QByteArray good = FixtureVersionBlock(QStringLiteral("lantrix"));
    const QueryResult r = Query(good.left(good.size() - 1), QStringLiteral("\\StringFileInfo\\040904E4\\CompanyName"));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, 13u);
}

// A damaged node is reported where a query has to pass it, and nowhere else.
struct NodeDamageCase {
    const char* name;
    const char* node;  // key of the damaged node
    std::size_t field; // 0 wLength, 2 wValueLength
    std::uint16_t value;
    const char* path;    // the query
    std::uint32_t error; // 0: succeeds with text
    const char* text;
};
void PrintTo(const NodeDamageCase& c, std::ostream* os)
{
    *os << c.name;
}

class NodeDamage : public testing::TestWithParam<NodeDamageCase> {};

TEST_P(NodeDamage, IsReportedOnlyOnTheWayToIt)
{
    const NodeDamageCase& c = GetParam();
    QByteArray block = FixtureVersionBlock(QStringLiteral("lantrix"));
    const auto node = NodeOffset(block, QString::fromLatin1(c.node));
    ASSERT_TRUE(node.has_value());
    PutWord(block, *node + c.field, c.value);
    const ExactBuffer exact(block);
    const QueryResult r = Query(exact.data(), exact.size(), QString::fromLatin1(c.path));
    if (c.error != 0) {
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.error, c.error);
    } else {
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(VersionText(r.value, r.length), QString::fromLatin1(c.text));
    }
}

const NodeDamageCase kNodeDamageCases[] = {
    {"ZeroLengthFirstEntry", "CompanyName", 0, 0, "\\StringFileInfo\\040904E4\\CompanyName", 13, nullptr},
    {"ZeroLengthBeforeTheEntry", "CompanyName", 0, 0, "\\StringFileInfo\\040904E4\\ProductName", 13, nullptr},
    {"LengthPastTheTable", "Homepage", 0, 0x0800, "\\StringFileInfo\\040904E4\\PrivateBuild", 13, nullptr},
    {"LengthPastTheTableNotOnTheWay", "Homepage", 0, 0x0800, "\\StringFileInfo\\040904E4\\Comments", 0, "DASTREL"},
    {"LengthBelowTheHeader", "Homepage", 0, 5, "\\StringFileInfo\\040904E4\\SpecialBuild", 13, nullptr},
    {"LengthCuttingTheKey", "Homepage", 0, 10, "\\StringFileInfo\\040904E4\\SpecialBuild", 13, nullptr},
    {"TextLongerThanTheNode", "ProductName", 2, 0x7FFF, "\\StringFileInfo\\040904E4\\ProductName", 13, nullptr},
    {"TextOneLongerThanTheNode", "ProductName", 2, 9, "\\StringFileInfo\\040904E4\\ProductName", 13, nullptr},
    {"TextShorterThanWritten", "ProductName", 2, 4, "\\StringFileInfo\\040904E4\\ProductName", 0, "Lant"},
    {"TranslationLongerThanTheNode", "Translation", 2, 5, "\\VarFileInfo\\Translation", 13, nullptr},
    {"TableLongerThanItsParent", "040904E4", 0, 0x0400, "\\StringFileInfo\\040904E4\\CompanyName", 13, nullptr},
    {"TableLengthDamageNotOnTheWay", "040904E4", 0, 0x0400, "\\VarFileInfo", 0, ""},
};

INSTANTIATE_TEST_SUITE_P(Mutations, NodeDamage, testing::ValuesIn(kNodeDamageCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DamagedVersionBlock, StringEntryTypedBinaryIsStillBoundedAsText)
{
    // A block that ends with the string entry Homepage = "x" (2 characters,
    // 4 bytes), retyped as binary with a length of 4: as bytes it fits, as
    // characters it would reach past the block's end.
    QByteArray block = BuildVersionBlock(ProgramVersionContent(QStringLiteral("x")));
    const std::size_t homepage = NodeOffset(block, QStringLiteral("Homepage")).value();
    block.truncate(qsizetype(homepage + GetWord(block, homepage)));
    for (const char* key : {"VS_VERSION_INFO", "StringFileInfo", "040904E4"}) {
        const std::size_t node = NodeOffset(block, QString::fromLatin1(key)).value();
        PutWord(block, node, std::uint16_t(std::size_t(block.size()) - node));
    }
    const QString path = QStringLiteral("\\StringFileInfo\\040904E4\\Homepage");
    const ExactBuffer asWritten(block);
    EXPECT_EQ(VersionText(Query(asWritten.data(), asWritten.size(), path).value, 2), QStringLiteral("x"));

    PutWord(block, homepage + 2, 4);
    PutWord(block, homepage + 4, 0);
    const ExactBuffer retyped(block);
    const QueryResult r = Query(retyped.data(), retyped.size(), path);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, 13u);
    EXPECT_TRUE(Query(retyped.data(), retyped.size(), QStringLiteral("\\StringFileInfo\\040904E4\\Comments")).ok);
}

TEST(DamagedVersionBlock, TextWithoutTerminatorStopsAtItsLength)
{
    QByteArray block = FixtureVersionBlock(QStringLiteral("lantrix"));
    const QueryResult r = Query(block, QStringLiteral("\\StringFileInfo\\040904E4\\ProductName"));
    ASSERT_TRUE(r.ok);
    const auto terminator = std::size_t(static_cast<const char*>(r.value) - block.constData()) + 2 * (r.length - 1);
    PutWord(block, terminator, 'X');
    const ExactBuffer exact(block);
    const QueryResult damaged =
        Query(exact.data(), exact.size(), QStringLiteral("\\StringFileInfo\\040904E4\\ProductName"));
    ASSERT_TRUE(damaged.ok);
    EXPECT_EQ(VersionText(damaged.value, damaged.length), QStringLiteral("LantrixX"));
}

// ---- Files -----------------------------------------------------------------------

class VersionFile : public testing::Test {
protected:
    QString Write(const QString& name, const QByteArray& bytes) { return WriteTestFile(fDir.path(), name, bytes); }

    // Size and read as the program does them; the code of the first failure.
    std::uint32_t ReadBlock(const QString& path, QByteArray& block)
    {
        SetLastOSError(0);
        std::uint32_t handle = 99;
        const std::uint32_t size = GetFileVersionInfoSizeW(path, &handle);
        EXPECT_EQ(handle, 0u);
        if (size == 0)
            return GetLastOSError();
        block = QByteArray(qsizetype(size), '\0');
        if (!GetFileVersionInfoW(path, 0, size, block.data()))
            return GetLastOSError();
        return 0;
    }

    QTemporaryDir fDir;
};

class VersionFileClasses : public VersionFile, public testing::WithParamInterface<TElfClass> {};

TEST_P(VersionFileClasses, ReadsTheBlockOfEveryFixture)
{
    for (const char* name :
         {"lantrix", "full", "two_translations", "case_variants", "no_translation", "table_missing"}) {
        const QByteArray expected = FixtureVersionBlock(QString::fromLatin1(name));
        const QString path = Write(QString::fromLatin1(name), MakeVersionElf(expected, GetParam()));
        QByteArray block;
        ASSERT_EQ(ReadBlock(path, block), 0u) << name;
        EXPECT_EQ(block, expected) << name;
    }
}

TEST_P(VersionFileClasses, FindsTheSectionAmongOthers)
{
    const QByteArray expected = FixtureVersionBlock(QStringLiteral("lantrix"));
    const QByteArray elf = MakeElf(GetParam(), {{".lantrix_versio", QByteArray(400, 'a')},
                                                {".lantrix_version_2", QByteArray(400, 'b')},
                                                {kVersionSectionName, expected},
                                                {kVersionSectionName, QByteArray(400, 'c')}});
    QByteArray block;
    ASSERT_EQ(ReadBlock(Write(QStringLiteral("many"), elf), block), 0u);
    EXPECT_EQ(block, expected);
}

INSTANTIATE_TEST_SUITE_P(Elf, VersionFileClasses, testing::Values(TElfClass::Elf32, TElfClass::Elf64),
                         [](const auto& info) { return info.param == TElfClass::Elf32 ? "Elf32" : "Elf64"; });

TEST_F(VersionFile, BlockShorterThanItsSectionGivesTheBlockLength)
{
    const QByteArray expected = FixtureVersionBlock(QStringLiteral("lantrix"));
    const QString path = Write(QStringLiteral("padded"), MakeVersionElf(expected + QByteArray(12, '\0')));
    QByteArray block;
    ASSERT_EQ(ReadBlock(path, block), 0u);
    EXPECT_EQ(block, expected);
}

TEST_F(VersionFile, SmallBufferIsRefused)
{
    const QByteArray expected = FixtureVersionBlock(QStringLiteral("lantrix"));
    const QString path = Write(QStringLiteral("small"), MakeVersionElf(expected));
    QByteArray buffer(expected.size() - 1, '\x55');
    SetLastOSError(0);
    EXPECT_FALSE(GetFileVersionInfoW(path, 0, std::uint32_t(buffer.size()), buffer.data()));
    EXPECT_EQ(GetLastOSError(), 122u);
    EXPECT_EQ(buffer, QByteArray(expected.size() - 1, '\x55'));
    EXPECT_FALSE(GetFileVersionInfoW(path, 0, 1000, nullptr));
    EXPECT_EQ(GetLastOSError(), 87u);
}

struct FileErrorCase {
    const char* name;
    std::uint32_t error;
    // Makes the file (in `dir`) and answers the path to read.
    QString (*make)(const QDir& dir, const QByteArray& block);
};
void PrintTo(const FileErrorCase& c, std::ostream* os)
{
    *os << c.name;
}

QString WriteIn(const QDir& dir, const char* name, const QByteArray& bytes)
{
    QFile file(dir.filePath(QString::fromLatin1(name)));
    if (!file.open(QIODevice::WriteOnly))
        ADD_FAILURE() << "cannot write " << name;
    file.write(bytes);
    return file.fileName();
}

QByteArray WithSectionField(QByteArray elf, TElfClass elfClass, int section, std::size_t field, std::uint32_t value)
{
    const TElfLayout l = LayoutOf(elfClass);
    PutDword(elf, SectionTableOffset(elf, elfClass) + std::size_t(section) * l.sectionEntrySize + field, value);
    return elf;
}

const FileErrorCase kFileErrorCases[] = {
    {"MissingFile", 2, [](const QDir& d, const QByteArray&) { return d.filePath(QStringLiteral("missing")); }},
    {"MissingFolder", 2, [](const QDir& d, const QByteArray&) { return d.filePath(QStringLiteral("none/x")); }},
    {"EmptyName", 2, [](const QDir&, const QByteArray&) { return QString(); }},
    {"FileAsFolder", 3,
     [](const QDir& d, const QByteArray& b) { return WriteIn(d, "file", b) + QStringLiteral("/x"); }},
    {"Folder", 5, [](const QDir& d, const QByteArray&) { return d.path(); }},
    {"Fifo", 11,
     [](const QDir& d, const QByteArray&) {
         const QString path = d.filePath(QStringLiteral("fifo"));
         if (::mkfifo(QFile::encodeName(path).constData(), 0600) != 0)
             ADD_FAILURE() << "mkfifo failed";
         return path;
     }},
    {"EmptyFile", 11, [](const QDir& d, const QByteArray&) { return WriteIn(d, "empty", {}); }},
    {"TextFile", 11, [](const QDir& d, const QByteArray&) { return WriteIn(d, "text", QByteArray(200, 'x')); }},
    {"BareBlock", 11, [](const QDir& d, const QByteArray& b) { return WriteIn(d, "bare", b); }},
    {"BigEndianElf", 11,
     [](const QDir& d, const QByteArray& b) {
         QByteArray elf = MakeVersionElf(b);
         elf[5] = 2;
         return WriteIn(d, "big", elf);
     }},
    {"UnknownElfClass", 11,
     [](const QDir& d, const QByteArray& b) {
         QByteArray elf = MakeVersionElf(b);
         elf[4] = 3;
         return WriteIn(d, "class", elf);
     }},
    {"SectionTablePastTheEnd", 11,
     [](const QDir& d, const QByteArray& b) {
         QByteArray elf = MakeVersionElf(b);
         PutDword(elf, LayoutOf(TElfClass::Elf64).sectionTableOffsetField, std::uint32_t(elf.size() - 8));
         return WriteIn(d, "table", elf);
     }},
    {"SectionEntriesTooSmall", 11,
     [](const QDir& d, const QByteArray& b) {
         QByteArray elf = MakeVersionElf(b);
         PutWord(elf, LayoutOf(TElfClass::Elf64).sectionEntrySizeField, 32);
         return WriteIn(d, "entries", elf);
     }},
    {"SectionDataPastTheEnd", 11,
     [](const QDir& d, const QByteArray& b) {
         const QByteArray elf = MakeVersionElf(b, TElfClass::Elf32);
         return WriteIn(d, "data", WithSectionField(elf, TElfClass::Elf32, 2, 16, std::uint32_t(elf.size() - 4)));
     }},
    {"NameTablePastTheEnd", 11,
     [](const QDir& d, const QByteArray& b) {
         const QByteArray elf = MakeVersionElf(b);
         return WriteIn(d, "names", WithSectionField(elf, TElfClass::Elf64, 3, 24, 0x7FFFFFF0));
     }},
    {"ElfWithoutTheSection", 1812,
     [](const QDir& d, const QByteArray& b) {
         const QByteArray elf = MakeElf(TElfClass::Elf64, {{".data", b}});
         return WriteIn(d, "other", elf);
     }},
    {"ElfWithoutSections", 1812,
     [](const QDir& d, const QByteArray& b) {
         QByteArray elf = MakeVersionElf(b);
         PutDword(elf, LayoutOf(TElfClass::Elf64).sectionTableOffsetField, 0);
         return WriteIn(d, "nosections", elf);
     }},
    {"SectionWithoutData", 13,
     [](const QDir& d, const QByteArray& b) {
         const QByteArray elf = MakeVersionElf(b);
         return WriteIn(d, "nobits", WithSectionField(elf, TElfClass::Elf64, 2, 4, 8 /* NOBITS */));
     }},
    {"OtherDataInTheSection", 13,
     [](const QDir& d, const QByteArray&) { return WriteIn(d, "otherdata", MakeVersionElf(QByteArray(64, '\x20'))); }},
    {"EmptySection", 13,
     [](const QDir& d, const QByteArray&) { return WriteIn(d, "emptysection", MakeVersionElf({})); }},
    {"RootNotAVersionInfo", 13,
     [](const QDir& d, const QByteArray& b) {
         QByteArray block = b;
         PutWord(block, 6, 'W'); // "WS_VERSION_INFO"
         return WriteIn(d, "rootkey", MakeVersionElf(block));
     }},
};

class VersionFileErrors : public VersionFile, public testing::WithParamInterface<FileErrorCase> {};

TEST_P(VersionFileErrors, ReportTheirCode)
{
    const QString path = GetParam().make(QDir(fDir.path()), FixtureVersionBlock(QStringLiteral("lantrix")));
    SetLastOSError(0);
    EXPECT_EQ(GetFileVersionInfoSizeW(path), 0u);
    EXPECT_EQ(GetLastOSError(), GetParam().error);
    QByteArray buffer(4096, '\0');
    SetLastOSError(0);
    EXPECT_FALSE(GetFileVersionInfoW(path, 0, std::uint32_t(buffer.size()), buffer.data()));
    EXPECT_EQ(GetLastOSError(), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(Files, VersionFileErrors, testing::ValuesIn(kFileErrorCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(VersionFile, SectionShorterThanItsRootIsRejectedAtEveryLength)
{
    const QByteArray block = FixtureVersionBlock(QStringLiteral("lantrix"));
    for (qsizetype n = 0; n < block.size(); ++n) {
        QByteArray read;
        EXPECT_EQ(ReadBlock(Write(QStringLiteral("cut"), MakeVersionElf(block.left(n))), read), 13u) << n;
    }
}

TEST_F(VersionFile, ElfCutAtEveryOffsetIsReadSafely)
{
    const QByteArray elf = MakeVersionElf(FixtureVersionBlock(QStringLiteral("lantrix")), TElfClass::Elf32);
    for (qsizetype n = 0; n < elf.size(); ++n) {
        QByteArray read;
        // The section table comes last, so every cut leaves it incomplete.
        EXPECT_EQ(ReadBlock(Write(QStringLiteral("cut"), elf.left(n)), read), 11u) << n;
    }
}

// ---- Errors ------------------------------------------------------------------------

TEST(OSError, MessageNamesCodeAndText)
{
    const struct {
        std::uint32_t code;
        const char* text;
    } cases[] = {
        {2, "System Error.  Code: 2.\nThe system cannot find the file specified."},
        {13, "System Error.  Code: 13.\nThe data is invalid."},
        {1812, "System Error.  Code: 1812.\nThe specified image file did not contain a resource section."},
        {1813, "System Error.  Code: 1813.\nThe specified resource type cannot be found in the image file."},
    };
    for (const auto& c : cases) {
        SetLastOSError(c.code);
        try {
            RaiseLastOSError();
            ADD_FAILURE() << "no exception for " << c.code;
        } catch (const EOSError& e) {
            EXPECT_EQ(e.Code(), c.code);
            EXPECT_STREQ(e.what(), c.text);
        }
    }
}

TEST(OSError, LastErrorBelongsToItsThread)
{
    SetLastOSError(2);
    std::uint32_t seenThere = 99;
    std::thread other([&] {
        seenThere = GetLastOSError();
        SetLastOSError(13);
    });
    other.join();
    EXPECT_EQ(seenThere, 0u);
    EXPECT_EQ(GetLastOSError(), 2u);
}

} // namespace
