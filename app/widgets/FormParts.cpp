#include "app/widgets/FormParts.h"

#include "app/AccessKeys.h"
#include "app/PictureInput.h"
#include "app/widgets/ActionRow.h"

#include <QAction>
#include <QColor>
#include <QDropEvent>
#include <QEvent>
#include <QHBoxLayout>
#include <QMenu>
#include <QMimeData>
#include <QPalette>
#include <QPushButton>
#include <QStatusBar>
#include <QStringList>
#include <QVBoxLayout>
#include <QWidget>

namespace {
constexpr int kPanelHeight = 33;
} // namespace

// The pictures are compiled into this static library; their registration
// must be asked for. Asking again is harmless: Qt keeps each resource once.
static void InitResources()
{
    Q_INIT_RESOURCE(lantrix);
}

QIcon ApplicationIcon()
{
    InitResources();
    QIcon icon(QStringLiteral(":/icons/lantrix.svg"));
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/lantrix-%1.png").arg(size), QSize(size, size));
    return icon;
}

QIcon Icon(const char* themeName, const char* ownName)
{
    InitResources();
    return QIcon::fromTheme(QLatin1String(themeName),
                            QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(ownName))));
}

void SetBackground(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, colour);
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
}

QWidget* MakeTopPanel(QWidget* field, QPushButton* button)
{
    auto* panel = new QWidget;
    panel->setFixedHeight(kPanelHeight);
    auto* layout = new QHBoxLayout(panel);
    layout->setContentsMargins(3, 2, 3, 2);
    layout->setSpacing(3);
    field->setFixedHeight(kPanelHeight - 6);
    field->setFont(Tahoma(16));
    button->setFixedSize(100, 29);
    button->setFont(Tahoma(13));
    layout->addWidget(field, 1, Qt::AlignVCenter);
    layout->addWidget(button, 0, Qt::AlignVCenter);
    return panel;
}

QVBoxLayout* TabLayout(QWidget* tab)
{
    auto* layout = new QVBoxLayout(tab);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return layout;
}

TActionRow* AddActionRow(QWidget* tab, const char* name, QStatusBar* statusBar)
{
    auto* row = new TActionRow;
    row->setObjectName(QLatin1String(name));
    tab->layout()->addWidget(row);
    QObject::connect(row, &TActionRow::StatusMessage, statusBar,
                     [statusBar](const QString& text) { statusBar->showMessage(text, kStatusNoteMs); });
    return row;
}

void AssignAccessKeys(const QList<QAction*>& actions)
{
    QList<QAction*> entries;
    QStringList captions;
    for (QAction* action : actions) {
        if (action->isSeparator())
            continue;
        entries.append(action);
        captions.append(action->text());
    }
    const QStringList marked = WithAccessKeys(captions);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        entries[i]->setText(marked[i]);
        if (QMenu* submenu = entries[i]->menu())
            AssignAccessKeys(submenu->actions());
    }
}

bool AcceptPictureOffer(QDropEvent* event)
{
    if (!OffersPictureInput(*event->mimeData())) {
        event->ignore();
        return false;
    }
    if (event->possibleActions() & Qt::CopyAction)
        event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

bool TInputGate::eventFilter(QObject* watched, QEvent* event)
{
    if (fClosed) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease: return true;
        default: break;
        }
    }
    return QObject::eventFilter(watched, event);
}
