#pragma once
// A one-line label for a text from outside that may be of any length: a
// label part that always shows ("Link to:") and a value that gives way when
// the row is narrow, at the end the caller chooses. Its size hints never
// depend on the value, so no text makes the window wider; the whole text is
// its tooltip. Plain text only.

#include "app/CodeActions.h"

#include <QLabel>

class TElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit TElidedLabel(QWidget* parent = nullptr);

    void SetSummary(const TCodeSummary& summary);
    // The whole text, as the tooltip gives it.
    QString FullText() const { return fSummary.Text(); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void Elide();

    TCodeSummary fSummary;
};
