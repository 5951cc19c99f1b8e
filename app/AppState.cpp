#include "app/AppState.h"

QString AppCompanyName;
QString AppProductName;
QString AppCaption;
QString AppVersion;
QString DataFolder;
SettingsStore* Settings = nullptr;
TDecodeOptions SelectedDecodeOptions;
TBarcodeFormat& SelectedCodeFormat = SelectedDecodeOptions.format;
