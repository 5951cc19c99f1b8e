// Reference readings of text that the localization targets compare against.
#pragma once

#include <QString>
#include <QStringList>

// The lines of a text: a line ends at CR LF, LF or CR; a break at the very
// end adds no empty line. Written apart from the program's SplitLines.
inline QStringList ReferenceLines(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (text.isEmpty())
        return {};
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text.split(QLatin1Char('\n'));
}
