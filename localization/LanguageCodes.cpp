#include "localization/LanguageCodes.h"

#include "localization/TextLines.h"

#include <QFile>
#include <QStringDecoder>

QStringList DecodeLanguageCodeTable(const QByteArray& bytes)
{
    QStringConverter::Encoding encoding = QStringConverter::System;
    if (const std::optional<QStringConverter::Encoding> marked = QStringConverter::encodingForData(bytes))
        encoding = *marked;
    // The decoder skips the byte-order mark of its encoding.
    QStringDecoder decoder(encoding, QStringConverter::Flag::Default);
    return SplitLines(decoder.decode(bytes));
}

QStringList ReadLanguageCodeTable(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // The table is a few hundred bytes; of a file far larger than any table
    // only the first mebibyte is looked at.
    return DecodeLanguageCodeTable(file.read(1024 * 1024));
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
