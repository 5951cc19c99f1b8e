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

// Every option of every decode the window makes: the code format (Auto at
// every start, changed only by the code-format menu) and the Settings
// entries "Read Inverted Codes", "Read Every Format" and "Try Harder" (read
// from settings.ini when the main window is created, changed only by those
// entries). The image tab, the screen scan and every webcam frame hand this
// one value to the decoder as it is at that moment. GUI thread only.
extern TDecodeOptions SelectedDecodeOptions;

// The code format of SelectedDecodeOptions, under its own name.
extern TBarcodeFormat& SelectedCodeFormat;
