#pragma once

#include "decode/DecodeBitmap.h"

#include <QString>
#include <QStringList>

// Passing words of the status bar about what a decode with these options
// can read, in the user's language; the Settings entries they name stay
// English, as the menus show them.

// How long the status bar shows one of them.
inline constexpr int kStatusHintMs = 5000;

// When the chosen code format has no reader under these options, that it
// is decoded as Auto ("No reader for MSI: decoding as with Auto."); empty
// when it has one.
QString CodeFormatNotice(const TDecodeOptions& options);

// The Settings entries that are off in `options` and may read what these
// options did not, in menu order: each switch that is off, except "Read
// Every Format" while a format with a reader of its own among the ten is
// chosen (it is then looked for alone either way).
QStringList EntriesThatMayReadMore(const TDecodeOptions& options);

// After a picture that gave "Unreadable!": the entries above named in a
// sentence; empty when there are none.
QString UnreadableHint(const TDecodeOptions& options);
