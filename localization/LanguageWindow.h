#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

// What the language window shows, apart from its widgets.

// The entry that stands for the program's own English texts; it needs no file.
inline constexpr char kEnglishEntry[] = "English";

// The window's list: "English" and the display name of every language file,
// in alphabetical order without regard to case (equal names keep the order in
// which they came, "English" first).
QStringList LanguageEntries(const QStringList& languageFiles);

// The name of an entry's flag picture: "de" for "German", "flag" for
// "English", ... (30 languages); "xx" for any other entry.
QString FlagImageName(const QString& entry);

// Every flag picture's name, in the window's image-list order.
QStringList FlagImageNames();

// Who translated an entry: "Dastrel" for "English" (no file is read), else the
// "INFO:Translated By" entry of languageFolder/<entry>.lang.txt ("INFO:Translated
// By" itself when the file has none, empty when it cannot be read).
QString TranslatorText(const QString& entry, const QString& languageFolder);

// The translator names one per line: the text split at every comma, each piece
// trimmed of blanks and control characters. Empty pieces between commas give
// empty lines; a trailing comma adds nothing; an empty text gives no line.
QStringList TranslatorLines(const QString& text);

// The maker's translation page: https://<host>/translation/
QUrl TranslationPageAddress(const QString& webHost);
