#include "localization/LanguageCodes.h"

#include "localization/TextLines.h"
#include "platform/RegularFile.h"

#include <QStringDecoder>

QStringList DecodeLanguageCodeTable(const QByteArray& bytes)
{
    // The marks of UTF-8 and UTF-16 only: "FF FE 00 00" is UTF-16 text that
    // starts with U+0000, not UTF-32.
    QStringConverter::Encoding encoding = QStringConverter::System;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        encoding = QStringConverter::Utf8;
    else if (bytes.startsWith("\xFF\xFE"))
        encoding = QStringConverter::Utf16LE;
    else if (bytes.startsWith("\xFE\xFF"))
        encoding = QStringConverter::Utf16BE;
    // The decoder skips the byte-order mark of its encoding. The table is
    // decoded whole, so an incomplete character at its end is U+FFFD like
    // any other byte that is not text, instead of being held back for more.
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    return SplitLines(decoder.decode(bytes));
}

QStringList ReadLanguageCodeTable(const QString& path)
{
    // The table is a few hundred bytes; of a file far larger than any table
    // only the first mebibyte is looked at. Anything but a regular file (a
    // FIFO would wait for a writer) is passed over as a missing table.
    const TFileRead file = ReadRegularFile(path, 1024 * 1024);
    if (file.status != TFileReadStatus::Read && file.status != TFileReadStatus::TooLarge)
        return {};
    return DecodeLanguageCodeTable(file.bytes);
}

std::optional<QString> LanguageFileForCode(const QStringList& lines, const QString& code)
{
    for (const QString& line : lines) {
        const qsizetype comma = line.indexOf(QLatin1Char(','));
        if (comma < 0)
            continue;
        if (TrimBlanksAndControls(line.left(comma)) == code)
            return TrimBlanksAndControls(line.mid(comma + 1));
    }
    return std::nullopt;
}
