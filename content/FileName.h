// The name a file is suggested under when the user saves what a code holds
// (a contact, an event): made from text the code gives, so made safe first.
#pragma once

#include <QString>

// `name` as a file name with `extension` (".vcf", ".ics") after it. Hidden
// characters (TextCheck.h) are removed; "/", "\" and the other characters
// file systems keep out of names (the controls, < > : " | ? *) become
// blanks; runs of blanks become one; the name starts with no dot or blank
// and ends with none (so "Party." gives "Party.ics"). The whole name,
// extension and all, is at most 255 bytes in UTF-8, cut between whole
// characters as the user sees them (grapheme clusters: never inside a
// surrogate pair or a combining sequence). When nothing is left of `name`,
// `fallback` ("Contact") is made the name the same way; empty when nothing is
// left of either.
QString SuggestedFileName(const QString& name, const QString& fallback, const QString& extension);
