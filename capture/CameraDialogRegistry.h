// Where the capture finds the camera's dialogs. The capture library has no
// widgets: the widget library registers them (InstallCameraDialogs in
// capture/widgets/CameraDialogs.h), and a capture without them answers that
// it has no dialog.
#pragma once

#include "capture/ResultCodes.h"

#include <QString>
#include <QStringList>

class QObject;
class TImageControls;

// The dialogs of the camera.
class TCameraDialogs {
public:
    virtual ~TCameraDialogs() = default;
    // Modal dialog over the image controls.
    virtual HRESULT ShowImageControls(TImageControls& controls, const QString& caption, QObject* owner) = 0;
    // Modal choice among the capability list: the chosen index, or -1.
    virtual int PickCapability(const QStringList& entries, int current, QObject* owner) = 0;
};

// Registers the dialogs (not owned; nullptr: none).
void SetCameraDialogs(TCameraDialogs* dialogs);
// The registered dialogs, or nullptr.
TCameraDialogs* CameraDialogs();
