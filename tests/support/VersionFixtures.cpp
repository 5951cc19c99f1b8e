#include "support/VersionFixtures.h"

#include "platform/VersionResource.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

std::uint32_t GetDword(const QByteArray& bytes, std::size_t offset)
{
    return GetWord(bytes, offset) | (std::uint32_t(GetWord(bytes, offset + 2)) << 16);
}

void Append(QByteArray& out, std::uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(char((value >> (8 * i)) & 0xFF));
}

void AlignTo4(QByteArray& out)
{
    while (out.size() % 4 != 0)
        out.append('\0');
}

} // namespace

TVersionBlockContent ProgramVersionContent(const QString& homepage)
{
    TVersionBlockContent c;
    c.FileVersion = {1, 2, 0, 0};
    c.ProductVersion = {1, 2, 0, 0};
    c.Language = 0x0409;
    c.CodePage = 0x04E4;
    c.Strings = {{"CompanyName", "DASTREL"},
                 {"FileDescription", "Lantrix"},
                 {"FileVersion", "1.2.0.0"},
                 {"InternalName", "Lantrix"},
                 {"LegalCopyright", "DASTREL"},
                 {"LegalTrademarks", "DASTREL"},
                 {"OriginalFileName", "lantrix.exe"},
                 {"ProductName", "Lantrix"},
                 {"ProductVersion", "1.2.0.0"},
                 {"Comments", "DASTREL"},
                 {"Homepage", homepage}};
    return c;
}

void PutWord(QByteArray& bytes, std::size_t offset, std::uint16_t value)
{
    bytes[qsizetype(offset)] = char(value & 0xFF);
    bytes[qsizetype(offset + 1)] = char(value >> 8);
}

void PutDword(QByteArray& bytes, std::size_t offset, std::uint32_t value)
{
    PutWord(bytes, offset, std::uint16_t(value & 0xFFFF));
    PutWord(bytes, offset + 2, std::uint16_t(value >> 16));
}

std::uint16_t GetWord(const QByteArray& bytes, std::size_t offset)
{
    return std::uint16_t(std::uint8_t(bytes[qsizetype(offset)]) | (std::uint8_t(bytes[qsizetype(offset + 1)]) << 8));
}

std::optional<QByteArray> ResourceData(const QByteArray& res, std::uint16_t type)
{
    const std::size_t size = std::size_t(res.size());
    std::size_t at = 0;
    // Each entry: DataSize, HeaderSize, TYPE, NAME, ..., then the data at
    // HeaderSize, and the next entry at the following DWORD boundary.
    while (at + 12 <= size) {
        const std::uint32_t dataSize = GetDword(res, at);
        const std::uint32_t headerSize = GetDword(res, at + 4);
        if (headerSize < 12 || headerSize > size - at || dataSize > size - at - headerSize)
            return std::nullopt;
        if (GetWord(res, at + 8) == 0xFFFF && GetWord(res, at + 10) == type)
            return res.mid(qsizetype(at + headerSize), qsizetype(dataSize));
        at = (at + headerSize + dataSize + 3) & ~std::size_t{3};
    }
    return std::nullopt;
}

QByteArray FixtureVersionBlock(const QString& name)
{
    QFile file(QStringLiteral(LANTRIX_TEST_DATA_DIR "/") + name + QStringLiteral(".res"));
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot open fixture " << file.fileName().toStdString();
        return {};
    }
    const auto block = ResourceData(file.readAll(), 16);
    if (!block) {
        ADD_FAILURE() << "no version resource in " << file.fileName().toStdString();
        return {};
    }
    return *block;
}

TElfLayout LayoutOf(TElfClass elfClass)
{
    return elfClass == TElfClass::Elf64 ? TElfLayout{0x28, 0x3A, 64, 24, 4} : TElfLayout{0x20, 0x2E, 40, 16, 4};
}

std::uint64_t SectionTableOffset(const QByteArray& elf, TElfClass elfClass)
{
    const std::size_t field = LayoutOf(elfClass).sectionTableOffsetField;
    std::uint64_t offset = GetDword(elf, field);
    if (elfClass == TElfClass::Elf64)
        offset |= std::uint64_t(GetDword(elf, field + 4)) << 32;
    return offset;
}

QByteArray MakeElf(TElfClass elfClass, const std::vector<std::pair<std::string, QByteArray>>& sections)
{
    const bool is64 = elfClass == TElfClass::Elf64;
    const int word = is64 ? 8 : 4;
    const std::size_t headerSize = is64 ? 64 : 52;

    QByteArray out(qsizetype(headerSize), '\0');
    std::vector<std::uint64_t> offsets;
    QByteArray names(1, '\0');
    std::vector<std::uint32_t> nameOffsets;
    for (const auto& [name, bytes] : sections) {
        AlignTo4(out);
        offsets.push_back(std::uint64_t(out.size()));
        out.append(bytes);
        nameOffsets.push_back(std::uint32_t(names.size()));
        names.append(name.c_str(), qsizetype(name.size() + 1));
    }
    const std::uint32_t namesName = std::uint32_t(names.size());
    names.append(".shstrtab", 10);
    AlignTo4(out);
    const std::uint64_t namesOffset = std::uint64_t(out.size());
    out.append(names);
    while (out.size() % 8 != 0)
        out.append('\0');
    const std::uint64_t tableOffset = std::uint64_t(out.size());

    auto entry = [&](std::uint32_t name, std::uint32_t type, std::uint64_t offset, std::uint64_t size) {
        Append(out, name, 4);
        Append(out, type, 4);
        Append(out, 0, word); // flags
        Append(out, 0, word); // address
        Append(out, offset, word);
        Append(out, size, word);
        Append(out, 0, 4);    // link
        Append(out, 0, 4);    // info
        Append(out, 1, word); // alignment
        Append(out, 0, word); // entry size
    };
    entry(0, 0, 0, 0);
    for (std::size_t i = 0; i < sections.size(); ++i)
        entry(nameOffsets[i], 1 /* PROGBITS */, offsets[i], std::uint64_t(sections[i].second.size()));
    entry(namesName, 3 /* STRTAB */, namesOffset, std::uint64_t(names.size()));

    QByteArray header;
    header.append("\x7F"
                  "ELF",
                  4);
    header.append(char(is64 ? 2 : 1)); // class
    header.append(char(1));            // little-endian
    header.append(char(1));            // version
    header.append(QByteArray(9, '\0'));
    Append(header, 1, 2);              // ET_REL
    Append(header, is64 ? 62 : 3, 2);  // x86-64 or i386
    Append(header, 1, 4);              // version
    Append(header, 0, word);           // entry
    Append(header, 0, word);           // program headers
    Append(header, tableOffset, word); // section headers
    Append(header, 0, 4);              // flags
    Append(header, headerSize, 2);
    Append(header, 0, 2);              // program header entry size
    Append(header, 0, 2);              // program header count
    Append(header, is64 ? 64 : 40, 2); // section header entry size
    Append(header, sections.size() + 2, 2);
    Append(header, sections.size() + 1, 2); // index of the name table
    out.replace(0, header.size(), header);
    return out;
}

QByteArray MakeVersionElf(const QByteArray& block, TElfClass elfClass)
{
    return MakeElf(elfClass, {{".text", QByteArray(16, '\x90')}, {kVersionSectionName, block}});
}

std::optional<std::size_t> NodeOffset(const QByteArray& block, const QString& key)
{
    QByteArray pattern;
    for (QChar c : key) {
        pattern.append(char(c.unicode() & 0xFF));
        pattern.append(char(c.unicode() >> 8));
    }
    pattern.append(2, '\0');
    // Node keys start 6 bytes after a DWORD-aligned node start.
    for (qsizetype at = block.indexOf(pattern); at >= 0; at = block.indexOf(pattern, at + 1)) {
        if (at >= 6 && (at - 6) % 4 == 0)
            return std::size_t(at - 6);
    }
    return std::nullopt;
}
