// The "History" tab: the search (a text and a format), the list of entries,
// the selected entry's full text in a result pane with its row of actions,
// and Copy, Delete, "Clear History..." and "Export...". The tab only shows
// and forwards: THistoryBrowser keeps the entries and does the work.
#pragma once

#include "app/widgets/ActionRow.h"

#include <QStyledItemDelegate>
#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QTreeView;
class THistoryBrowser;

// The list's summary column: its label always shows, and its value gives
// way at the end THistoryModel::kElisionRole names, as the action row's
// summary does.
class TSummaryDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

class THistoryTab : public QWidget {
    Q_OBJECT
public:
    // `browser` outlives the tab; its notes go to `statusBar`.
    THistoryTab(THistoryBrowser& browser, QStatusBar* statusBar, QWidget* parent = nullptr);

    // The tab is shown: the list is read again.
    void Activated();

    // The export's save dialog; tests answer it themselves. Empty: the
    // platform's, which adds the chosen filter's suffix to a name without one.
    TSaveFileDialog saveFileDialog;

    QLineEdit* Search = nullptr;
    QComboBox* Formats = nullptr; // "All", then the formats of the entries
    QLabel* Notice = nullptr;     // that history is off, or what happened to it; hidden while empty
    QTreeView* List = nullptr;
    QPlainTextEdit* Text = nullptr; // the selected entry's full text
    TActionRow* Actions = nullptr;
    QPushButton* CopyButton = nullptr;
    QPushButton* DeleteButton = nullptr;
    QPushButton* ClearButton = nullptr;
    QPushButton* ExportButton = nullptr;

    // The buttons' handlers.
    void CopyClick();
    void DeleteClick();
    void ClearClick();
    void ExportClick();

private:
    void SearchChanged();
    void SelectionChanged();
    void ListChanged();
    void ShowNotice();
    QList<int> SelectedRows() const;

    THistoryBrowser& fBrowser;
    QStatusBar* fStatusBar;
};
