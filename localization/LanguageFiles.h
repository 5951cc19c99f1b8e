#pragma once

#include "localization/UILanguage.h"

#include <QString>
#include <QStringList>

#include <stdexcept>

// Every user-visible text of the program is written in English, and the English
// text is the key under which its translation is looked up. A language is a
// UTF-8 file "<display name>.lang.txt" in the folder "Languages" among the
// shipped files; each of its lines "{key}translation" gives one translation.

// Raised when a language file exists but cannot be read.
class ELanguageFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The language of this run. Written only by LoadLanguage, during start-up on
// the GUI thread before any other window or background work exists; only read
// afterwards, so Translate may be called from any thread.
extern QString LanguageFolder;    // "Languages" in the shipped-files folder, no trailing "/"
extern QStringList LanguageFiles; // names (without folder) of the language files found there
extern QString CurrentLanguage;   // display name of the loaded file; empty when none is loaded
extern QString LanguageFilePath;  // full path of the loaded file; empty when none is loaded
extern QStringList LanguageLines; // the loaded file's lines, in file order

// The file that maps language identifiers to language files, in the language folder.
inline constexpr char kLanguageCodesFile[] = "LanguageCodes.csv";

// `shippedFilesFolder` (see ShippedFilesFolder) + "Languages", without a trailing "/".
QString LanguageFolderOf(const QString& shippedFilesFolder);

// The display name of a language file: its name up to the first ".lang.txt"
// (case-sensitive); empty when the name has none.
QString LanguageDisplayName(const QString& fileName);

// Names of the files in `folder` that match "*lang.txt" (letter case ignored,
// hidden files included; folders, FIFOs, sockets and devices skipped), sorted
// by name; empty when the folder is missing.
QStringList LanguageFilesIn(const QString& folder);

// Appends LanguageFilesIn(folder) to LanguageFiles.
void FindLanguageFiles(const QString& folder);

// The lines of a language file read as UTF-8 (a byte-order mark is skipped;
// bytes that are not UTF-8 become U+FFFD). Raises ELanguageFileError when the
// file cannot be read: when it is missing or no regular file (a FIFO is never
// waited on), and, naming the file as too large, when it is over 16 MiB.
QStringList ReadLanguageFileLines(const QString& path);

// Loads the language of this run; the last step of the main window's start-up.
// `shippedFilesFolder` holds "Languages"; `preferredFileName` names a file in
// it ("German.lang.txt"); the main window passes an empty one, so the language
// is the one that LanguageCodes.csv maps the user's interface language
// (`uiLanguage`) to. Missing folder, table, table row or file: no language, no
// error; a table or language file that is no regular file counts as missing. A language file that exists but cannot be
// read raises ELanguageFileError after CurrentLanguage and LanguageFilePath are set, with LanguageLines empty; the
// caller hands that to the default error handler and start-up goes on.
void LoadLanguage(const QString& preferredFileName, const QString& shippedFilesFolder,
                  const TUILanguageSource& uiLanguage = UserDefaultUILanguage);

// The translation of `key` in the loaded language; the key itself when no
// language is loaded, the loaded file has no line for it, or its translation
// is empty. The first line that begins with "{" + key + "}" (case-sensitive)
// is the entry; its translation is everything after its first "}".
QString Translate(const QString& key);

// The same rule on the lines of any language file, except that an empty
// translation is returned as it is; the key itself when no line matches or
// `lines` is empty.
QString LookupTranslation(const QString& key, const QStringList& lines);

// The entry that names the translators of a language file (comma-separated);
// the language window reads it with LookupTranslation.
inline constexpr char kTranslatedByKey[] = "INFO:Translated By";
