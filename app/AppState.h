#pragma once

#include "decode/BarcodeFormat.h"
#include "decode/DecodeBitmap.h"

#include <QString>

class SettingsStore;

// Process-wide values of the program.
//
// The identity values and the data folder are written once, while the main
// window is created, and only read afterwards (also by background threads,
// which start later). DataFolder always ends with "/".
extern QString AppCompanyName;
extern QString AppProductName;
extern QString AppCaption;
extern QString AppVersion;
extern QString DataFolder;

// settings.ini in DataFolder; null until opened, and for the whole run when it
// could not be opened. GUI thread only.
extern SettingsStore* Settings;

// The code format every decode uses; Auto at every start, changed only by the
// code-format menu. GUI thread only.
extern TBarcodeFormat SelectedCodeFormat;

// What every decode tries beyond one pass (Settings > "Read Inverted Codes"):
// read from settings.ini when the main window is created, changed only by
// that menu entry. GUI thread only.
extern TDecodeOptions SelectedDecodeOptions;
