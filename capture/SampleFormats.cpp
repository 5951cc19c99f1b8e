#include "capture/SampleFormats.h"

#include <QByteArrayList>

#include <algorithm>
#include <cstring>
#include <vector>

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

const TSampleFormatInfo* SampleFormatOf(uint32_t fourCC)
{
    for (const TSampleFormatInfo& format : kSampleFormats)
        if (format.FourCC == fourCC)
            return &format;
    return nullptr;
}

const TSampleFormatInfo* SampleFormatNamed(QStringView name)
{
    for (const TSampleFormatInfo& format : kSampleFormats)
        if (name.compare(QLatin1String(format.name), Qt::CaseInsensitive) == 0)
            return &format;
    return nullptr;
}

QByteArray SampleFormatCaps(const TSampleFormatInfo& format)
{
    if (format.capturePreference == 0)
        return {};
    if (format.family == TSampleFamily::MotionJpeg)
        return QByteArrayLiteral("image/jpeg");
    return QByteArrayLiteral("video/x-raw,format=") + format.gstFormat;
}

namespace {

// The formats a camera is asked for, most wanted first.
std::vector<const TSampleFormatInfo*> AskedFormats()
{
    std::vector<const TSampleFormatInfo*> asked;
    for (const TSampleFormatInfo& format : kSampleFormats)
        if (format.capturePreference > 0)
            asked.push_back(&format);
    std::sort(asked.begin(), asked.end(), [](const TSampleFormatInfo* a, const TSampleFormatInfo* b) {
        return a->capturePreference < b->capturePreference;
    });
    return asked;
}

} // namespace

QByteArray CameraSampleCaps()
{
    QByteArrayList caps;
    for (const TSampleFormatInfo* format : AskedFormats())
        caps.append(SampleFormatCaps(*format));
    return caps.join("; ");
}

QByteArray ConvertedSampleCaps()
{
    QByteArrayList names;
    for (const TSampleFormatInfo* format : AskedFormats())
        if (format->family != TSampleFamily::MotionJpeg)
            names.append(format->gstFormat);
    return "video/x-raw,format={ " + names.join(", ") + " }";
}
