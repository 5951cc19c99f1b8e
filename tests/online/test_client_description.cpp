#include "online/ClientDescription.h"
#include "support/TestFiles.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QRegularExpression kGuidForm("^[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}$");

class MachineIdTest : public ::testing::Test {
protected:
    QString Write(const QString& name, const QByteArray& contents) { return WriteTestFile(dir.path(), name, contents); }
    QTemporaryDir dir;
};

TEST_F(MachineIdTest, GuidFormWithVersion4Bits)
{
    const QString path = Write("machine-id", "0123456789abcdef0123456789abcdef\n");
    const QString id = MachineIdFromFiles({path});
    EXPECT_TRUE(kGuidForm.match(id).hasMatch()) << id.toStdString();
}

// The value worked out independently (Python's hmac module): HMAC-SHA256 of
// the program's key under the machine ID's 16 bytes, first 16 bytes, version
// 4 and variant bits.
TEST_F(MachineIdTest, KeyedHashOfTheMachineId)
{
    const QString path = Write("machine-id", "0123456789abcdef0123456789abcdef\n");
    EXPECT_EQ(MachineIdFromFiles({path}), QString("40fd23e3-fe1c-4c28-9fd3-159956f94afc"));
}

TEST_F(MachineIdTest, StableForOneMachine)
{
    const QString path = Write("machine-id", "3f1e5a9c0b7d42e8a6c4d2f0e8b6a4c2\n");
    const QString first = MachineIdFromFiles({path});
    EXPECT_EQ(first, MachineIdFromFiles({path}));
    // Capitals and no line break are the same machine ID.
    const QString upper = Write("upper", "3F1E5A9C0B7D42E8A6C4D2F0E8B6A4C2");
    EXPECT_EQ(first, MachineIdFromFiles({upper}));
}

TEST_F(MachineIdTest, DiffersBetweenMachines)
{
    const QString a = Write("a", "0123456789abcdef0123456789abcdef\n");
    const QString b = Write("b", "0123456789abcdef0123456789abcdee\n");
    EXPECT_NE(MachineIdFromFiles({a}), MachineIdFromFiles({b}));
}

TEST_F(MachineIdTest, NeverHoldsTheMachineIdItself)
{
    const QByteArray raw = "0123456789abcdef0123456789abcdef";
    const QString id = MachineIdFromFiles({Write("machine-id", raw + "\n")});
    ASSERT_FALSE(id.isEmpty());
    const QString digits = QString(id).remove('-');
    EXPECT_NE(digits, QString::fromLatin1(raw));
    // Not even a quarter of it in a row.
    for (int i = 0; i + 8 <= raw.size(); ++i)
        EXPECT_FALSE(digits.contains(QString::fromLatin1(raw.mid(i, 8)))) << i;
}

TEST_F(MachineIdTest, EmptyWithoutAMachineId)
{
    EXPECT_EQ(MachineIdFromFiles({dir.filePath("missing")}), QString());
    EXPECT_EQ(MachineIdFromFiles({}), QString());
}

TEST_F(MachineIdTest, UnusableFilesAreSkipped)
{
    const QString good = Write("good", "0123456789abcdef0123456789abcdef\n");
    const QString expected = MachineIdFromFiles({good});
    const QStringList unusable = {
        dir.filePath("missing"),
        Write("empty", ""),
        Write("uninitialized", "uninitialized\n"),
        Write("short", "0123456789abcdef\n"),
        Write("not hex", "0123456789abcdef0123456789abcdeg\n"),
        Write("zero", "00000000000000000000000000000000\n"),
    };
    for (const QString& path : unusable) {
        EXPECT_EQ(MachineIdFromFiles({path}), QString()) << path.toStdString();
        EXPECT_EQ(MachineIdFromFiles({path, good}), expected) << path.toStdString();
    }
}

TEST(MachineIdFilesTest, EtcFirstThenDbus)
{
    EXPECT_EQ(MachineIdFiles(), (QStringList{"/etc/machine-id", "/var/lib/dbus/machine-id"}));
}

TEST(MachineIdOfThisMachineTest, EmptyOrGuidForm)
{
    const QString id = MachineId();
    EXPECT_TRUE(id.isEmpty() || kGuidForm.match(id).hasMatch()) << id.toStdString();
}

// systemd's own application-specific machine ID under the program's key is
// the same value, where systemd can read this machine's ID.
TEST(MachineIdOfThisMachineTest, SameAsSystemdAppSpecificId)
{
    const QString tool = QStandardPaths::findExecutable("systemd-id128");
    if (tool.isEmpty())
        GTEST_SKIP() << "systemd-id128 is not installed";
    QProcess process;
    process.start(tool, {"machine-id", "--app-specific=671aa6ef6d3bb85c66742aadd5cc7d06", "-u"});
    ASSERT_TRUE(process.waitForFinished(30000));
    if (process.exitCode() != 0)
        GTEST_SKIP() << "systemd reads no machine ID here";
    EXPECT_EQ(MachineId(), QString::fromLatin1(process.readAllStandardOutput().trimmed()));
}

TEST(LocaleTagTest, LanguageRegionFormOrXx)
{
    const QString tag = LocaleTag();
    EXPECT_TRUE(tag == "xx" || QRegularExpression("^[a-z]{2,3}(-[A-Za-z0-9]+)*$").match(tag).hasMatch())
        << tag.toStdString();
    EXPECT_FALSE(tag.contains('_'));
}

struct OsCase {
    const char* product;
    int major, minor, build, servicePack;
    bool is64Bit;
    const char* expected;
};

class OsDescriptionFormatTest : public ::testing::TestWithParam<OsCase> {};

TEST_P(OsDescriptionFormatTest, Formats)
{
    const OsCase& c = GetParam();
    EXPECT_EQ(FormatOsDescription(c.product, c.major, c.minor, c.build, c.servicePack, c.is64Bit), QString(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OsDescriptionFormatTest,
    ::testing::Values(OsCase{"Debian GNU/Linux 12 (bookworm)", 6, 1, 0, 0, true,
                             "Debian GNU/Linux 12 (bookworm) (Version 6.1, Build 0, 64-bit Edition)"},
                      OsCase{"Ubuntu 22.04.4 LTS", 5, 15, 153, 0, false,
                             "Ubuntu 22.04.4 LTS (Version 5.15, Build 153, 32-bit Edition)"},
                      OsCase{"Windows 7", 6, 1, 7601, 1, true,
                             "Windows 7 Service Pack 1 (Version 6.1, Build 7601, 64-bit Edition)"}));

TEST(OsDescriptionTest, OneLineInTheFormat)
{
    const QString line = OsDescription();
    EXPECT_FALSE(line.contains('\n'));
    EXPECT_TRUE(
        QRegularExpression(R"(^.+ \(Version \d+\.\d+, Build \d+, (32|64)-bit Edition\)$)").match(line).hasMatch())
        << line.toStdString();
}

} // namespace
