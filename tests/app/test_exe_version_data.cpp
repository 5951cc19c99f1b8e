// Identity data from an executable's version block: the fields read for the
// first translation, fields left alone where the block has no entry, and the
// errors that stop the read before any field is written.

#include "app/ExeVersionData.h"
#include "platform/OSError.h"
#include "platform/VersionResource.h"
#include "support/VersionFixtures.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>

namespace {

constexpr std::size_t kFieldCount = 12;
using Fields = std::array<const char*, kFieldCount>;

std::array<QString, kFieldCount> FieldsOf(const TEXEVersionData& r)
{
    return {r.CompanyName,    r.FileDescription, r.FileVersion,      r.InternalName,
            r.LegalCopyright, r.LegalTrademarks, r.OriginalFileName, r.ProductName,
            r.ProductVersion, r.Comments,        r.PrivateBuild,     r.SpecialBuild};
}

// A record whose every field holds a text no block has, to see which
// fields a read writes.
TEXEVersionData Untouched()
{
    TEXEVersionData r;
    r.CompanyName = "old 0";
    r.FileDescription = "old 1";
    r.FileVersion = "old 2";
    r.InternalName = "old 3";
    r.LegalCopyright = "old 4";
    r.LegalTrademarks = "old 5";
    r.OriginalFileName = "old 6";
    r.ProductName = "old 7";
    r.ProductVersion = "old 8";
    r.Comments = "old 9";
    r.PrivateBuild = "old 10";
    r.SpecialBuild = "old 11";
    return r;
}

class ExeFile : public testing::Test {
protected:
    QString Write(const QByteArray& bytes)
    {
        const QString path = fDir.filePath(QStringLiteral("exe%1").arg(fCount++));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    QString WriteBlock(const QByteArray& block) { return Write(MakeVersionElf(block)); }

    // Runs GetEXEVersionData on a record filled with Untouched() and expects
    // EOSError with `code`, the record unchanged.
    void ExpectError(const QString& path, std::uint32_t code)
    {
        TEXEVersionData record = Untouched();
        try {
            GetEXEVersionData(path, record);
            ADD_FAILURE() << "no error, expected " << code;
        } catch (const EOSError& e) {
            EXPECT_EQ(e.Code(), code);
            EXPECT_TRUE(QString::fromUtf8(e.what()).startsWith(QStringLiteral("System Error.  Code: %1.\n").arg(code)))
                << e.what();
        }
        EXPECT_EQ(FieldsOf(record), FieldsOf(Untouched()));
    }

    QTemporaryDir fDir;
    int fCount = 0;
};

// ---- Fixtures ---------------------------------------------------------------------

struct FieldsCase {
    const char* fixture;
    Fields fields; // nullptr: the field keeps its previous text
};

class ExeVersionFields : public ExeFile, public testing::WithParamInterface<FieldsCase> {};

TEST_P(ExeVersionFields, AreReadFromTheFirstTranslationsTable)
{
    TEXEVersionData record = Untouched();
    GetEXEVersionData(WriteBlock(FixtureVersionBlock(QString::fromLatin1(GetParam().fixture))), record);
    const auto before = FieldsOf(Untouched());
    const auto after = FieldsOf(record);
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        const char* expected = GetParam().fields[i];
        EXPECT_EQ(after[i], expected ? QString::fromUtf8(expected) : before[i]) << "field " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, ExeVersionFields,
                         testing::Values(
                             // The program's own data: no PrivateBuild, no SpecialBuild; Homepage is not a field.
                             FieldsCase{"lantrix",
                                        {"DASTREL", "Lantrix", "1.2.0.0", "Lantrix", "DASTREL", "DASTREL",
                                         "lantrix.exe", "Lantrix", "1.2.0.0", "DASTREL", nullptr, nullptr}},
                             FieldsCase{"full",
                                        {"Company", "Description", "3.14.15.9265", "Internal", "Copyright",
                                         "Trademarks", "original.exe", "Product", "2.71.82.8182", "", "Private",
                                         "Special"}},
                             // German is listed first, though its table is second; the English-only entry is not read.
                             FieldsCase{"two_translations",
                                        {"Gr\u00F6\u00DFe & S\u00F6hne", nullptr, nullptr, nullptr, nullptr, nullptr,
                                         nullptr, "Deutsches Produkt", nullptr, nullptr, nullptr, nullptr}},
                             FieldsCase{"case_variants",
                                        {"Upper", nullptr, nullptr, nullptr, nullptr, nullptr, "Mixed", nullptr,
                                         nullptr, nullptr, nullptr, nullptr}},
                             // The listed translation has no table: nothing is read, and that is no error.
                             FieldsCase{"table_missing",
                                        {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                         nullptr, nullptr, nullptr, nullptr}}),
                         [](const auto& info) { return std::string(info.param.fixture); });

TEST_F(ExeFile, FieldsOfAFreshRecordStayEmptyWhereTheBlockHasNoEntry)
{
    TEXEVersionData record;
    GetEXEVersionData(WriteBlock(FixtureVersionBlock(QStringLiteral("lantrix"))), record);
    EXPECT_EQ(record.CompanyName, QStringLiteral("DASTREL"));
    EXPECT_TRUE(record.PrivateBuild.isEmpty());
    EXPECT_TRUE(record.SpecialBuild.isEmpty());
}

// ---- Errors -----------------------------------------------------------------------

TEST_F(ExeFile, MissingFileIsTheSystemsFileNotFound)
{
    TEXEVersionData record;
    try {
        GetEXEVersionData(fDir.filePath(QStringLiteral("missing")), record);
        FAIL() << "no error";
    } catch (const EOSError& e) {
        EXPECT_EQ(e.Code(), 2u);
        EXPECT_STREQ(e.what(), "System Error.  Code: 2.\nThe system cannot find the file specified.");
    }
    ExpectError(fDir.filePath(QStringLiteral("missing")), 2);
}

TEST_F(ExeFile, FileWithoutVersionBlockIsAnError)
{
    ExpectError(Write(QByteArray("#!/bin/sh\necho not a program\n")), 11);
    ExpectError(Write(MakeElf(TElfClass::Elf64, {{".text", QByteArray(64, '\x90')}})), 1812);
}

TEST_F(ExeFile, BlockWithoutTranslationTableIsAnErrorBeforeAnyFieldIsWritten)
{
    ExpectError(WriteBlock(FixtureVersionBlock(QStringLiteral("no_translation"))), 1813);
}

struct TranslationDamage {
    const char* name;
    std::uint16_t valueLength;
    std::uint32_t code;
};

void PrintTo(const TranslationDamage& c, std::ostream* os)
{
    *os << c.name;
}

class DamagedTranslationTable : public ExeFile, public testing::WithParamInterface<TranslationDamage> {};

TEST_P(DamagedTranslationTable, IsAnErrorBeforeAnyFieldIsWritten)
{
    QByteArray block = FixtureVersionBlock(QStringLiteral("lantrix"));
    const auto node = NodeOffset(block, QStringLiteral("Translation"));
    ASSERT_TRUE(node.has_value());
    PutWord(block, *node + 2, GetParam().valueLength);
    ExpectError(WriteBlock(block), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(Mutations, DamagedTranslationTable,
                         testing::Values(TranslationDamage{"Empty", 0, 1813}, TranslationDamage{"HalfAnEntry", 2, 1813},
                                         TranslationDamage{"ThreeBytes", 3, 1813},
                                         TranslationDamage{"PastTheNode", 8, 13},
                                         TranslationDamage{"FarPastTheNode", 0xFFFF, 13}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ExeFile, DamagedStringTableLeavesFieldsButIsNoError)
{
    QByteArray block = FixtureVersionBlock(QStringLiteral("lantrix"));
    const auto node = NodeOffset(block, QStringLiteral("ProductName"));
    ASSERT_TRUE(node.has_value());
    PutWord(block, *node, 0x0800); // ProductName runs past its table
    TEXEVersionData record = Untouched();
    GetEXEVersionData(WriteBlock(block), record);
    // Entries before the damaged one are read; from there on nothing is.
    EXPECT_EQ(record.CompanyName, QStringLiteral("DASTREL"));
    EXPECT_EQ(record.OriginalFileName, QStringLiteral("lantrix.exe"));
    EXPECT_EQ(record.ProductName, QStringLiteral("old 7"));
    EXPECT_EQ(record.ProductVersion, QStringLiteral("old 8"));
    EXPECT_EQ(record.Comments, QStringLiteral("old 9"));
}

// ---- File version -------------------------------------------------------------------

TEST_F(ExeFile, FileVersionComesFromTheFixedFileInfo)
{
    const TEXEFileVersion v = GetEXEFileVersion(WriteBlock(FixtureVersionBlock(QStringLiteral("full"))));
    EXPECT_EQ(v.major, 3);
    EXPECT_EQ(v.minor, 14);
    EXPECT_EQ(v.release, 15);
    EXPECT_EQ(v.build, 9265);
    EXPECT_EQ(FormatAppVersion(v), QStringLiteral("3.14"));
    EXPECT_EQ(FormatAppVersion(TEXEFileVersion{65535, 0, 9, 9}), QStringLiteral("65535.0"));
}

TEST_F(ExeFile, FileVersionErrors)
{
    auto codeOf = [](const QString& path) -> std::uint32_t {
        try {
            GetEXEFileVersion(path);
        } catch (const EOSError& e) {
            return e.Code();
        }
        return 0;
    };
    EXPECT_EQ(codeOf(fDir.filePath(QStringLiteral("missing"))), 2u);

    QByteArray block = FixtureVersionBlock(QStringLiteral("lantrix"));
    QByteArray noSignature = block;
    PutDword(noSignature, 40, 0); // the fixed info starts after the padded root key
    EXPECT_EQ(codeOf(WriteBlock(noSignature)), 1813u);
    QByteArray shortValue = block;
    PutWord(shortValue, 2, 48); // wValueLength of the root
    EXPECT_EQ(codeOf(WriteBlock(shortValue)), 1813u);
}

// ---- The built program ------------------------------------------------------------

TEST(BuiltProgram, IdentifiesItselfAsDastrelLantrix12)
{
    const QString exe = QStringLiteral(LANTRIX_BIN_DIR "/lantrix");
    TEXEVersionData record;
    GetEXEVersionData(exe, record);
    EXPECT_EQ(record.CompanyName, QStringLiteral("DASTREL"));
    EXPECT_EQ(record.ProductName, QStringLiteral("Lantrix"));
    EXPECT_EQ(record.FileVersion, QStringLiteral("1.2.0.0"));
    EXPECT_EQ(record.ProductVersion, QStringLiteral("1.2.0.0"));
    EXPECT_EQ(record.OriginalFileName, QStringLiteral("lantrix.exe"));
    EXPECT_TRUE(record.PrivateBuild.isEmpty());
    EXPECT_EQ(FormatAppVersion(GetEXEFileVersion(exe)), QStringLiteral("1.2"));
}

TEST(BuiltProgram, CarriesTheBlockTheBuildWasGiven)
{
    QByteArray section;
    ASSERT_TRUE(ReadElfSection(QStringLiteral(LANTRIX_BIN_DIR "/lantrix"), kVersionSectionName, 0x10000, section))
        << GetLastOSError();
    const QByteArray expected =
        BuildVersionBlock(ProgramVersionContent(QStringLiteral("https://" LANTRIX_WEB_HOST "/")));
    // The block is as long as its root node says; the section may be longer,
    // padded by the toolchain (a sanitizer build puts a red zone after every
    // global), and what lies after the block is not part of it.
    ASSERT_GE(section.size(), 2);
    EXPECT_EQ(GetWord(section, 0), expected.size());
    EXPECT_EQ(section.left(expected.size()), expected);
}

} // namespace
