// The decode options the user keeps in settings.ini, beside the remembered
// folder: section "Settings", key "ReadInvertedCodes", "1" for on and "0"
// for off. A missing key, or any other value, is off, so that Reset to
// Defaults, which deletes the file, turns the option off.
#pragma once

#include "decode/DecodeBitmap.h"

class SettingsStore;

// The options stored in `store` with the code format `format`; the
// defaults when `store` is null (no settings file could be opened) or holds none.
TDecodeOptions LoadDecodeOptions(const SettingsStore* store, TBarcodeFormat format = TBarcodeFormat::Auto);

// Writes the options into `store` and the store to disk at once. Raises
// SettingsError when the file cannot be written.
void SaveDecodeOptions(SettingsStore& store, const TDecodeOptions& options);
