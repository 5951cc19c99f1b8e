#include "app/widgets/HistoryTab.h"

#include "app/HistoryBrowser.h"
#include "app/HistoryModel.h"
#include "app/widgets/ErrorHandler.h"
#include "app/widgets/FormParts.h"
#include "localization/FormatPattern.h"
#include "localization/LanguageFiles.h"

#include <QAction>
#include <QClipboard>
#include <QColor>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QColor kLime(0, 255, 0); // the result panes' ground
constexpr int kPaneHeight = 89;
const QString kCsvFilter = QStringLiteral("CSV (*.csv)");
const QString kJsonLinesFilter = QStringLiteral("JSON Lines (*.jsonl)");

std::optional<QString> PlatformExportDialog(QWidget* parent, const QString& title, const QString& suggested,
                                            const QString& filter)
{
    QString chosenFilter;
    const QString file = QFileDialog::getSaveFileName(parent, title, suggested, filter, &chosenFilter);
    if (file.isEmpty())
        return std::nullopt;
    const THistoryExportFormat kind =
        chosenFilter == kJsonLinesFilter ? THistoryExportFormat::JsonLines : THistoryExportFormat::Csv;
    return ExportFileName(file, kind);
}

} // namespace

void TSummaryDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    const QString label = index.data(THistoryModel::kLabelRole).toString();
    const QString value = index.data(THistoryModel::kValueRole).toString();
    const auto elision = TSummaryElision(index.data(THistoryModel::kElisionRole).toInt());
    // The room the style leaves the text, as QCommonStyle lays it out.
    const int margins = 2 * 4;
    const QString shownLabel = label.isEmpty() ? QString() : label + u' ';
    const int room = option->rect.width() - margins - option->fontMetrics.horizontalAdvance(shownLabel);
    const Qt::TextElideMode mode = elision == TSummaryElision::KeepEnd ? Qt::ElideLeft : Qt::ElideRight;
    option->text = shownLabel + option->fontMetrics.elidedText(value, mode, std::max(room, 0));
}

THistoryTab::THistoryTab(THistoryBrowser& browser, QStatusBar* statusBar, QWidget* parent)
    : QWidget(parent)
    , fBrowser(browser)
    , fStatusBar(statusBar)
{
    Search = new QLineEdit;
    Search->setObjectName(QStringLiteral("HistorySearch"));
    Search->setPlaceholderText(QStringLiteral("Search"));
    Search->setClearButtonEnabled(true);
    Formats = new QComboBox;
    Formats->setObjectName(QStringLiteral("HistoryFormats"));
    Formats->addItem(QStringLiteral("All"), QString());
    Formats->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    auto* top = new QWidget;
    auto* topLayout = new QHBoxLayout(top);
    topLayout->setContentsMargins(3, 2, 3, 2);
    topLayout->setSpacing(3);
    topLayout->addWidget(Search, 1);
    topLayout->addWidget(Formats);

    Notice = new QLabel;
    Notice->setObjectName(QStringLiteral("HistoryNotice"));
    Notice->setTextFormat(Qt::PlainText); // it may name a file
    Notice->setWordWrap(true);
    Notice->setContentsMargins(3, 2, 3, 2);
    Notice->hide();

    List = new QTreeView;
    List->setObjectName(QStringLiteral("HistoryList"));
    List->setModel(&fBrowser.Model());
    List->setRootIsDecorated(false);
    List->setItemsExpandable(false);
    List->setUniformRowHeights(true); // the view measures no row it does not show
    List->setAllColumnsShowFocus(true);
    List->setSelectionBehavior(QAbstractItemView::SelectRows);
    List->setSelectionMode(QAbstractItemView::ExtendedSelection);
    List->setEditTriggers(QAbstractItemView::NoEditTriggers);
    List->setItemDelegateForColumn(THistoryModel::SummaryColumn, new TSummaryDelegate(List));
    List->setTextElideMode(Qt::ElideRight);
    const QFontMetrics metrics(List->font());
    List->header()->setStretchLastSection(true);
    // Fixed widths: measuring every row would cost the time of the rows.
    const QString longTime =
        QLocale().toString(QDateTime(QDate(2026, 12, 28), QTime(23, 58, 58)), QLocale::ShortFormat);
    List->header()->resizeSection(THistoryModel::TimeColumn, metrics.horizontalAdvance(longTime) + 24);
    List->header()->resizeSection(THistoryModel::FormatColumn,
                                  metrics.horizontalAdvance(QStringLiteral("RSS_EXPANDED")) + 24);

    Text = new QPlainTextEdit;
    Text->setObjectName(QStringLiteral("HistoryText"));
    Text->setReadOnly(true);
    Text->setFont(Tahoma(16));
    Text->setFixedHeight(kPaneHeight);
    SetBackground(Text, kLime);
    Text->hide();

    Actions = new TActionRow;
    Actions->setObjectName(QStringLiteral("ActionRow3"));
    connect(Actions, &TActionRow::StatusMessage, this, [this](const QString& text) {
        if (fStatusBar)
            fStatusBar->showMessage(text, kStatusNoteMs);
    });

    CopyButton = new QPushButton(QStringLiteral("&Copy"));
    CopyButton->setObjectName(QStringLiteral("HistoryCopy"));
    DeleteButton = new QPushButton(QStringLiteral("&Delete"));
    DeleteButton->setObjectName(QStringLiteral("HistoryDelete"));
    ClearButton = new QPushButton(QStringLiteral("C&lear History..."));
    ClearButton->setObjectName(QStringLiteral("HistoryClear"));
    ExportButton = new QPushButton(QStringLiteral("E&xport..."));
    ExportButton->setObjectName(QStringLiteral("HistoryExport"));
    auto* buttons = new QWidget;
    auto* buttonLayout = new QHBoxLayout(buttons);
    buttonLayout->setContentsMargins(3, 3, 3, 3);
    buttonLayout->addWidget(CopyButton);
    buttonLayout->addWidget(DeleteButton);
    buttonLayout->addStretch(1);
    buttonLayout->addWidget(ClearButton);
    buttonLayout->addWidget(ExportButton);

    QVBoxLayout* layout = TabLayout(this);
    layout->addWidget(top);
    layout->addWidget(Notice);
    layout->addWidget(List, 1);
    layout->addWidget(Text);
    layout->addWidget(Actions);
    layout->addWidget(buttons);

    // The keyboard's road through the tab, from the search down.
    setTabOrder(Search, Formats);
    setTabOrder(Formats, List);
    setTabOrder(List, Text);
    QWidget* last = Text;
    for (QPushButton* action : Actions->findChildren<QPushButton*>()) {
        setTabOrder(last, action); // the row's buttons, those shown
        last = action;
    }
    setTabOrder(last, CopyButton);
    setTabOrder(CopyButton, DeleteButton);
    setTabOrder(DeleteButton, ClearButton);
    setTabOrder(ClearButton, ExportButton);

    // Delete in the list deletes the selected entries (in the search box it
    // deletes a character); Ctrl+F anywhere in the window, while the tab
    // shows, goes to the search.
    auto* deleteKey = new QAction(List);
    deleteKey->setObjectName(QStringLiteral("HistoryDeleteKey"));
    deleteKey->setShortcut(QKeySequence::Delete);
    deleteKey->setShortcutContext(Qt::WidgetShortcut);
    List->addAction(deleteKey);
    auto* findKey = new QAction(this);
    findKey->setObjectName(QStringLiteral("HistoryFindKey"));
    findKey->setShortcut(QKeySequence::Find);
    findKey->setShortcutContext(Qt::WindowShortcut);
    addAction(findKey);
    connect(findKey, &QAction::triggered, this, [this] {
        Search->setFocus(Qt::ShortcutFocusReason);
        Search->selectAll();
    });

    const auto bind = [this](auto* sender, auto signal, void (THistoryTab::*handler)()) {
        connect(sender, signal, this, [this, handler] { RunHandler([&] { (this->*handler)(); }); });
    };
    bind(CopyButton, &QPushButton::clicked, &THistoryTab::CopyClick);
    bind(DeleteButton, &QPushButton::clicked, &THistoryTab::DeleteClick);
    bind(deleteKey, &QAction::triggered, &THistoryTab::DeleteClick);
    bind(ClearButton, &QPushButton::clicked, &THistoryTab::ClearClick);
    bind(ExportButton, &QPushButton::clicked, &THistoryTab::ExportClick);
    connect(Search, &QLineEdit::textChanged, this, &THistoryTab::SearchChanged);
    connect(Formats, &QComboBox::currentIndexChanged, this, &THistoryTab::SearchChanged);
    connect(List->selectionModel(), &QItemSelectionModel::selectionChanged, this, &THistoryTab::SelectionChanged);
    connect(List->selectionModel(), &QItemSelectionModel::currentChanged, this, &THistoryTab::SelectionChanged);
    QAbstractItemModel* model = &fBrowser.Model();
    connect(model, &QAbstractItemModel::modelReset, this, &THistoryTab::ListChanged);
    connect(model, &QAbstractItemModel::rowsInserted, this, &THistoryTab::ListChanged);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &THistoryTab::ListChanged);
    connect(&fBrowser, &THistoryBrowser::NoticeChanged, this, &THistoryTab::ShowNotice);
    ShowNotice();
    ListChanged();
}

void THistoryTab::Activated()
{
    fBrowser.Reload();
}

void THistoryTab::ShowNotice()
{
    const QString notice = fBrowser.Notice();
    Notice->setText(notice);
    Notice->setVisible(!notice.isEmpty());
}

void THistoryTab::SearchChanged()
{
    fBrowser.Model().SetFilter(Search->text(), Formats->currentData().toString());
}

void THistoryTab::ListChanged()
{
    // The format choice offers the formats present, and keeps the one chosen.
    const QStringList formats = fBrowser.Model().Formats();
    QStringList offered;
    for (int i = 1; i < Formats->count(); ++i)
        offered.append(Formats->itemData(i).toString());
    // A format chosen stays listed while it filters, even with no entry left.
    const QString chosen = fBrowser.Model().Format();
    QStringList wanted = formats;
    if (!chosen.isEmpty() && !wanted.contains(chosen))
        wanted.append(chosen);
    std::sort(wanted.begin(), wanted.end());
    if (wanted != offered) {
        const QSignalBlocker block(Formats);
        while (Formats->count() > 1)
            Formats->removeItem(1);
        for (const QString& format : std::as_const(wanted))
            Formats->addItem(format, format);
        Formats->setCurrentIndex(std::max(0, Formats->findData(chosen)));
    }
    SelectionChanged();
}

QList<int> THistoryTab::SelectedRows() const
{
    QList<int> rows;
    for (const QModelIndex& index : List->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void THistoryTab::SelectionChanged()
{
    const QList<int> rows = SelectedRows();
    const QModelIndex current = List->selectionModel()->currentIndex();
    // The entry shown: the current one when selected, else the first selected.
    int shown = -1;
    if (current.isValid() && rows.contains(current.row()))
        shown = current.row();
    else if (!rows.isEmpty())
        shown = rows.constFirst();
    DeleteButton->setEnabled(!rows.isEmpty());
    CopyButton->setEnabled(!rows.isEmpty());
    if (shown < 0) {
        Text->clear();
        Text->hide();
        Actions->ShowContent(QString());
        return;
    }
    const QString text = fBrowser.Model().EntryAt(shown).text;
    if (Text->toPlainText() != text)
        Text->setPlainText(text);
    Text->show();
    Actions->ShowContent(text);
}

void THistoryTab::CopyClick()
{
    QStringList texts;
    for (const int row : SelectedRows())
        texts.append(fBrowser.Model().EntryAt(row).text);
    if (!texts.isEmpty())
        QGuiApplication::clipboard()->setText(texts.join(u'\n'));
}

void THistoryTab::DeleteClick()
{
    const QList<int> rows = SelectedRows();
    if (rows.isEmpty())
        return;
    fBrowser.Remove(rows);
    List->setFocus();
}

void THistoryTab::ClearClick()
{
    // No is the default: Enter alone deletes nothing.
    QMessageBox box(QMessageBox::Question, Translate(QStringLiteral("Confirmation")),
                    Translate(QStringLiteral("Delete every entry of the history? This cannot be undone.")),
                    QMessageBox::Yes | QMessageBox::No, window());
    box.setTextFormat(Qt::PlainText);
    box.button(QMessageBox::Yes)->setText(Translate(QStringLiteral("Yes")));
    box.button(QMessageBox::No)->setText(Translate(QStringLiteral("No")));
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    if (box.exec() != QMessageBox::Yes)
        return;
    fBrowser.Clear();
}

void THistoryTab::ExportClick()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    const TSaveFileDialog dialog = saveFileDialog ? saveFileDialog : PlatformExportDialog;
    const std::optional<QString> file = dialog(window(), Translate(QStringLiteral("Export History")),
                                               QDir(folder).filePath(QStringLiteral("lantrix-history.csv")),
                                               kCsvFilter + QStringLiteral(";;") + kJsonLinesFilter);
    if (!file)
        return;
    fBrowser.Export(*file);
    if (fStatusBar)
        fStatusBar->showMessage(
            FormatTranslated(QStringLiteral("The entries shown were exported to %s."), QDir::toNativeSeparators(*file)),
            kStatusNoteMs);
}
