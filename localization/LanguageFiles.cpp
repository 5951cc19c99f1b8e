#include "localization/LanguageFiles.h"

#include "localization/FormatPattern.h"
#include "localization/LanguageCodes.h"
#include "localization/TextLines.h"
#include "platform/Folders.h"
#include "platform/OSError.h"
#include "platform/RegularFile.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <utility>

QString LanguageFolder;
QStringList LanguageFiles;
QString CurrentLanguage;
QString LanguageFilePath;
QStringList LanguageLines;

namespace {

const QString kExtension = QStringLiteral(".lang.txt");

// Language files are a few kilobytes; anything this large is not one.
constexpr qint64 kMaxLanguageFileSize = 16 * 1024 * 1024;

[[noreturn]] void RaiseFileError(const char* what, const QString& path, int errnoValue)
{
    const QString message =
        QStringLiteral("Cannot %1 file \"%2\". %3")
            .arg(QLatin1String(what), QDir::toNativeSeparators(path), SysErrorMessage(OSErrorFromErrno(errnoValue)));
    throw ELanguageFileError(message.toStdString());
}

QByteArray ReadWholeFile(const QString& path)
{
    TFileRead file = ReadRegularFile(path, kMaxLanguageFileSize);
    switch (file.status) {
    case TFileReadStatus::Read: return std::move(file.bytes);
    case TFileReadStatus::Missing:
        // A FIFO or a device of that name is passed over as a missing file.
        RaiseFileError("open", path, ENOENT);
    case TFileReadStatus::TooLarge:
        throw ELanguageFileError(
            FormatTranslated(QStringLiteral("The language file %s is too large."), QDir::toNativeSeparators(path))
                .toStdString());
    case TFileReadStatus::Failed: break;
    }
    RaiseFileError("read", path, file.error);
}

} // namespace

QString LanguageFolderOf(const QString& shippedFilesFolder)
{
    return WithTrailingSlash(shippedFilesFolder) + QStringLiteral("Languages");
}

QString LanguageDisplayName(const QString& fileName)
{
    const qsizetype at = fileName.indexOf(kExtension);
    return at < 0 ? QString() : fileName.left(at);
}

QStringList LanguageFilesIn(const QString& folder)
{
    QDir dir(folder);
    if (folder.isEmpty() || !dir.exists())
        return {};
    // Name filters ignore letter case unless told otherwise. Regular files
    // only: without QDir::System, FIFOs, sockets and devices are not listed.
    QStringList names = dir.entryList({QStringLiteral("*lang.txt")}, QDir::Files | QDir::Hidden, QDir::Unsorted);
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int byText = a.compare(b, Qt::CaseInsensitive);
        return byText != 0 ? byText < 0 : a < b;
    });
    return names;
}

void FindLanguageFiles(const QString& folder)
{
    LanguageFiles.append(LanguageFilesIn(folder));
}

QStringList ReadLanguageFileLines(const QString& path)
{
    QByteArray bytes = ReadWholeFile(path);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    return SplitLines(QString::fromUtf8(bytes));
}

void LoadLanguage(const QString& preferredFileName, const QString& shippedFilesFolder,
                  const TUILanguageSource& uiLanguage)
{
    LanguageFolder = LanguageFolderOf(shippedFilesFolder);
    LanguageFiles.clear();
    CurrentLanguage.clear();
    LanguageFilePath.clear();
    LanguageLines.clear();
    if (!QFileInfo(LanguageFolder).isDir())
        return;
    FindLanguageFiles(LanguageFolder);

    QString preferred = preferredFileName.trimmed();
    const QString table = LanguageFolder + QLatin1Char('/') + QLatin1String(kLanguageCodesFile);
    if (preferred.isEmpty() && QFileInfo::exists(table)) {
        const QString code = QString::number(uiLanguage ? uiLanguage() : quint16(0));
        if (const std::optional<QString> wanted = LanguageFileForCode(ReadLanguageCodeTable(table), code)) {
            const auto found = std::find_if(LanguageFiles.cbegin(), LanguageFiles.cend(),
                                            [&](const QString& name) { return SameTextAscii(name, *wanted); });
            if (found != LanguageFiles.cend())
                preferred = *found;
        }
    }

    const QString path = LanguageFolder + QLatin1Char('/') + preferred;
    if (preferred.isEmpty() || !IsRegularFile(path))
        return;
    CurrentLanguage = LanguageDisplayName(preferred);
    LanguageFilePath = path;
    LanguageLines = ReadLanguageFileLines(path);
}

namespace {

// The translation part of the first line that holds `key`, or nothing.
std::optional<QString> FindEntry(const QString& key, const QStringList& lines)
{
    const QString prefix = QLatin1Char('{') + key + QLatin1Char('}');
    for (const QString& line : lines)
        if (line.startsWith(prefix))
            return line.mid(line.indexOf(QLatin1Char('}')) + 1);
    return std::nullopt;
}

} // namespace

QString Translate(const QString& key)
{
    if (LanguageFilePath.isEmpty())
        return key;
    const std::optional<QString> entry = FindEntry(key, LanguageLines);
    return entry && !entry->isEmpty() ? *entry : key;
}

QString LookupTranslation(const QString& key, const QStringList& lines)
{
    return FindEntry(key, lines).value_or(key);
}
