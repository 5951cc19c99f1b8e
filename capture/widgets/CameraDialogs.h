// The camera's dialogs: its image controls as sliders, and its capability
// list to pick a stream format from. InstallCameraDialogs makes
// TVideoSample::ShowPropertyDialog and ShowPropertyDialog_CaptureStream use them.
#pragma once

#include "capture/ImageControls.h"

#include <QDialog>

#include <vector>

class QCheckBox;
class QDialogButtonBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSlider;

// Call once on the GUI thread before the dialogs are wanted.
void InstallCameraDialogs();

// One row per image control the camera has: name, slider, value and, where the
// camera offers it, "Auto". Changes are written to the camera at once.
class TImageControlsDialog : public QDialog {
    Q_OBJECT
public:
    TImageControlsDialog(TImageControls& controls, const QString& caption, QWidget* parent = nullptr);

    int RowCount() const { return static_cast<int>(fRows.size()); }
    QSlider* Slider(int prop) const;    // nullptr when the camera lacks the control
    QCheckBox* AutoBox(int prop) const; // nullptr without automatic mode
    QPushButton* DefaultButton() const { return fDefaultButton; }

private:
    struct TRow {
        int prop;
        TControlRange range;
        QSlider* slider;
        QLabel* valueLabel;
        QCheckBox* autoBox;
    };
    void WriteValue(const TRow& row, int value);
    void WriteAuto(const TRow& row, bool automatic);
    void RestoreDefaults();

    TImageControls& fControls;
    std::vector<TRow> fRows;
    QPushButton* fDefaultButton = nullptr;
};

// The capability list; OK takes the selected entry.
class TCaptureFormatDialog : public QDialog {
    Q_OBJECT
public:
    TCaptureFormatDialog(const QStringList& entries, int current, QWidget* parent = nullptr);

    QListWidget* ListBox() const { return fList; }
    int SelectedIndex() const; // -1 when none

private:
    QListWidget* fList;
};
