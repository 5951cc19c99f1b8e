#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// The language table LanguageCodes.csv: lines "identifier,file name", where
// the identifier is a Windows language identifier in decimal (1031) and the
// file name that of a language file, extension included (German.lang.txt).

// The table's text: UTF-8 or UTF-16 (either byte order) when it starts with
// the matching byte-order mark, otherwise the locale's 8-bit encoding; bytes
// that are not text in it, an incomplete last character included, become
// U+FFFD. Split into lines at CR LF, LF or CR.
QStringList DecodeLanguageCodeTable(const QByteArray& bytes);

// The lines of the table file; empty when it cannot be read (not reported).
QStringList ReadLanguageCodeTable(const QString& path);

// The file name of the first line whose identifier is exactly `code`. A line
// without a comma is skipped; otherwise the identifier is what stands before
// the first comma and the file name everything after it, both trimmed of
// blanks and control characters. Nothing when no line matches.
std::optional<QString> LanguageFileForCode(const QStringList& lines, const QString& code);
