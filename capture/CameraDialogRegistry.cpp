#include "capture/CameraDialogRegistry.h"

namespace {
TCameraDialogs* gDialogs = nullptr;
}

void SetCameraDialogs(TCameraDialogs* dialogs)
{
    gDialogs = dialogs;
}

TCameraDialogs* CameraDialogs()
{
    return gDialogs;
}
