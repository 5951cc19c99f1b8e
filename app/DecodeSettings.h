#pragma once

#include "decode/DecodeBitmap.h"

#include <array>

class SettingsStore;

// One of the on/off members of TDecodeOptions.
using TDecodeFlag = bool(TDecodeOptions::*);

// The decode options the user keeps in settings.ini, each a checkable entry
// of the Settings menu: section "Settings", "1" for on and "0" for off. A
// missing key, or any other value, is off, so that Reset to Defaults, which
// deletes the file, turns every one of them off.
struct TDecodeSwitch {
    const char* caption; // the Settings menu's entry, English as every menu entry
    const char* key;     // in section "Settings"
    TDecodeFlag flag;
};

// The switches in the order of their entries, after "Code Format".
extern const std::array<TDecodeSwitch, 3> kDecodeSwitches;

// The options stored in `store` with the code format `format`; every switch
// off when `store` is null (no settings file could be opened) or holds none.
TDecodeOptions LoadDecodeOptions(const SettingsStore* store, TBarcodeFormat format = TBarcodeFormat::Auto);

// A switch's entry toggled: `flag` of `options` set to `on` at once, so that
// the next decode uses it, then its key written into `store` (when there is
// one; the other keys stay as they are) and the store to disk. Raises
// ESettingsError when the file cannot be written; the option holds for this
// run all the same.
void SetDecodeSwitch(TDecodeOptions& options, TDecodeFlag flag, bool on, SettingsStore* store);
