#include "app/AppStartup.h"

#include "app/AppState.h"
#include "app/ExeVersionData.h"
#include "app/SettingsStore.h"
#include "localization/LanguageFiles.h"
#include "platform/Folders.h"

#include <QFile>

TAppStartup::TAppStartup(TStartupPaths paths)
    : fPaths(std::move(paths))
{
}

void TAppStartup::ReadIdentity() const
{
    TEXEVersionData version;
    GetEXEVersionData(fPaths.executableFile, version);
    const QString appVersion = FormatAppVersion(GetEXEFileVersion(fPaths.executableFile));
    AppCompanyName = version.CompanyName;
    AppProductName = version.ProductName;
    AppVersion = appVersion;
    AppCaption = AppCompanyName + QStringLiteral(" - ") + AppProductName;
}

void TAppStartup::ChooseDataFolder() const
{
    DataFolder = ::ChooseDataFolder(fPaths.executableFolder, fPaths.configFolder, AppCompanyName, AppProductName);
}

std::unique_ptr<SettingsStore> TAppStartup::OpenSettings() const
{
    const QString settingsFile = DataFolder + QStringLiteral("settings.ini");
    std::unique_ptr<SettingsStore> store;
    try {
        store = std::make_unique<SettingsStore>(settingsFile);
    } catch (const ESettingsError&) {
        QFile::remove(settingsFile);
        store = std::make_unique<SettingsStore>(settingsFile);
    }
    Settings = store.get();
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
