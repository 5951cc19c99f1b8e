#include "capture/FourCC.h"

namespace FourCC {

namespace {

bool IsPrintable(uint32_t c)
{
    return c >= 0x20 && c < 0x7F;
}

} // namespace

QString ToString(uint32_t fourCC)
{
    if (fourCC == RGB)
        return QStringLiteral("RGB");
    QString text;
    for (int i = 0; i < 4; ++i) {
        const uint32_t c = (fourCC >> (8 * i)) & 0xFF;
        text += IsPrintable(c) ? QChar(char16_t(c)) : QChar(u'?');
    }
    return text;
}

std::optional<uint32_t> Parse(const QString& text)
{
    if (text.compare(QLatin1String("RGB"), Qt::CaseInsensitive) == 0)
        return RGB;
    if (text.size() != 4)
        return std::nullopt;
    uint32_t code = 0;
    for (int i = 0; i < 4; ++i) {
        const uint32_t c = text.at(i).unicode();
        if (!IsPrintable(c))
            return std::nullopt;
        code |= c << (8 * i);
    }
    return code;
}

} // namespace FourCC
