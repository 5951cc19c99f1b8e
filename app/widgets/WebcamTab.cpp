#include "app/widgets/WebcamTab.h"

#include "app/AccessKeys.h"
#include "app/StatusHints.h"
#include "app/widgets/ActionRow.h"
#include "app/widgets/ErrorHandler.h"
#include "app/widgets/FormParts.h"
#include "app/widgets/PictureBox.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>

TWebcamTabView::TWebcamTabView(const TWebcamTabControls& controls)
    : fControls(controls)
    , fButtonGate(new TInputGate(controls.button))
{
    fControls.button->installEventFilter(fButtonGate);
}

void TWebcamTabView::ShowDevices(const QStringList& devices)
{
    fControls.devices->clear();
    fControls.devices->addItems(devices);
    if (fControls.devices->count() > 0)
        fControls.devices->setCurrentIndex(0);
}

void TWebcamTabView::SelectDevice(const QString& name)
{
    const int index = fControls.devices->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0)
        fControls.devices->setCurrentIndex(index);
}

void TWebcamTabView::SetDeviceListNotice(const QString& notice)
{
    fControls.devices->setPlaceholderText(notice); // shown while nothing is selected
}

int TWebcamTabView::DeviceCount() const
{
    return fControls.devices->count();
}

QString TWebcamTabView::SelectedDevice() const
{
    return fControls.devices->currentText();
}

QString TWebcamTabView::ButtonCaption() const
{
    return WithoutAccessKey(fControls.button->text());
}

void TWebcamTabView::SetButtonCaption(const QString& caption)
{
    fControls.button->setText(caption);
}

void TWebcamTabView::SetButtonEnabled(bool enabled)
{
    fControls.button->setEnabled(enabled);
}

void TWebcamTabView::DropQueuedButtonInput()
{
    // Clicks that waited while the start ran were made on "Start": taken now,
    // they would stop a capture the user has not seen start. From here on the
    // button shows "STOP", and a click is a STOP the user sees.
    fButtonGate->fClosed = true;
    QCoreApplication::processEvents();
    fButtonGate->fClosed = false;
}

void TWebcamTabView::ShowFrame(const QImage& frame)
{
    fControls.frame->SetPicture(frame);
}

void TWebcamTabView::ClearFrame()
{
    fControls.frame->Clear();
}

void TWebcamTabView::ShowDecodedText(const QString& text)
{
    if (fControls.text->isHidden())
        fControls.text->show();
    fControls.text->setPlainText(text);
    fControls.actions->ShowContent(text);
}

void TWebcamTabView::ClearDecodedText()
{
    fControls.text->clear();
    fControls.text->hide();
}

void TWebcamTabView::CodeAppeared(const TDecodedCode& code, const QString& camera)
{
    if (fControls.codeAppeared)
        fControls.codeAppeared(code, camera);
}

void TWebcamTabView::ReportError(const QString& message)
{
    ShowException(message);
}

void TWebcamTabView::ShowStatus(const QString& text)
{
    if (fControls.status)
        fControls.status->showMessage(text, kStatusHintMs);
}
