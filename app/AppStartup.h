#pragma once

#include "localization/UILanguage.h"

#include <QString>

#include <memory>

class SettingsStore;
struct TAppState;

// Where the program finds its executable and the user's configuration folder.
struct TStartupPaths {
    QString executableFile;
    QString executableFolder;
    QString configFolder;
};

// The steps that prepare the program while its main window is created. The
// window runs them in this order, with its own steps between them (the
// caption after the identity, the webcam's front-end before the settings):
//
//   ReadIdentity, ChooseDataFolder, OpenSettings, LoadLanguage
//
// Each writes the values of the window's TAppState that it names, and
// nothing else writes them.
class TAppStartup {
public:
    explicit TAppStartup(TStartupPaths paths);

    // AppCompanyName and AppProductName from the executable's version block,
    // AppVersion from its file version, and AppCaption. Raises EOSError when
    // the executable has no readable version block; nothing is set then.
    void ReadIdentity(TAppState& state) const;

    // DataFolder: the executable's folder when it is writable, otherwise the
    // company and product folders in the user's configuration folder.
    void ChooseDataFolder(TAppState& state) const;

    // settings.ini in DataFolder. A file that cannot be read (not UTF-8,
    // say) is deleted and the store opened again, empty. Raises
    // ESettingsError when that fails too.
    std::unique_ptr<SettingsStore> OpenSettings(const TAppState& state) const;

    // The interface language: the language file that LanguageCodes.csv gives
    // for the user's interface language (uiLanguage; empty: the system's).
    // Raises ELanguageFileError when that file cannot be read; the program
    // then goes on in English.
    void LoadLanguage(const TUILanguageSource& uiLanguage) const;

    // The folder of the shipped files ("samples", "Languages", license.txt),
    // ending in "/".
    QString ShippedFolder() const;

private:
    TStartupPaths fPaths;
};
