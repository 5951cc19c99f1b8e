// The user's camera sources, cameras.ini, as the device list reads it.
//
// Input: the file's bytes.
//
// Properties: the sources are those of a reading written apart: the text
// (UTF-8) in lines split at LF, each line without one byte-order mark at
// its start (one that an editor wrote, or one left where files were joined) and
// without its outer white space; blank lines, lines starting with ";",
// "#" or "[" and lines without "=" are passed over, as is a line with
// nothing before its first "="; the name is what comes before that "=", the
// description what follows it, both without outer white space. No name is
// empty or holds "=", and neither holds a line break.
#include "support/FuzzCheck.h"

#include "capture/CameraSources.h"

#include <QStringDecoder>

namespace {

QString WithoutOuterSpace(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].isSpace())
        ++begin;
    while (end > begin && text[end - 1].isSpace())
        --end;
    return text.mid(begin, end - begin);
}

QList<TCameraSource> ReferenceSources(const QByteArray& bytes)
{
    // LF never occurs inside a UTF-8 sequence, so the whole text may be
    // decoded first and split after; the decoding keeps every mark, those
    // at line starts are dropped below.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    const QString text = decoder.decode(bytes);
    QList<TCameraSource> sources;
    for (QString rawLine : text.split(QLatin1Char('\n'))) {
        if (rawLine.startsWith(QChar(0xFEFF)))
            rawLine.remove(0, 1);
        const QString line = WithoutOuterSpace(rawLine);
        if (line.isEmpty())
            continue;
        const QChar first = line.front();
        if (first == QLatin1Char(';') || first == QLatin1Char('#') || first == QLatin1Char('['))
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            continue;
        TCameraSource source{WithoutOuterSpace(line.left(equals)), WithoutOuterSpace(line.mid(equals + 1))};
        if (!source.name.isEmpty())
            sources.append(source);
    }
    return sources;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 0x10000)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QList<TCameraSource> sources = ParseCameraSources(bytes);
    const QList<TCameraSource> expected = ReferenceSources(bytes);

    FUZZ_CHECK(sources.size() == expected.size());
    for (qsizetype i = 0; i < sources.size(); ++i) {
        const TCameraSource& source = sources[i];
        FUZZ_CHECK(source.name == expected[i].name);
        FUZZ_CHECK(source.description == expected[i].description);
        FUZZ_CHECK(!source.name.isEmpty() && !source.name.contains(QLatin1Char('=')));
        FUZZ_CHECK(!source.name.contains(QLatin1Char('\n')) && !source.description.contains(QLatin1Char('\n')));
        FUZZ_CHECK(!source.name.front().isSpace() && !source.name.back().isSpace());
    }
    return 0;
}
