#include "app/PictureInput.h"

#include "localization/LanguageFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QMimeData>
#include <QUrl>

namespace {

std::optional<QString> FirstLocalFile(const QMimeData& data)
{
    // A path with a NUL ("%00" in the URL) names no file of this machine.
    for (const QUrl& url : data.urls())
        if (url.isLocalFile() && !url.toLocalFile().isEmpty() && !url.toLocalFile().contains(QChar(0)))
            return QFileInfo(url.toLocalFile()).absoluteFilePath();
    return std::nullopt;
}

// The MIME types of picture data in the offer that a reader of Qt's knows.
QStringList PictureFormats(const QMimeData& data)
{
    const QList<QByteArray> readable = QImageReader::supportedMimeTypes();
    QStringList formats;
    for (const QString& format : data.formats())
        if (readable.contains(format.toLatin1()))
            formats.append(format);
    return formats;
}

std::optional<QString> FileNamedByText(const QMimeData& data)
{
    if (!data.hasText())
        return std::nullopt;
    const QString text = data.text().trimmed();
    if (text.isEmpty() || text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')))
        return std::nullopt;
    QString path;
    if (text.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
        const QUrl url(text);
        if (!url.isValid() || !url.isLocalFile())
            return std::nullopt;
        path = url.toLocalFile();
    } else if (QDir::isAbsolutePath(text)) {
        path = text;
    } else {
        return std::nullopt;
    }
    const QFileInfo file(path);
    if (!file.isFile())
        return std::nullopt;
    return file.absoluteFilePath();
}

} // namespace

bool OffersPictureInput(const QMimeData& data)
{
    return FirstLocalFile(data) || !PictureFormats(data).isEmpty() || data.hasImage() || FileNamedByText(data);
}

TPictureInput PictureInputFromMime(const QMimeData& data)
{
    TPictureInput input;
    if (const std::optional<QString> file = FirstLocalFile(data)) {
        input.kind = TPictureInput::TKind::File;
        input.file = *file;
        return input;
    }

    // The bytes go to the decoder process, with its size limits; the picture
    // that Qt holds (put there by a program of Qt's, this one included) is
    // taken only when there are none.
    for (const QString& format : PictureFormats(data))
        input.data.append(data.data(format));
    if (!input.data.isEmpty()) {
        input.kind = TPictureInput::TKind::Data;
        return input;
    }
    if (data.hasImage()) {
        const QImage picture = qvariant_cast<QImage>(data.imageData());
        if (!picture.isNull()) {
            input.picture = picture;
            input.kind = TPictureInput::TKind::Picture;
            return input;
        }
    }

    if (const std::optional<QString> file = FileNamedByText(data)) {
        input.kind = TPictureInput::TKind::File;
        input.file = *file;
    }
    return input;
}

QString PictureSourceText(TPictureSource source)
{
    switch (source) {
    case TPictureSource::Clipboard: return Translate(QStringLiteral("[Picture from the clipboard]"));
    case TPictureSource::Drop: return Translate(QStringLiteral("[Dropped picture]"));
    case TPictureSource::Screen: return Translate(QStringLiteral("[Screenshot]"));
    }
    return QString();
}

QString PictureSourceName(TPictureSource source)
{
    switch (source) {
    case TPictureSource::Clipboard: return QStringLiteral("Clipboard");
    case TPictureSource::Drop: return QStringLiteral("Drop");
    case TPictureSource::Screen: return QStringLiteral("Screen");
    }
    return QString();
}

std::optional<QString> PictureFileArgument(const QStringList& arguments)
{
    bool options = true;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (options && argument == QLatin1String("--")) {
            options = false;
            continue;
        }
        if (argument.isEmpty() || (options && argument.startsWith(QLatin1Char('-'))))
            continue;
        if (argument.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
            const QUrl url(argument);
            if (url.isLocalFile())
                return QFileInfo(url.toLocalFile()).absoluteFilePath();
        }
        return QFileInfo(argument).absoluteFilePath();
    }
    return std::nullopt;
}

std::optional<QString> UnknownOptionBeforeQt(const QStringList& arguments)
{
    // Qt's options as its documentation lists them, with one dash or two.
    static const QStringList withValue{"platform",      "platformpluginpath",
                                       "platformtheme", "plugin",
                                       "qmljsdebugger", "qwindowgeometry",
                                       "geometry",      "qwindowicon",
                                       "icon",          "qwindowtitle",
                                       "title",         "session",
                                       "display",       "style",
                                       "stylesheet",    "name"};
    static const QStringList flags{"reverse", "widgetcount", "nograb", "dograb", "sync"};
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--"))
            break;
        if (!argument.startsWith(QLatin1Char('-')))
            continue;
        QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
        const bool valueGiven = name.contains(u'=');
        name = name.section(u'=', 0, 0);
        if (withValue.contains(name)) {
            if (!valueGiven)
                ++i; // the value, whatever it looks like
        } else if (!flags.contains(name) || valueGiven) {
            return argument;
        }
    }
    return std::nullopt;
}

std::optional<QString> UnknownOption(const QStringList& arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--"))
            break;
        if (argument.startsWith(QLatin1Char('-')))
            return argument;
    }
    return std::nullopt;
}
