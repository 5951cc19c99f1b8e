#pragma once

#include "decode/BarcodeFormat.h"
#include "decode/DecodeBitmap.h"

#include <QString>

// What the program knows of itself and what the user chose for reading,
// one value that the main window owns and hands to the parts that need it.
//
// The identity values and the data folder are written once, while the main
// window is created, and only read afterwards. DataFolder always ends with "/".
struct TAppState {
    QString AppCompanyName;
    QString AppProductName;
    QString AppCaption;
    QString AppVersion;
    QString DataFolder;

    // Every option of every decode the window makes: the code format (Auto at
    // every start, changed only by the code-format menu) and the Settings
    // entries "Read Inverted Codes", "Read Every Format" and "Try Harder"
    // (read from settings.ini when the main window is created, changed only
    // by those entries). The image tab, the screen scan and every webcam
    // frame hand this one value to the decoder as it is at that moment.
    TDecodeOptions SelectedDecodeOptions;

    // The code format of SelectedDecodeOptions, under its own name.
    TBarcodeFormat& SelectedCodeFormat() { return SelectedDecodeOptions.format; }
    TBarcodeFormat SelectedCodeFormat() const { return SelectedDecodeOptions.format; }
};
