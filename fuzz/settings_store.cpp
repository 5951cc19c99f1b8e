// The settings store over arbitrary settings.ini files, and the one value the
// program writes into it.
//
// Input: the file's bytes, then optionally a zero byte and a value (UTF-8)
// to write as InitialDir of section "Settings".
//
// Properties: a file is refused exactly when it is not UTF-8. Load, flush and
// load give the same values; flush, load and flush give the same bytes; a
// flushed file is the byte-order mark and lines without blanks at their ends,
// each ending in CR LF. A value is stored faithfully or not at all: written,
// it reads back exactly after a flush and a new load; refused, the file stays
// as it was; either way it adds no line, key or section of its own.
#include "support/FuzzCheck.h"

#include "platform/SettingsStore.h"

#include <QStringDecoder>
#include <QStringList>

#include <optional>

namespace {

QByteArray ReadBack(const QString& path)
{
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

std::optional<SettingsStore> Load(const QString& path)
{
    try {
        return SettingsStore(path);
    } catch (const ESettingsError&) {
        return std::nullopt;
    }
}

// Valid UTF-8, decided here byte by byte: no stray continuation byte, no
// overlong form, no surrogate, nothing above U+10FFFF.
bool IsUtf8(const QByteArray& bytes)
{
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    const std::size_t n = std::size_t(bytes.size());
    for (std::size_t i = 0; i < n;) {
        const std::uint8_t b = p[i];
        std::size_t count = 0;
        std::uint32_t code = 0, least = 0;
        if (b < 0x80) {
            ++i;
            continue;
        } else if ((b & 0xE0) == 0xC0) {
            count = 1;
            code = b & 0x1F;
            least = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            count = 2;
            code = b & 0x0F;
            least = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            count = 3;
            code = b & 0x07;
            least = 0x10000;
        } else
            return false;
        if (n - i - 1 < count)
            return false;
        for (std::size_t k = 1; k <= count; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (p[i + k] & 0x3F);
        }
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += count + 1;
    }
    return true;
}

// The flushed file's lines: section headers and the other lines.
struct TShape {
    QStringList sections;    // names, in file order
    QList<QStringList> keys; // per section: the keys of its key lines
    qsizetype lines = 0;     // every line but the empty ones
};

bool IsBlank(QChar c)
{
    return c.isSpace() || c.unicode() == 0xFEFF;
}

TShape CheckFlushedForm(const QByteArray& flushed)
{
    FUZZ_CHECK(flushed.startsWith("\xEF\xBB\xBF"));
    const QString text = QString::fromUtf8(flushed.mid(3));
    FUZZ_CHECK(text.isEmpty() || text.endsWith(QLatin1String("\r\n")));
    QStringList lines = text.split(QLatin1String("\r\n"));
    lines.removeLast(); // after the last CR LF
    TShape shape;
    for (const QString& line : lines) {
        FUZZ_CHECK(!line.contains(QLatin1Char('\n')));
        if (line.isEmpty())
            continue;
        FUZZ_CHECK(!IsBlank(line.front()) && !IsBlank(line.back()));
        ++shape.lines;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            shape.sections.append(line.mid(1, line.size() - 2));
            shape.keys.append(QStringList());
        } else if (!shape.keys.isEmpty() && line.indexOf(QLatin1Char('=')) > 0) {
            shape.keys.last().append(line.left(line.indexOf(QLatin1Char('='))));
        }
    }
    return shape;
}

void CheckSameValues(const SettingsStore& a, const SettingsStore& b, const TShape& shape)
{
    const QString absent = QStringLiteral("\x01absent");
    for (qsizetype s = 0; s < shape.sections.size(); ++s)
        for (const QString& key : shape.keys[s])
            FUZZ_CHECK(a.ReadString(shape.sections[s], key, absent) == b.ReadString(shape.sections[s], key, absent));
    FUZZ_CHECK(a.ReadString(QStringLiteral("Settings"), QStringLiteral("InitialDir"), absent)
               == b.ReadString(QStringLiteral("Settings"), QStringLiteral("InitialDir"), absent));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype zero = input.indexOf('\0');
    const QByteArray fileBytes = zero < 0 ? input : input.left(zero);
    const std::optional<QString> value =
        zero < 0 ? std::nullopt : std::optional(QString::fromUtf8(input.mid(zero + 1)));

    const QString path = WriteFuzzFile(QStringLiteral("settings.ini"), fileBytes);
    std::optional<SettingsStore> first = Load(path);
    FUZZ_CHECK(first.has_value() == IsUtf8(fileBytes));
    if (!first)
        return 0;

    // Load, flush, load: the same values. Flush, load, flush: the same bytes.
    first->UpdateFile();
    const QByteArray flushed = ReadBack(path);
    const TShape shape = CheckFlushedForm(flushed);
    std::optional<SettingsStore> second = Load(path);
    FUZZ_CHECK(second.has_value());
    CheckSameValues(*first, *second, shape);
    second->UpdateFile();
    FUZZ_CHECK(ReadBack(path) == flushed);

    if (!value)
        return 0;
    const QString section = QStringLiteral("Settings");
    const QString key = QStringLiteral("InitialDir");
    const bool hadSection = shape.sections.contains(section, Qt::CaseInsensitive);
    const bool held = second->WriteString(section, key, *value);
    FUZZ_CHECK(held == SettingsStore::CanHold(section, key, *value));
    second->UpdateFile();
    const QByteArray written = ReadBack(path);
    if (!held) {
        FUZZ_CHECK(written == flushed);
        return 0;
    }
    FUZZ_CHECK(second->ReadString(section, key, QString()) == *value);
    std::optional<SettingsStore> third = Load(path);
    FUZZ_CHECK(third.has_value());
    FUZZ_CHECK(third->ReadString(section, key, QString()) == *value);
    const TShape after = CheckFlushedForm(written);
    // At most the section's header and the key's line are new.
    FUZZ_CHECK(after.sections.size() == shape.sections.size() + (hadSection ? 0 : 1));
    FUZZ_CHECK(after.lines <= shape.lines + (hadSection ? 1 : 2));
    // The values of the other keys stay.
    const QString absent = QStringLiteral("\x01absent");
    for (qsizetype s = 0; s < shape.sections.size(); ++s)
        for (const QString& other : shape.keys[s])
            if (shape.sections[s].compare(section, Qt::CaseInsensitive) != 0
                || other.compare(key, Qt::CaseInsensitive) != 0)
                FUZZ_CHECK(third->ReadString(shape.sections[s], other, absent)
                           == first->ReadString(shape.sections[s], other, absent));
    // And the file stays as it is through a further load and flush.
    third->UpdateFile();
    FUZZ_CHECK(ReadBack(path) == written);
    return 0;
}
