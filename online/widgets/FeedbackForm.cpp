#include "online/widgets/FeedbackForm.h"

#include "localization/LanguageFiles.h"
#include "localization/widgets/CaptionedMessageDlg.h"
#include "localization/widgets/GuardedHandler.h"
#include "localization/widgets/ModalWindow.h"
#include "localization/widgets/WindowLook.h"
#include "online/Feedback.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>

#include <algorithm>

TFeedbackForm* FeedbackForm = nullptr;

// The pictures are compiled into this static library; their registration
// must be asked for. Asking again is harmless: Qt keeps each resource once.
static void InitOnlineResources()
{
    Q_INIT_RESOURCE(online);
}

namespace {

constexpr QSize kClientSize(525, 326);
constexpr int kChoiceHeight = 46;
constexpr int kDislikeWidth = 256;
constexpr int kLabel1Height = 24;
constexpr int kLabel2Height = 20;
constexpr int kEmailBarHeight = 30;
constexpr int kButtonBarHeight = 39;
constexpr int kMaxMessageLength = 10000;
constexpr int kMaxEmailLength = 100;

const char* const kLikeText = "I like it!";
const char* const kDislikeText = "I dislike it!";

QIcon Picture(const QString& name)
{
    InitOnlineResources();
    return QIcon(QStringLiteral(":/online/%1.svg").arg(name));
}

// Sets the application cursor to the busy arrow for as long as it exists.
class TBusyCursor {
public:
    TBusyCursor() { QApplication::setOverrideCursor(Qt::BusyCursor); }
    ~TBusyCursor() { QApplication::restoreOverrideCursor(); }
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;
};

} // namespace

// ---- The choice panels -------------------------------------------------------

TChoicePanel::TChoicePanel(const QString& pictureName, QWidget* parent)
    : QFrame(parent)
{
    setFrameShape(QFrame::Panel);
    setLineWidth(1);
    setAutoFillBackground(true);
    setCursor(Qt::PointingHandCursor);
    setFont(Tahoma(16));

    Image = PlainLabel(this, "");
    Image->setPixmap(Picture(pictureName).pixmap(QSize(32, 32)));
    Image->setScaledContents(true);
    Image->setGeometry(8, (kChoiceHeight - 32) / 2, 32, 32);
    Image->setAttribute(Qt::WA_TranslucentBackground);

    fCaption = PlainLabel(this, "Caption");
    fCaption->setAlignment(Qt::AlignCenter);
    SetChosen(false);
}

QString TChoicePanel::Caption() const
{
    return fCaption->text();
}

void TChoicePanel::SetCaption(const QString& caption)
{
    fCaption->setText(caption);
}

void TChoicePanel::SetChosen(bool chosen)
{
    const QPalette standard = QApplication::palette();
    SetBackgroundColour(this, standard.color(chosen ? QPalette::Highlight : QPalette::Button));
    SetTextColour(this, standard.color(chosen ? QPalette::HighlightedText : QPalette::WindowText));
    SetTextColour(fCaption, standard.color(chosen ? QPalette::HighlightedText : QPalette::WindowText));
    setFrameShadow(chosen ? QFrame::Sunken : QFrame::Raised);
}

bool TChoicePanel::IsChosen() const
{
    return palette().color(QPalette::Window) != QApplication::palette().color(QPalette::Button);
}

void TChoicePanel::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit clicked();
    QFrame::mousePressEvent(event);
}

// ---- The window --------------------------------------------------------------

TFeedbackForm::TFeedbackForm(TFeedbackFormEnvironment environment, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , fEnvironment(std::move(environment))
{
    setObjectName(QStringLiteral("FeedbackForm"));
    setFont(Tahoma(11));
    setFixedSize(kClientSize);
    const int width = kClientSize.width();

    Panel3 = new QFrame(this);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel3->setGeometry(0, 0, width, kChoiceHeight);
    Panel4 = new TChoicePanel(QStringLiteral("like"), Panel3);
    Panel4->setObjectName(QStringLiteral("Panel4"));
    Panel4->setGeometry(0, 0, width - kDislikeWidth, kChoiceHeight);
    Panel4->SetCaption(QLatin1String(kLikeText));
    Image1 = Panel4->Image;
    Image1->setObjectName(QStringLiteral("Image1"));
    Panel5 = new TChoicePanel(QStringLiteral("dislike"), Panel3);
    Panel5->setObjectName(QStringLiteral("Panel5"));
    Panel5->setGeometry(width - kDislikeWidth, 0, kDislikeWidth, kChoiceHeight);
    Panel5->SetCaption(QLatin1String(kDislikeText));
    Image2 = Panel5->Image;
    Image2->setObjectName(QStringLiteral("Image2"));
    for (TChoicePanel* panel : {Panel4, Panel5}) {
        auto* caption = panel->findChild<QLabel*>(QStringLiteral("Caption"));
        caption->setGeometry(44, 0, panel->width() - 48, kChoiceHeight);
    }

    int top = kChoiceHeight;
    Label1 = PlainLabel(this, "Label1");
    Label1->setFont(Tahoma(16));
    Label1->setGeometry(4, top, width - 8, kLabel1Height);
    Label1->setText(QStringLiteral("We would really appreciate your feedback."));
    top += kLabel1Height;
    Label2 = PlainLabel(this, "Label2");
    QFont bold = Tahoma(13);
    bold.setBold(true);
    Label2->setFont(bold);
    Label2->setGeometry(4, top, width - 8, kLabel2Height);
    Label2->setText(QStringLiteral("What did you like or dislike?"));
    top += kLabel2Height;

    const int emailTop = kClientSize.height() - kButtonBarHeight - kEmailBarHeight;
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setGeometry(0, top, width, emailTop - top);
    connect(Memo1, &QPlainTextEdit::textChanged, this, [this] {
        // At most kMaxMessageLength characters: what goes over is cut off.
        const QString text = Memo1->toPlainText();
        if (text.size() <= kMaxMessageLength)
            return;
        QTextCursor cursor = Memo1->textCursor();
        const int position = cursor.position();
        Memo1->setPlainText(text.left(kMaxMessageLength));
        cursor = Memo1->textCursor();
        cursor.setPosition(std::min(position, kMaxMessageLength));
        Memo1->setTextCursor(cursor);
    });

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(0, emailTop, width, kEmailBarHeight);
    Label3 = PlainLabel(Panel1, "Label3");
    Label3->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Label3->setText(QStringLiteral("Include my e-mail:"));
    Edit1 = new QLineEdit(Panel1);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setMaxLength(kMaxEmailLength);

    Panel2 = new QFrame(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setGeometry(0, kClientSize.height() - kButtonBarHeight, width, kButtonBarHeight);
    BitBtn1 = new QPushButton(Picture(QStringLiteral("feedback")), QStringLiteral("Send"), Panel2);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setFont(Tahoma(16));
    BitBtn1->setIconSize(QSize(24, 24));
    BitBtn1->setGeometry(width - 172 - 4, (kButtonBarHeight - 33) / 2, 172, 33);
    BitBtn1->setAutoDefault(false); // Enter in the e-mail field does not send

    FormCreate();

    // Label3 as wide as its (translated) text, the e-mail field the rest.
    const int labelWidth = Label3->sizeHint().width();
    Label3->setGeometry(4, 0, labelWidth, kEmailBarHeight);
    Edit1->setGeometry(labelWidth + 8, 4, width - labelWidth - 12, kEmailBarHeight - 8);

    setTabOrder(Memo1, Edit1);
    setTabOrder(Edit1, BitBtn1);
    Memo1->setFocus();

    Memo1->installEventFilter(this);
    Edit1->installEventFilter(this);
    BitBtn1->installEventFilter(this);

    connect(Panel4, &TChoicePanel::clicked, this, [this] { Guarded([this] { Image1Click(); }); });
    connect(Panel5, &TChoicePanel::clicked, this, [this] { Guarded([this] { Image2Click(); }); });
    connect(BitBtn1, &QPushButton::clicked, this, [this] { Guarded([this] { BitBtn1Click(); }); });
}

TFeedbackForm::~TFeedbackForm()
{
    if (FeedbackForm == this)
        FeedbackForm = nullptr;
}

void TFeedbackForm::Execute(TFeedbackFormEnvironment environment, QWidget* owner)
{
    ExecuteAsCurrent(FeedbackForm, std::move(environment), owner);
}

void TFeedbackForm::FormCreate()
{
    setWindowTitle(fEnvironment.appProductName + QLatin1Char(' ') + Translate(QStringLiteral("feedback")));
    Label1->setText(Translate(Label1->text()));
    Label2->setText(Translate(Label2->text()));
    Label3->setText(Translate(Label3->text()));
    BitBtn1->setText(Translate(BitBtn1->text()));
    Panel4->SetCaption(Translate(Panel4->Caption()));
    Panel5->SetCaption(Translate(Panel5->Caption()));
}

void TFeedbackForm::Image1Click()
{
    if (!Panel4->IsChosen())
        Panel4->SetChosen(true);
    if (Panel5->IsChosen())
        Panel5->SetChosen(false);
}

void TFeedbackForm::Image2Click()
{
    if (!Panel5->IsChosen())
        Panel5->SetChosen(true);
    if (Panel4->IsChosen())
        Panel4->SetChosen(false);
}

void TFeedbackForm::BitBtn1Click()
{
    const QString likeLabel = FeedbackLabel(QLatin1String(kLikeText), Panel4->Caption());
    const QString dislikeLabel = FeedbackLabel(QLatin1String(kDislikeText), Panel5->Caption());
    const QString message = FeedbackMessage(Memo1->toPlainText());
    const TFeedbackChoice choice = Panel4->IsChosen()   ? TFeedbackChoice::Like
                                   : Panel5->IsChosen() ? TFeedbackChoice::Dislike
                                                        : TFeedbackChoice::None;
    const QString feedback = FeedbackText(choice, likeLabel, dislikeLabel, message);

    if (message.isEmpty()) {
        Memo1->setFocus();
        if (fEnvironment.beep)
            fEnvironment.beep();
        else
            QApplication::beep();
        return;
    }

    const QString email = Edit1->text().trimmed();
    if (!email.isEmpty() && !IsValidFeedbackEmail(email)) {
        Edit1->setFocus();
        CaptionedMessageDlg(Translate(QStringLiteral("Invalid e-mail address!")), TMsgDlgType::mtError,
                            {TMsgDlgBtn::mbOK}, Translate(QStringLiteral("Failure")), {}, this);
        return;
    }

    bool received = false;
    try {
        const FormFields fields = FeedbackFields(fEnvironment.appCaption, fEnvironment.appVersion, feedback, email);
        QString reply;
        {
            TBusyCursor busy;
            try {
                reply = fEnvironment.post ? fEnvironment.post(fEnvironment.serverAddress, fields, kFeedbackTimeoutMs)
                                          : PostToServer(fEnvironment.serverAddress, fields, kFeedbackTimeoutMs);
            } catch (...) {
                reply.clear();
            }
        }
        received = IsFeedbackReceived(reply);
    } catch (...) {
        received = false;
    }

    if (received) {
        CaptionedMessageDlg(Translate(QStringLiteral("Your feedback is received.")) + QStringLiteral("\n\n")
                                + Translate(QStringLiteral("Thank you!")),
                            TMsgDlgType::mtInformation, {TMsgDlgBtn::mbOK}, Translate(QStringLiteral("Success")), {},
                            this);
        close();
        return;
    }
    CaptionedMessageDlg(Translate(QStringLiteral("Something went wrong. Your feedback could not be delivered."))
                            + QStringLiteral("\n\n") + Translate(QStringLiteral("Please try again later.")),
                        TMsgDlgType::mtError, {TMsgDlgBtn::mbOK}, Translate(QStringLiteral("Failure")), {}, this);
}

// Escape in the memo, the e-mail field or on the Send button closes the
// window; the e-mail field swallows it.
bool TFeedbackForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape
        && (watched == Memo1 || watched == Edit1 || watched == BitBtn1)) {
        close();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TFeedbackForm::Guarded(const std::function<void()>& handler)
{
    RunGuarded(handler, fEnvironment.showError, this);
}
