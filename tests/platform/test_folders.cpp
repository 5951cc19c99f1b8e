#include "platform/Folders.h"
#include "platform/InstanceLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(IsFolderWritable, WritableFolderLeavesNothingBehind)
{
    QTemporaryDir dir;
    EXPECT_TRUE(IsFolderWritable(dir.path()));
    EXPECT_TRUE(IsFolderWritable(dir.path() + "/"));
    EXPECT_TRUE(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));
}

TEST(IsFolderWritable, ExistingCheckFileIsLeftAlone)
{
    QTemporaryDir dir;
    QFile check(dir.filePath("chk.tmp"));
    ASSERT_TRUE(check.open(QIODevice::WriteOnly));
    check.write("mine");
    check.close();
    EXPECT_FALSE(IsFolderWritable(dir.path()));
    ASSERT_TRUE(check.open(QIODevice::ReadOnly));
    EXPECT_EQ(check.readAll(), QByteArray("mine"));
}

TEST(IsFolderWritable, MissingFolderOrFileIsNotWritable)
{
    QTemporaryDir dir;
    EXPECT_FALSE(IsFolderWritable(dir.filePath("missing")));
    QFile file(dir.filePath("plain"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    EXPECT_FALSE(IsFolderWritable(file.fileName()));
}

TEST(ChooseDataFolder, WritableExecutableFolderIsUsed)
{
    QTemporaryDir exe, config;
    EXPECT_EQ(ChooseDataFolder(exe.path(), config.path(), "DASTREL", "Lantrix"), exe.path() + "/");
    EXPECT_FALSE(QFileInfo::exists(config.filePath("DASTREL")));
}

TEST(ChooseDataFolder, OtherwiseCompanyAndProductFoldersOfTheUser)
{
    QTemporaryDir config;
    const QString folder = ChooseDataFolder(config.filePath("not-there"), config.path(), "DASTREL", "Lantrix");
    EXPECT_EQ(folder, config.path() + "/DASTREL/Lantrix/");
    EXPECT_TRUE(QFileInfo(folder).isDir());
    // A second start finds them in place.
    EXPECT_EQ(ChooseDataFolder(config.filePath("not-there"), config.path(), "DASTREL", "Lantrix"), folder);
}

// An installed program keeps its files in the user's folder even where it
// could write beside itself (root's /usr/bin, ~/.local/bin).
TEST(ChooseDataFolder, InstalledProgramUsesTheUsersFolderEvenWhenItsFolderIsWritable)
{
    QTemporaryDir root, config;
    QDir(root.path()).mkpath("usr/bin");
    QDir(root.path()).mkpath("usr/share/lantrix/samples");
    ASSERT_TRUE(IsFolderWritable(root.filePath("usr/bin")));
    EXPECT_EQ(ChooseDataFolder(root.filePath("usr/bin"), config.path(), "DASTREL", "Lantrix"),
              config.path() + "/DASTREL/Lantrix/");
    EXPECT_TRUE(QDir(root.filePath("usr/bin")).isEmpty());
}

TEST(IsInstalledLayout, OnlyABinFolderBesideShareLantrix)
{
    QTemporaryDir root;
    QDir(root.path()).mkpath("portable/samples");
    QDir(root.path()).mkpath("usr/bin");
    QDir(root.path()).mkpath("usr/share/lantrix/samples");
    QDir(root.path()).mkpath("other/bin");
    QDir(root.path()).mkpath("build/bin/samples");
    QDir(root.path()).mkpath("build/share/lantrix");
    EXPECT_TRUE(IsInstalledLayout(root.filePath("usr/bin")));
    EXPECT_TRUE(IsInstalledLayout(root.filePath("usr/bin/")));
    EXPECT_FALSE(IsInstalledLayout(root.filePath("portable")));
    EXPECT_FALSE(IsInstalledLayout(root.filePath("other/bin")));
    // Shipped files beside the executable win: a build tree or a portable copy.
    EXPECT_FALSE(IsInstalledLayout(root.filePath("build/bin")));
}

TEST(ShippedFilesFolder, BesideTheExecutableOrInstalledShare)
{
    QTemporaryDir root;
    QDir(root.path()).mkpath("portable/samples");
    QDir(root.path()).mkpath("usr/bin");
    QDir(root.path()).mkpath("usr/share/lantrix/samples");
    EXPECT_EQ(ShippedFilesFolder(root.filePath("portable")), root.filePath("portable") + "/");
    EXPECT_EQ(ShippedFilesFolder(root.filePath("usr/bin")), root.filePath("usr/share/lantrix") + "/");
}

TEST(UserConfigFolder, FollowsXdgConfigHome)
{
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", "/tmp/somewhere/config");
    EXPECT_EQ(UserConfigFolder(), "/tmp/somewhere/config");
    qputenv("XDG_CONFIG_HOME", "relative/is/ignored");
    EXPECT_EQ(UserConfigFolder(), QDir::homePath() + "/.config");
    qputenv("XDG_CONFIG_HOME", saved);
}

TEST(InstanceLock, NeverKeepsASecondInstanceOut)
{
    QTemporaryDir runtime;
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    EXPECT_TRUE(HoldInstanceLock("DASTREL_Lantrix"));
    EXPECT_TRUE(HoldInstanceLock("DASTREL_Lantrix"));
    EXPECT_TRUE(QFileInfo::exists(runtime.filePath("DASTREL_Lantrix")));
    qputenv("XDG_RUNTIME_DIR", saved);
}

} // namespace
