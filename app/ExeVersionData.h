#pragma once
// Identity data read from an executable's version block.

#include <QString>

#include <cstdint>

// The text entries of a version block, each empty until read.
struct TEXEVersionData {
    QString CompanyName;
    QString FileDescription;
    QString FileVersion;
    QString InternalName;
    QString LegalCopyright;
    QString LegalTrademarks;
    QString OriginalFileName;
    QString ProductName;
    QString ProductVersion;
    QString Comments;
    QString PrivateBuild;
    QString SpecialBuild;
};

// Fills `record` from the string table of the first translation that the
// file's version block lists. Entries the table lacks leave their fields as
// they were. Throws EOSError (platform/OSError.h) before writing any field when
// the file has no readable version block or the block has no translation table.
void GetEXEVersionData(const QString& fileName, TEXEVersionData& record);

// The file version from the block's fixed file info.
struct TEXEFileVersion {
    std::uint16_t major = 0;
    std::uint16_t minor = 0;
    std::uint16_t release = 0;
    std::uint16_t build = 0;
};

// Throws EOSError when the file has no readable version block or the block
// has no valid fixed file info (code 1813).
TEXEFileVersion GetEXEFileVersion(const QString& fileName);

// "Major.Minor" of the file version, as the program shows its version.
QString FormatAppVersion(const TEXEFileVersion& version);
