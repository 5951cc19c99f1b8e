#include "app/widgets/ElidedLabel.h"

#include <QEvent>
#include <QFontMetrics>

namespace {

// Room for the label part and a few characters of the value, whatever the value.
constexpr int kShortestValue = 8;

} // namespace

TElidedLabel::TElidedLabel(QWidget* parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText); // the value comes from a code
    setWordWrap(false);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void TElidedLabel::SetSummary(const TCodeSummary& summary)
{
    fSummary = summary;
    // A tooltip is rich text when it looks like it; the value is escaped so
    // that it never is.
    setToolTip(summary.Text().isEmpty()
                   ? QString()
                   : QStringLiteral("<p>") + summary.Text().toHtmlEscaped() + QStringLiteral("</p>"));
    Elide();
}

QSize TElidedLabel::minimumSizeHint() const
{
    const QFontMetrics metrics(font());
    const QMargins margins = contentsMargins();
    return {metrics.horizontalAdvance(fSummary.label + u' ') + metrics.averageCharWidth() * kShortestValue
                + margins.left() + margins.right(),
            metrics.height() + margins.top() + margins.bottom()};
}

QSize TElidedLabel::sizeHint() const
{
    return minimumSizeHint();
}

void TElidedLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    Elide();
}

void TElidedLabel::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        Elide();
}

void TElidedLabel::Elide()
{
    if (fSummary.label.isEmpty()) {
        setText(QString());
        return;
    }
    const QFontMetrics metrics(font());
    const QString label = fSummary.label + u' ';
    const int room = contentsRect().width() - metrics.horizontalAdvance(label);
    const Qt::TextElideMode mode = fSummary.elision == TSummaryElision::KeepEnd ? Qt::ElideLeft : Qt::ElideRight;
    // One line, whatever breaks the value holds.
    QString value = fSummary.value;
    for (QChar& c : value)
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = u' ';
    setText(label + metrics.elidedText(value, mode, qMax(room, 0)));
}
