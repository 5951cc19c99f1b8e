// What a user is asked to trust (an e-mail address, a telephone number, a
// network's name, a file's name) must show every character it holds. A
// character is hidden when it shows nothing or something else than it is:
// the bidirectional controls (U+202A to U+202E, U+2066 to U+2069, U+200E,
// U+200F, U+061C), every other format character (Unicode category Cf: zero
// width space U+200B, the joiners U+200C and U+200D, U+FEFF, the soft hyphen
// U+00AD, the tags U+E0001 to U+E007F ...), every control character
// (category Cc: TAB, LF, CR, ESC, DEL, the C1 controls), and a lone half of a
// surrogate pair.
#pragma once

#include <QString>

// Whether `text` holds a hidden character. The text is read by code points, so
// that a format character outside the Basic Multilingual Plane counts too.
bool HoldsHiddenCharacters(const QString& text);

// `text` without its hidden characters.
QString WithoutHiddenCharacters(const QString& text);
