#include "app/AppState.h"

QString AppCompanyName;
QString AppProductName;
QString AppCaption;
QString AppVersion;
QString DataFolder;
SettingsStore* Settings = nullptr;
TBarcodeFormat SelectedCodeFormat = TBarcodeFormat::Auto;
TDecodeOptions SelectedDecodeOptions;
