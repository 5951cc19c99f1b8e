// ELF files through the version functions: GetFileVersionInfoSizeW,
// GetFileVersionInfoW, and GetEXEVersionData and GetEXEFileVersion on top.
//
// Properties: the size is that of the version section's root node, and 0
// exactly when GetFileVersionInfoW fails with the same error; a buffer one
// byte short is refused with 122 and one of the size gets the section's first
// bytes; GetEXEVersionData either raises before writing any field or fills
// fields with texts without zeros; the file version agrees with the fixed
// file info that "\" answers.
#include "support/FuzzCheck.h"

#include "app/ExeVersionData.h"
#include "platform/OSError.h"
#include "platform/VersionResource.h"

#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 0x40000)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString path = WriteFuzzFile(QStringLiteral("program"), bytes);

    SetLastOSError(0);
    const std::uint32_t infoSize = GetFileVersionInfoSizeW(path);
    const std::uint32_t sizeError = GetLastOSError();

    QByteArray section;
    const bool haveSection = ReadElfSection(path, kVersionSectionName, 0xFFFF, section);

    if (infoSize == 0) {
        FUZZ_CHECK(sizeError != 0);
        std::vector<std::uint8_t> buffer(0x10000);
        SetLastOSError(0);
        FUZZ_CHECK(!GetFileVersionInfoW(path, 0, std::uint32_t(buffer.size()), buffer.data()));
        FUZZ_CHECK(GetLastOSError() == sizeError);
        TEXEVersionData record;
        bool raised = false;
        try {
            GetEXEVersionData(path, record);
        } catch (const EOSError& error) {
            raised = true;
            FUZZ_CHECK(error.Code() == sizeError);
        }
        FUZZ_CHECK(raised);
        FUZZ_CHECK(record.CompanyName.isEmpty() && record.ProductName.isEmpty());
        return 0;
    }

    FUZZ_CHECK(haveSection);
    FUZZ_CHECK(section.size() >= 2 && std::uint32_t(section.size()) >= infoSize);
    FUZZ_CHECK(infoSize == std::uint32_t(std::uint8_t(section[0]) | (std::uint8_t(section[1]) << 8)));

    // One byte short: refused, and nothing written past the buffer.
    {
        const std::unique_ptr<std::uint8_t[]> shortBuffer(new std::uint8_t[infoSize]);
        SetLastOSError(0);
        FUZZ_CHECK(!GetFileVersionInfoW(path, 0, infoSize - 1, shortBuffer.get()));
        FUZZ_CHECK(GetLastOSError() == OSErrorCode::kInsufficientBuffer);
    }
    const std::unique_ptr<std::uint8_t[]> info(new std::uint8_t[infoSize]);
    FUZZ_CHECK(GetFileVersionInfoW(path, 0, infoSize, info.get()));
    FUZZ_CHECK(std::memcmp(info.get(), section.constData(), infoSize) == 0);

    // The identity record: complete failure or texts.
    const QString untouched = QStringLiteral("untouched");
    TEXEVersionData record;
    record.CompanyName = record.ProductName = record.SpecialBuild = untouched;
    try {
        GetEXEVersionData(path, record);
        for (const QString* field :
             {&record.CompanyName, &record.ProductName, &record.SpecialBuild, &record.FileVersion, &record.Comments})
            FUZZ_CHECK(!field->contains(QChar(0)));
    } catch (const EOSError& error) {
        FUZZ_CHECK(error.Code() != 0);
        FUZZ_CHECK(record.CompanyName == untouched && record.ProductName == untouched
                   && record.SpecialBuild == untouched);
    }

    // The file version is the fixed file info's.
    const void* value = nullptr;
    std::uint32_t length = 0;
    TFixedFileInfo fixed{};
    const bool haveFixed = VerQueryValueW(info.get(), infoSize, QStringLiteral("\\"), &value, &length)
                           && ReadFixedFileInfo(value, length, fixed);
    try {
        const TEXEFileVersion version = GetEXEFileVersion(path);
        FUZZ_CHECK(haveFixed);
        FUZZ_CHECK(version.major == fixed.FileVersionMS >> 16 && version.minor == (fixed.FileVersionMS & 0xFFFF));
        FUZZ_CHECK(version.release == fixed.FileVersionLS >> 16 && version.build == (fixed.FileVersionLS & 0xFFFF));
    } catch (const EOSError&) {
        FUZZ_CHECK(!haveFixed);
    }
    return 0;
}
