// The start-up steps without the window: identity from the version block,
// the data folder, and settings.ini.
#include "app/AppStartup.h"
#include "app/AppState.h"
#include "platform/OSError.h"
#include "platform/SettingsStore.h"

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
    TAppState state;

    void SetUp() override { QDir(root.path()).mkpath("program"); }

    TAppStartup Startup(const QString& executable = QStringLiteral(LANTRIX_BIN_DIR "/lantrix")) const
    {
        return TAppStartup({executable, program, config});
    }
};

TEST_F(AppStartupTest, IdentityFromTheProgramsVersionBlock)
{
    Startup().ReadIdentity(state);
    EXPECT_EQ(state.AppCompanyName, "DASTREL");
    EXPECT_EQ(state.AppProductName, "Lantrix");
    EXPECT_EQ(state.AppVersion, "1.2");
    EXPECT_EQ(state.AppCaption, "DASTREL - Lantrix");
}

// An executable without a version block: an error, and no value is half set.
TEST_F(AppStartupTest, NoVersionBlockSetsNothing)
{
    const QString file = root.filePath("no-block");
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write("not a program");
    out.close();
    EXPECT_THROW(Startup(file).ReadIdentity(state), EOSError);
    EXPECT_TRUE(state.AppCompanyName.isEmpty());
    EXPECT_TRUE(state.AppVersion.isEmpty());
    EXPECT_TRUE(state.AppCaption.isEmpty());
}

TEST_F(AppStartupTest, DataFolderIsTheProgramsFolderWhenWritable)
{
    const TAppStartup startup = Startup();
    startup.ReadIdentity(state);
    startup.ChooseDataFolder(state);
    EXPECT_EQ(state.DataFolder, program + "/");
}

// The write test fails when "chk.tmp" is there already (it is left alone),
// as it does in a read-only folder.
TEST_F(AppStartupTest, DataFolderOfTheUserWhenTheProgramsFolderIsNotWritable)
{
    QFile marker(program + "/chk.tmp");
    ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
    marker.close();
    const TAppStartup startup = Startup();
    startup.ReadIdentity(state);
    startup.ChooseDataFolder(state);
    EXPECT_EQ(state.DataFolder, config + "/DASTREL/Lantrix/");
    EXPECT_TRUE(QDir(state.DataFolder).exists());
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
    startup.ReadIdentity(state);
    startup.ChooseDataFolder(state);
    EXPECT_EQ(state.DataFolder, config + "/DASTREL/Lantrix/");
    EXPECT_EQ(startup.ShippedFolder(), root.filePath("prefix/share/lantrix") + "/");
    const auto store = startup.OpenSettings(state);
    store->WriteString("Settings", "InitialDir", "/somewhere");
    store->UpdateFile();
    EXPECT_TRUE(QFile::exists(config + "/DASTREL/Lantrix/settings.ini"));
    EXPECT_TRUE(QDir(bin).isEmpty());
}

// settings.ini that is not UTF-8 is replaced by an empty store, silently.
TEST_F(AppStartupTest, UnreadableSettingsAreThrownAway)
{
    const TAppStartup startup = Startup();
    startup.ReadIdentity(state);
    startup.ChooseDataFolder(state);
    QFile file(state.DataFolder + "settings.ini");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Settings]\nInitialDir=/caf\xE9\n");
    file.close();

    const std::unique_ptr<SettingsStore> store = startup.OpenSettings(state);
    ASSERT_TRUE(store);
    EXPECT_EQ(store->ReadString("Settings", "InitialDir", "<none>"), "<none>");
    EXPECT_FALSE(QFile::exists(state.DataFolder + "settings.ini"));
}

// When even the second opening fails, the error is raised.
TEST_F(AppStartupTest, SettingsThatCannotBeOpenedAtAll)
{
    const TAppStartup startup = Startup();
    startup.ReadIdentity(state);
    startup.ChooseDataFolder(state);
    ASSERT_TRUE(QDir(state.DataFolder).mkpath("settings.ini/inside")); // a folder that cannot be removed as a file
    EXPECT_THROW(startup.OpenSettings(state), ESettingsError);
}

} // namespace
