#pragma once

#include <QString>

#include <functional>

// Windows language identifiers (LCIDs such as 1031 for German as used in
// Germany), which the language table LanguageCodes.csv is keyed by.

// The identifier of a locale given as a BCP 47 tag ("de-DE", "zh-Hans-CN") or
// in ICU form ("de_DE"), through ICU. A tag that names only a language ("de")
// is widened to its most likely region first (de-DE, 1031), as the platform
// names a specific language rather than a neutral one. 0 when ICU knows no
// identifier for it.
quint16 LanguageIdOfLocale(const QString& tag);

// The identifier of the user's first interface language
// (QLocale::system().uiLanguages(), which follows LANGUAGE, LC_ALL,
// LC_MESSAGES and LANG).
quint16 UserDefaultUILanguage();

// Where the language load asks for the user's interface language; tests
// give a fixed one.
using TUILanguageSource = std::function<quint16()>;
