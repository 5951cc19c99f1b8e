#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class QMimeData;

// A picture for the "Image File" tab that comes some other way than the open
// dialog: a file (scanned as if picked in the dialog), a picture file's bytes
// or a picture without a file (scanned as a pasted picture).
struct TPictureInput {
    enum class TKind { None, File, Data, Picture };
    TKind kind = TKind::None;
    QString file;           // TKind::File: the file's absolute path
    QList<QByteArray> data; // TKind::Data: the offer's picture bytes, one format each, in the order to try
    QImage picture;         // TKind::Picture

    explicit operator bool() const { return kind != TKind::None; }
};

// Whether a drop or the clipboard offers a picture, without reading it: a
// local file among its URLs, picture data, or a text naming an existing file.
bool OffersPictureInput(const QMimeData& data);

// The picture that a drop or the clipboard offers, in this order of choice:
//  1. the first local file among its URLs (a file manager's files, a
//     browser's picture saved as a file); other URLs are passed over;
//  2. picture data: the bytes of its picture formats that a reader of Qt's
//     knows, to be read by the decoder process in turn (a screenshot tool's
//     copy, a browser's picture); only without them the picture Qt holds;
//  3. a text of one line that names an existing file, as an absolute path or
//     a file: URI.
// Nothing when it offers none of them. Nothing here reads a picture's bytes.
TPictureInput PictureInputFromMime(const QMimeData& data);

// Where a picture without a file came from; the text stands in the path field.
enum class TPictureSource { Clipboard, Drop, Screen };
QString PictureSourceText(TPictureSource source);
// Its name where a code read from it is kept, the same in every language:
// "Clipboard", "Drop", "Screen".
QString PictureSourceName(TPictureSource source);

// The picture file named on the command line, as QCoreApplication::arguments()
// gives them once Qt has taken its own options: the program's name first,
// then the first argument that is not an option ("--" ends the options), as
// an absolute path; a file: URI gives its local file. Nothing when there is
// no such argument.
std::optional<QString> PictureFileArgument(const QStringList& arguments);

// The first option among the same arguments that the program does not know
// (any argument before "--" that starts with "-", "-" alone included: Qt has
// taken its own by then, and --help and --version are answered before);
// nothing when there is none.
std::optional<QString> UnknownOption(const QStringList& arguments);

// The same for the arguments as main() receives them, before Qt has seen
// them (and before it needs a display): the options Qt takes
// (QGuiApplication's and QApplication's, "-platform offscreen", "--style=x",
// "-reverse", ...) and their values are passed over.
std::optional<QString> UnknownOptionBeforeQt(const QStringList& arguments);
