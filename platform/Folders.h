#pragma once

#include <QString>

// True when a new file can be created in `folder`: "chk.tmp" is created as a
// new file and removed at once. An existing "chk.tmp" is left alone (false).
bool IsFolderWritable(const QString& folder);

// The user's configuration folder: $XDG_CONFIG_HOME, else ~/.config (no trailing "/").
QString UserConfigFolder();

// The folder in which the program writes its files, always ending in "/": the
// executable's folder when it is writable (portable use), otherwise
// configFolder/company/product/, created when missing (failures ignored).
// An installed program (IsInstalledLayout) always writes to the latter: a
// writable <prefix>/bin (root's, ~/.local/bin) is no place for settings.
QString ChooseDataFolder(const QString& executableFolder, const QString& configFolder, const QString& company,
                         const QString& product);

// The folder that holds the shipped files ("samples", "Languages", license.txt),
// ending in "/": the executable's folder when it holds them (build tree, portable
// copy), else <prefix>/share/lantrix/ of an installed layout <prefix>/bin/lantrix.
QString ShippedFilesFolder(const QString& executableFolder);

// True when `executableFolder` is the bin/ folder of an installed layout:
// the shipped files lie in <prefix>/share/lantrix/, not beside the executable.
bool IsInstalledLayout(const QString& executableFolder);

// `folder` with exactly one trailing "/".
QString WithTrailingSlash(const QString& folder);
