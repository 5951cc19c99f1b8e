#include "platform/SettingsStore.h"

#include "platform/AtomicFile.h"

#include <QFile>
#include <QStringDecoder>

#include <algorithm>

namespace {

// Blanks are what reading drops around lines, names and values: white space,
// and U+FEFF, the byte-order mark, which a file put together from several
// files (cat a.ini b.ini) carries at the start of a line.
bool IsBlank(QChar c)
{
    return c.isSpace() || c.unicode() == 0xFEFF;
}

QString Trim(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

// Characters that end a line, here or in another program's reading of the file.
bool IsLineBreak(QChar c)
{
    const char16_t u = c.unicode();
    return u == u'\n' || u == u'\r' || u == 0x0085 || u == 0x2028 || u == 0x2029;
}

bool HasLineBreak(const QString& text)
{
    return std::any_of(text.begin(), text.end(), IsLineBreak);
}

bool IsQuoted(const QString& value)
{
    return value.size() >= 2 && value.front() == QLatin1Char('"') && value.back() == QLatin1Char('"');
}

// A value with blanks at either end, or one that is itself in double quotes,
// is written in double quotes, which reading takes off again. Every other
// value is written as it is.
bool NeedsQuotes(const QString& value)
{
    return !value.isEmpty() && (IsBlank(value.front()) || IsBlank(value.back()) || IsQuoted(value));
}

// The name and value of a "key=value" line, both without surrounding blanks.
bool SplitKeyLine(const QString& line, QString* key, QString* value)
{
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq <= 0)
        return false;
    if (key)
        *key = Trim(line.left(eq));
    if (value)
        *value = Trim(line.mid(eq + 1));
    return true;
}

} // namespace

SettingsStore::SettingsStore(QString fileName)
    : fFileName(std::move(fileName))
{
    QFile file(fFileName);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly))
        throw ESettingsError(
            QStringLiteral("Cannot open file \"%1\". %2").arg(fFileName, file.errorString()).toStdString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw ESettingsError(
            QStringLiteral("Cannot read file \"%1\". %2").arg(fFileName, file.errorString()).toStdString());

    // The decoder keeps a leading byte-order mark as U+FEFF; like one at the
    // start of any later line, it goes as a blank.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    const QString text = decoder(bytes);
    if (decoder.hasError())
        throw ESettingsError(
            QStringLiteral("No mapping for the Unicode character exists in the target multi-byte code page (%1).")
                .arg(fFileName)
                .toStdString());

    TSection* current = nullptr;
    for (QString line : text.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QString trimmed = Trim(line);
        if (trimmed.isEmpty())
            continue;
        if (trimmed.startsWith(QLatin1Char('[')) && trimmed.endsWith(QLatin1Char(']'))) {
            const QString name = Trim(trimmed.mid(1, trimmed.size() - 2));
            current = FindSection(name);
            if (!current)
                current = &fSections.emplace_back(TSection{name, {}});
            continue;
        }
        QString key, value;
        const QString kept = SplitKeyLine(trimmed, &key, &value) ? key + QLatin1Char('=') + value : trimmed;
        (current ? current->lines : fLeadingLines).append(kept);
    }
}

SettingsStore::TSection* SettingsStore::FindSection(const QString& name)
{
    for (TSection& s : fSections)
        if (s.name.compare(name, Qt::CaseInsensitive) == 0)
            return &s;
    return nullptr;
}

const SettingsStore::TSection* SettingsStore::FindSection(const QString& name) const
{
    return const_cast<SettingsStore*>(this)->FindSection(name);
}

qsizetype SettingsStore::FindKey(const TSection& section, const QString& key)
{
    for (qsizetype i = 0; i < section.lines.size(); ++i) {
        QString name;
        if (SplitKeyLine(section.lines[i], &name, nullptr) && name.compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString SettingsStore::ReadString(const QString& section, const QString& key, const QString& defaultValue) const
{
    const TSection* s = FindSection(section);
    if (!s)
        return defaultValue;
    const qsizetype i = FindKey(*s, key);
    if (i < 0)
        return defaultValue;
    QString value;
    SplitKeyLine(s->lines[i], nullptr, &value);
    return IsQuoted(value) ? value.mid(1, value.size() - 2) : value;
}

bool SettingsStore::CanHold(const QString& section, const QString& key, const QString& value)
{
    // "[section]" reads back as this section, "key=" as this key and not as a
    // section header, and no part ends a line.
    const bool sectionFits = Trim(section) == section && !HasLineBreak(section);
    const bool keyFits = !key.isEmpty() && Trim(key) == key && !key.contains(QLatin1Char('='))
                         && !key.startsWith(QLatin1Char('[')) && !HasLineBreak(key);
    return sectionFits && keyFits && !HasLineBreak(value);
}

bool SettingsStore::WriteString(const QString& section, const QString& key, const QString& value)
{
    if (!CanHold(section, key, value))
        return false;
    TSection* s = FindSection(section);
    if (!s)
        s = &fSections.emplace_back(TSection{section, {}});
    const QString written = NeedsQuotes(value) ? QLatin1Char('"') + value + QLatin1Char('"') : value;
    const QString line = key + QLatin1Char('=') + written;
    const qsizetype i = FindKey(*s, key);
    if (i >= 0)
        s->lines[i] = line;
    else
        s->lines.append(line);
    return true;
}

void SettingsStore::UpdateFile() const
{
    QString text;
    for (const QString& line : fLeadingLines)
        text += line + QLatin1String("\r\n");
    for (const TSection& s : fSections) {
        text += QLatin1Char('[') + s.name + QLatin1String("]\r\n");
        for (const QString& line : s.lines)
            text += line + QLatin1String("\r\n");
        text += QLatin1String("\r\n");
    }

    const QString error = WriteFileAtomically(fFileName, QByteArray("\xEF\xBB\xBF") + text.toUtf8());
    if (!error.isEmpty())
        throw ESettingsError(QStringLiteral("Cannot create file \"%1\". %2").arg(fFileName, error).toStdString());
}
