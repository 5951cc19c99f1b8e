#include "app/AppStartup.h"

#include "app/AppState.h"
#include "app/ExeVersionData.h"
#include "localization/LanguageFiles.h"
#include "platform/Folders.h"
#include "platform/SettingsStore.h"

#include <QFile>

TAppStartup::TAppStartup(TStartupPaths paths)
    : fPaths(std::move(paths))
{
}

void TAppStartup::ReadIdentity(TAppState& state) const
{
    TEXEVersionData version;
    GetEXEVersionData(fPaths.executableFile, version);
    const QString appVersion = FormatAppVersion(GetEXEFileVersion(fPaths.executableFile));
    state.AppCompanyName = version.CompanyName;
    state.AppProductName = version.ProductName;
    state.AppVersion = appVersion;
    state.AppCaption = state.AppCompanyName + QStringLiteral(" - ") + state.AppProductName;
}

void TAppStartup::ChooseDataFolder(TAppState& state) const
{
    state.DataFolder =
        ::ChooseDataFolder(fPaths.executableFolder, fPaths.configFolder, state.AppCompanyName, state.AppProductName);
}

std::unique_ptr<SettingsStore> TAppStartup::OpenSettings(const TAppState& state) const
{
    const QString settingsFile = state.DataFolder + QStringLiteral("settings.ini");
    std::unique_ptr<SettingsStore> store;
    try {
        store = std::make_unique<SettingsStore>(settingsFile);
    } catch (const ESettingsError&) {
        QFile::remove(settingsFile);
        store = std::make_unique<SettingsStore>(settingsFile);
    }
    return store;
}

void TAppStartup::LoadLanguage(const TUILanguageSource& uiLanguage) const
{
    ::LoadLanguage(QString(), ShippedFolder(), uiLanguage ? uiLanguage : TUILanguageSource(UserDefaultUILanguage));
}

QString TAppStartup::ShippedFolder() const
{
    return ShippedFilesFolder(fPaths.executableFolder);
}
