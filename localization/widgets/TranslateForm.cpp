#include "localization/widgets/TranslateForm.h"
#include "platform/WebHost.h"

#include "localization/LanguageFiles.h"
#include "localization/LanguageWindow.h"
#include "localization/RestartScript.h"
#include "localization/widgets/CaptionedMessageDlg.h"
#include "localization/widgets/FocusRing.h"
#include "localization/widgets/GuardedHandler.h"
#include "localization/widgets/LinkLabel.h"
#include "localization/widgets/ModalWindow.h"
#include "localization/widgets/WindowLook.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStylePainter>
#include <QStyledItemDelegate>

#include <exception>

TTranslateForm* TranslateForm = nullptr;

// The pictures are compiled into this static library; their registration
// must be asked for. Asking again is harmless: Qt keeps each resource once.
static void InitLocalizationResources()
{
    Q_INIT_RESOURCE(localization);
}

namespace {

constexpr int kFlagSize = 16;
constexpr int kItemHeight = 18;
constexpr QSize kClientSize(622, 227);
constexpr int kBarHeight = 39;

QIcon Picture(const QString& name)
{
    InitLocalizationResources();
    return QIcon(QStringLiteral(":/localization/%1.svg").arg(name));
}

// Flag at the top-left corner of `rect`, the text beside it, its top at the
// rectangle's top.
void DrawEntry(QPainter* painter, const QRect& rect, const QString& text, const QString& flagName,
               const QPalette& palette, bool selected)
{
    painter->save();
    if (selected)
        painter->fillRect(rect, palette.brush(QPalette::Highlight));
    FlagPicture(flagName).paint(painter, QRect(rect.topLeft(), QSize(kFlagSize, kFlagSize)));
    painter->setPen(palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    const QRect textRect(rect.left() + kFlagSize + 2, rect.top(), rect.width() - kFlagSize - 2, rect.height());
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
    painter->restore();
}

class TFlagItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        painter->setFont(option.font);
        DrawEntry(painter, option.rect, index.data(Qt::DisplayRole).toString(),
                  index.data(TLanguageComboBox::kFlagRole).toString(), option.palette,
                  option.state & QStyle::State_Selected);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return QSize(QStyledItemDelegate::sizeHint(option, index).width() + kFlagSize, kItemHeight);
    }
};

} // namespace

QIcon FlagPicture(const QString& flagName)
{
    return Picture(QStringLiteral("flags/") + flagName);
}

// ---- The language list -----------------------------------------------------

TLanguageComboBox::TLanguageComboBox(QWidget* parent)
    : QComboBox(parent)
{
    setItemDelegate(new TFlagItemDelegate(this));
}

void TLanguageComboBox::AddEntry(const QString& entry)
{
    addItem(entry);
    setItemData(count() - 1, FlagImageName(entry), kFlagRole);
}

void TLanguageComboBox::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText.clear();
    option.currentIcon = QIcon();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    if (currentIndex() < 0)
        return;
    const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    const int top = field.top() + (field.height() - kItemHeight) / 2;
    DrawEntry(&painter, QRect(field.left(), top, field.width(), kItemHeight), currentText(),
              currentData(kFlagRole).toString(), palette(), false);
}

// ---- The window --------------------------------------------------------------

TTranslateForm::TTranslateForm(TTranslateFormEnvironment environment, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , fEnvironment(std::move(environment))
{
    setObjectName(QStringLiteral("TranslateForm"));
    setFont(Tahoma(11));
    setFixedSize(kClientSize);
    const QColor buttonFace = palette().color(QPalette::Button);

    // The labels on the left, each level with its control on the right.
    auto sideLabel = [this](const char* name, int top) {
        QLabel* label = PlainLabel(this, name);
        label->setFont(Tahoma(16));
        label->setGeometry(12, top, 232, 24);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        return label;
    };
    Label1 = sideLabel("Label1", 8);
    Label2 = sideLabel("Label2", 36);

    ComboBox1 = new TLanguageComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setFont(Tahoma(13));
    ComboBox1->setGeometry(255, 8, 355, 24);

    RichEdit1 = new QPlainTextEdit(this);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->setReadOnly(true);
    RichEdit1->setLineWrapMode(QPlainTextEdit::NoWrap);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setTabChangesFocus(true); // Tab goes on to the link and OK
    RichEdit1->setFont(Tahoma(16));
    RichEdit1->setGeometry(255, 36, 355, 147);
    SetBackgroundColour(RichEdit1, buttonFace);

    Panel2 = new QFrame(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFrameShape(QFrame::HLine);
    Panel2->setFrameShadow(QFrame::Plain);
    Panel2->setGeometry(0, kClientSize.height() - kBarHeight - 1, kClientSize.width(), 1);

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(0, kClientSize.height() - kBarHeight, kClientSize.width(), kBarHeight);

    Label3 = new TLinkLabel(QStringLiteral("Contribute to Translation"), TranslationPageAddress(MakerWebHost()), 16,
                            Qt::blue, Panel1);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setGeometry(12, 0, 400, kBarHeight);
    Label3->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    Button1 = new QPushButton(Picture(QStringLiteral("tick_button")), QStringLiteral("OK"), Panel1);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setFont(Tahoma(16));
    Button1->setIconSize(QSize(24, 24));
    Button1->setGeometry(kClientSize.width() - 172 - 8, 4, 172, kBarHeight - 8);
    Button1->setDefault(true);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    Copy1 = PopupMenu1->addAction(Picture(QStringLiteral("copy")), QStringLiteral("Copy"));
    Copy1->setObjectName(QStringLiteral("Copy1"));
    SelectAll1 = PopupMenu1->addAction(QStringLiteral("Select All"));
    SelectAll1->setObjectName(QStringLiteral("SelectAll1"));
    RichEdit1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(RichEdit1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu1->popup(RichEdit1->viewport()->mapToGlobal(at)); });

    FormCreate();
    TFocusRing::Attach(this);

    connect(ComboBox1, &QComboBox::currentIndexChanged, this, [this] { Guarded([this] { ComboBox1Change(); }); });
    connect(Button1, &QPushButton::clicked, this, [this] { Guarded([this] { Button1Click(); }); });
    connect(Copy1, &QAction::triggered, this, [this] { Copy1Click(); });
    connect(SelectAll1, &QAction::triggered, this, [this] { SelectAll1Click(); });
}

TTranslateForm::~TTranslateForm()
{
    if (TranslateForm == this)
        TranslateForm = nullptr;
}

void TTranslateForm::Execute(TTranslateFormEnvironment environment, QWidget* owner)
{
    ExecuteAsCurrent(TranslateForm, std::move(environment), owner);
}

void TTranslateForm::FormCreate()
{
    setWindowTitle(Translate(QStringLiteral("Language")));
    Label1->setText(Translate(QStringLiteral("User Interface Language:")));
    Label2->setText(Translate(QStringLiteral("Translated by:")));
    Button1->setText(Translate(QStringLiteral("OK")));
    Label3->setText(Translate(QStringLiteral("Contribute to Translation")));
    Copy1->setText(Translate(QStringLiteral("Copy")));
    SelectAll1->setText(Translate(QStringLiteral("Select All")));

    for (const QString& entry : LanguageEntries(LanguageFiles))
        ComboBox1->AddEntry(entry);
    // With no language loaded, "English" (the first one) stays selected.
    const int loaded = CurrentLanguage.isEmpty()
                           ? -1
                           : ComboBox1->findText(CurrentLanguage, Qt::MatchExactly | Qt::MatchCaseSensitive);
    ComboBox1->setCurrentIndex(
        loaded >= 0 ? loaded
                    : ComboBox1->findText(QLatin1String(kEnglishEntry), Qt::MatchExactly | Qt::MatchCaseSensitive));
    ComboBox1Change();
    InitialLanguage = ComboBox1->currentText();
}

void TTranslateForm::ComboBox1Change()
{
    const QStringList lines = TranslatorLines(TranslatorText(ComboBox1->currentText(), LanguageFolder));
    RichEdit1->clear();
    if (!lines.isEmpty())
        RichEdit1->setPlainText(lines.join(QLatin1Char('\n')));
}

void TTranslateForm::Button1Click()
{
    const QString selected = ComboBox1->currentText();
    if (selected == InitialLanguage) {
        close();
        return;
    }
    if (!ConfirmRestart(this))
        return;
    if (fEnvironment.setLanguageFile)
        fEnvironment.setLanguageFile(selected + QStringLiteral(".lang.txt"));
    QCoreApplication::processEvents();
    WriteRestartScript(fEnvironment.dataFolder, fEnvironment.executableFile);
    QCoreApplication::processEvents();
    if (fEnvironment.startRestartScript)
        fEnvironment.startRestartScript(fEnvironment.dataFolder);
    else
        StartRestartScript(fEnvironment.dataFolder);
    QCoreApplication::processEvents();
    if (fEnvironment.terminate)
        fEnvironment.terminate();
    else
        QCoreApplication::quit();
}

void TTranslateForm::Copy1Click()
{
    if (RichEdit1->textCursor().hasSelection())
        RichEdit1->copy();
}

void TTranslateForm::SelectAll1Click()
{
    RichEdit1->selectAll();
}

void TTranslateForm::Guarded(const std::function<void()>& handler)
{
    RunGuarded(handler, fEnvironment.showError, this);
}
