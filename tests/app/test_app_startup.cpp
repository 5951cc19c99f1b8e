// The start-up steps without the window: identity from the version block,
// the data folder, and settings.ini.
#include "app/AppStartup.h"
#include "app/AppState.h"
#include "app/SettingsStore.h"
#include "platform/OSError.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class AppStartupTest : public ::testing::Test {
protected:
    QTemporaryDir root;
    QString program = root.filePath("program");
    QString config = root.filePath("config");

    void SetUp() override
    {
        QDir(root.path()).mkpath("program");
        AppCompanyName = AppProductName = AppVersion = AppCaption = DataFolder = QString();
        Settings = nullptr;
    }
    void TearDown() override { Settings = nullptr; }

    TAppStartup Startup(const QString& executable = QStringLiteral(LANTRIX_BIN_DIR "/lantrix")) const
    {
        return TAppStartup({executable, program, config});
    }
};

TEST_F(AppStartupTest, IdentityFromTheProgramsVersionBlock)
{
    Startup().ReadIdentity();
    EXPECT_EQ(AppCompanyName, "DASTREL");
    EXPECT_EQ(AppProductName, "Lantrix");
    EXPECT_EQ(AppVersion, "1.2");
    EXPECT_EQ(AppCaption, "DASTREL - Lantrix");
}

// An executable without a version block: an error, and no value is half set.
TEST_F(AppStartupTest, NoVersionBlockSetsNothing)
{
    const QString file = root.filePath("no-block");
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write("not a program");
    out.close();
    EXPECT_THROW(Startup(file).ReadIdentity(), EOSError);
    EXPECT_TRUE(AppCompanyName.isEmpty());
    EXPECT_TRUE(AppVersion.isEmpty());
    EXPECT_TRUE(AppCaption.isEmpty());
}

TEST_F(AppStartupTest, DataFolderIsTheProgramsFolderWhenWritable)
{
    const TAppStartup startup = Startup();
    startup.ReadIdentity();
    startup.ChooseDataFolder();
    EXPECT_EQ(DataFolder, program + "/");
}

// The write test fails when "chk.tmp" is there already (it is left alone),
// as it does in a read-only folder.
TEST_F(AppStartupTest, DataFolderOfTheUserWhenTheProgramsFolderIsNotWritable)
{
    QFile marker(program + "/chk.tmp");
    ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
    marker.close();
    const TAppStartup startup = Startup();
    startup.ReadIdentity();
    startup.ChooseDataFolder();
    EXPECT_EQ(DataFolder, config + "/DASTREL/Lantrix/");
    EXPECT_TRUE(QDir(DataFolder).exists());
    EXPECT_TRUE(QFile::exists(program + "/chk.tmp"));
}

// The installed program, <prefix>/bin/lantrix: the shipped files in
// <prefix>/share/lantrix/, its own files in the user's folder even when it
// could write to <prefix>/bin (root, or an install into the home folder).
TEST_F(AppStartupTest, InstalledProgramUsesShareAndTheUsersFolder)
{
    ASSERT_TRUE(QDir(root.path()).mkpath("prefix/bin"));
    ASSERT_TRUE(QDir(root.path()).mkpath("prefix/share/lantrix/samples"));
    const QString bin = root.filePath("prefix/bin");
    const TAppStartup startup({QStringLiteral(LANTRIX_BIN_DIR "/lantrix"), bin, config});
    startup.ReadIdentity();
    startup.ChooseDataFolder();
    EXPECT_EQ(DataFolder, config + "/DASTREL/Lantrix/");
    EXPECT_EQ(startup.ShippedFolder(), root.filePath("prefix/share/lantrix") + "/");
    const auto store = startup.OpenSettings();
    store->WriteString("Settings", "InitialDir", "/somewhere");
    store->UpdateFile();
    EXPECT_TRUE(QFile::exists(config + "/DASTREL/Lantrix/settings.ini"));
    EXPECT_TRUE(QDir(bin).isEmpty());
}

// settings.ini that is not UTF-8 is replaced by an empty store, silently,
// and the store is published for the rest of the program.
TEST_F(AppStartupTest, UnreadableSettingsAreThrownAway)
{
    const TAppStartup startup = Startup();
    startup.ReadIdentity();
    startup.ChooseDataFolder();
    QFile file(DataFolder + "settings.ini");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Settings]\nInitialDir=/caf\xE9\n");
    file.close();

    const std::unique_ptr<SettingsStore> store = startup.OpenSettings();
    ASSERT_TRUE(store);
    EXPECT_EQ(Settings, store.get());
    EXPECT_EQ(store->ReadString("Settings", "InitialDir", "<none>"), "<none>");
    EXPECT_FALSE(QFile::exists(DataFolder + "settings.ini"));
}

// When even the second opening fails, the error is raised and no store is published.
TEST_F(AppStartupTest, SettingsThatCannotBeOpenedAtAll)
{
    const TAppStartup startup = Startup();
    startup.ReadIdentity();
    startup.ChooseDataFolder();
    ASSERT_TRUE(QDir(DataFolder).mkpath("settings.ini/inside")); // a folder that cannot be removed as a file
    EXPECT_THROW(startup.OpenSettings(), ESettingsError);
    EXPECT_EQ(Settings, nullptr);
}

} // namespace
