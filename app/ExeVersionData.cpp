#include "app/ExeVersionData.h"

#include "platform/OSError.h"
#include "platform/VersionResource.h"

#include <vector>

namespace {

// The file's whole version block; throws EOSError when there is none.
std::vector<std::uint8_t> ReadVersionInfo(const QString& fileName)
{
    std::uint32_t handle = 0;
    const std::uint32_t size = GetFileVersionInfoSizeW(fileName, &handle);
    if (size == 0)
        RaiseLastOSError();
    std::vector<std::uint8_t> info(size);
    if (!GetFileVersionInfoW(fileName, 0, size, info.data()))
        RaiseLastOSError();
    return info;
}

} // namespace

void GetEXEVersionData(const QString& fileName, TEXEVersionData& record)
{
    const std::vector<std::uint8_t> info = ReadVersionInfo(fileName);
    const auto infoSize = std::uint32_t(info.size());

    const void* value = nullptr;
    std::uint32_t length = 0;
    if (!VerQueryValueW(info.data(), infoSize, QStringLiteral("\\VarFileInfo\\Translation\\"), &value, &length))
        RaiseLastOSError();
    // An empty table has no first entry to read.
    if (length < 4)
        throw EOSError(OSErrorCode::kResourceTypeNotFound);
    const auto* entry = static_cast<const std::uint8_t*>(value);
    const unsigned language = entry[0] | (entry[1] << 8);
    const unsigned codePage = entry[2] | (entry[3] << 8);
    const QString prefix = QStringLiteral("\\StringFileInfo\\") + QString::asprintf("%.4X%.4X", language, codePage);

    const std::pair<const char*, QString TEXEVersionData::*> fields[] = {
        {"\\CompanyName", &TEXEVersionData::CompanyName},
        {"\\FileDescription", &TEXEVersionData::FileDescription},
        {"\\FileVersion", &TEXEVersionData::FileVersion},
        {"\\InternalName", &TEXEVersionData::InternalName},
        {"\\LegalCopyright", &TEXEVersionData::LegalCopyright},
        {"\\LegalTrademarks", &TEXEVersionData::LegalTrademarks},
        {"\\OriginalFileName", &TEXEVersionData::OriginalFileName},
        {"\\ProductName", &TEXEVersionData::ProductName},
        {"\\ProductVersion", &TEXEVersionData::ProductVersion},
        {"\\Comments", &TEXEVersionData::Comments},
        {"\\PrivateBuild", &TEXEVersionData::PrivateBuild},
        {"\\SpecialBuild", &TEXEVersionData::SpecialBuild},
    };
    for (const auto& [path, field] : fields) {
        if (VerQueryValueW(info.data(), infoSize, prefix + QLatin1String(path), &value, &length))
            record.*field = VersionText(value, length);
    }
}

TEXEFileVersion GetEXEFileVersion(const QString& fileName)
{
    const std::vector<std::uint8_t> info = ReadVersionInfo(fileName);
    const void* value = nullptr;
    std::uint32_t length = 0;
    if (!VerQueryValueW(info.data(), std::uint32_t(info.size()), QStringLiteral("\\"), &value, &length))
        RaiseLastOSError();
    TFixedFileInfo fixed{};
    if (!ReadFixedFileInfo(value, length, fixed))
        throw EOSError(OSErrorCode::kResourceTypeNotFound);
    return TEXEFileVersion{std::uint16_t(fixed.FileVersionMS >> 16), std::uint16_t(fixed.FileVersionMS & 0xFFFF),
                           std::uint16_t(fixed.FileVersionLS >> 16), std::uint16_t(fixed.FileVersionLS & 0xFFFF)};
}

QString FormatAppVersion(const TEXEFileVersion& version)
{
    return QString::asprintf("%d.%d", int(version.major), int(version.minor));
}
