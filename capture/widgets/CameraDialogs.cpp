#include "capture/widgets/CameraDialogs.h"

#include "capture/CameraDialogRegistry.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

namespace {

QWidget* OwnerWidget(QObject* owner)
{
    return qobject_cast<QWidget*>(owner);
}

class TWidgetCameraDialogs final : public TCameraDialogs {
public:
    HRESULT ShowImageControls(TImageControls& controls, const QString& caption, QObject* owner) override
    {
        TImageControlsDialog dialog(controls, caption, OwnerWidget(owner));
        if (dialog.RowCount() == 0)
            return E_NOINTERFACE;
        dialog.exec();
        return S_OK;
    }

    int PickCapability(const QStringList& entries, int current, QObject* owner) override
    {
        TCaptureFormatDialog dialog(entries, current, OwnerWidget(owner));
        return dialog.exec() == QDialog::Accepted ? dialog.SelectedIndex() : -1;
    }
};

} // namespace

void InstallCameraDialogs()
{
    static TWidgetCameraDialogs dialogs;
    SetCameraDialogs(&dialogs);
}

// ---------------------------------------------------------------------------

TImageControlsDialog::TImageControlsDialog(TImageControls& controls, const QString& caption, QWidget* parent)
    : QDialog(parent)
    , fControls(controls)
{
    setWindowTitle(caption.isEmpty() ? QStringLiteral("Camera") : caption);
    auto* grid = new QGridLayout;
    for (const TVideoPropertyInfo& property : VideoProperties()) {
        const int prop = property.property;
        std::int32_t min, max, step, defaultValue, flags, value;
        if (GetVideoPropAmpEx(&fControls, prop, min, max, step, defaultValue, flags, value) != S_OK || max < min)
            continue;
        TRow row{prop,
                 {min, max, step, defaultValue},
                 new QSlider(Qt::Horizontal),
                 new QLabel(QString::number(value)),
                 nullptr};
        row.slider->setRange(min, max);
        row.slider->setSingleStep(qMax(1, step));
        row.slider->setPageStep(qMax(1, step) * 10);
        row.slider->setValue(value);
        row.slider->setObjectName(VideoPropertyName(prop));
        row.valueLabel->setMinimumWidth(row.valueLabel->fontMetrics().horizontalAdvance(QStringLiteral("-000000")));
        const int line = static_cast<int>(fRows.size());
        grid->addWidget(new QLabel(VideoPropertyName(prop)), line, 0);
        grid->addWidget(row.slider, line, 1);
        grid->addWidget(row.valueLabel, line, 2);
        if (VideoPropertyHasAuto(&fControls, prop)) {
            row.autoBox = new QCheckBox(QStringLiteral("Auto"));
            row.autoBox->setChecked(flags == VideoProcAmp_Flags_Auto);
            row.slider->setEnabled(flags != VideoProcAmp_Flags_Auto);
            grid->addWidget(row.autoBox, line, 3);
        }
        fRows.push_back(row);
    }
    for (const TRow& row : fRows) {
        connect(row.slider, &QSlider::valueChanged, this, [this, row](int value) { WriteValue(row, value); });
        if (row.autoBox)
            connect(row.autoBox, &QCheckBox::toggled, this, [this, row](bool on) { WriteAuto(row, on); });
    }
    if (fRows.empty())
        grid->addWidget(new QLabel(QStringLiteral("This camera has no image controls.")), 0, 0);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    fDefaultButton = buttons->addButton(QStringLiteral("Default"), QDialogButtonBox::ResetRole);
    fDefaultButton->setEnabled(!fRows.empty());
    connect(fDefaultButton, &QPushButton::clicked, this, &TImageControlsDialog::RestoreDefaults);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);
    setMinimumWidth(420);
}

QSlider* TImageControlsDialog::Slider(int prop) const
{
    for (const TRow& row : fRows)
        if (row.prop == prop)
            return row.slider;
    return nullptr;
}

QCheckBox* TImageControlsDialog::AutoBox(int prop) const
{
    for (const TRow& row : fRows)
        if (row.prop == prop)
            return row.autoBox;
    return nullptr;
}

void TImageControlsDialog::WriteValue(const TRow& row, int value)
{
    // Values between the control's steps are not valid for the camera.
    std::int64_t offset = std::int64_t{value} - row.range.min;
    if (row.range.step > 1)
        offset = offset / row.range.step * row.range.step;
    const auto snapped = static_cast<std::int32_t>(row.range.min + offset);
    row.valueLabel->setText(QString::number(snapped));
    SetVideoPropAmpEx(&fControls, row.prop, VideoProcAmp_Flags_Manual, snapped);
}

void TImageControlsDialog::WriteAuto(const TRow& row, bool automatic)
{
    row.slider->setEnabled(!automatic);
    if (automatic)
        SetVideoPropAmpEx(&fControls, row.prop, VideoProcAmp_Flags_Auto, row.slider->value());
    else
        WriteValue(row, row.slider->value());
}

void TImageControlsDialog::RestoreDefaults()
{
    for (const TRow& row : fRows) {
        if (row.autoBox && row.autoBox->isChecked())
            row.autoBox->setChecked(false); // writes the slider's value as manual
        if (row.slider->value() == row.range.defaultValue)
            WriteValue(row, row.range.defaultValue); // valueChanged would not fire
        else
            row.slider->setValue(row.range.defaultValue);
    }
}

// ---------------------------------------------------------------------------

TCaptureFormatDialog::TCaptureFormatDialog(const QStringList& entries, int current, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Video Format"));
    fList = new QListWidget;
    fList->addItems(entries);
    if (current >= 0 && current < entries.size())
        fList->setCurrentRow(current);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(fList, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fList);
    layout->addWidget(buttons);
}

int TCaptureFormatDialog::SelectedIndex() const
{
    return fList->currentRow();
}
