#pragma once

#include <QString>

// Qt's own texts (the Open dialog, standard buttons, the context menus of text
// fields) in the interface language: Qt's translation catalogue of the
// language loaded at start-up, beside the program's language file.

// Qt's name of the language of a language file's display name: "de" for
// "German", "pt_BR" for "PortugueseBrazil", "zh_CN" for "ChineseSimplified";
// empty for "English" and for names the program does not know.
QString QtLanguageName(const QString& displayName);

// Installs Qt's catalogue "qtbase_<name>.qm" from `folder` (empty: Qt's own
// translations folder) for the language that start-up loaded (CurrentLanguage),
// in place of one installed before. Nothing is installed when no language was
// loaded, when its file could not be read (the program goes on in English), or
// when Qt has no catalogue for it. Returns whether one was installed. Needs the
// application object; runs on the GUI thread.
bool InstallQtTranslations(const QString& folder = QString());
