#pragma once
// Helpers for the version-block tests: the version resource out of a
// resource compiler's .res file, and small ELF files that carry sections.

#include "platform/VersionResource.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The program's version data as the build hands it to lantrix-versionblock
// (and as the fixture lantrix.rc holds it, with the default web host).
TVersionBlockContent ProgramVersionContent(const QString& homepage);

// The data of the first resource of the numeric type `type` in a .res file.
std::optional<QByteArray> ResourceData(const QByteArray& res, std::uint16_t type);

// The version resource (RT_VERSION) of LANTRIX_TEST_DATA_DIR/<name>.res;
// an empty array (and a test failure) when there is none.
QByteArray FixtureVersionBlock(const QString& name);

enum class TElfClass { Elf32, Elf64 };

// A little-endian relocatable ELF file with the given sections (name, bytes)
// after the null section, and the section-name table last.
QByteArray MakeElf(TElfClass elfClass, const std::vector<std::pair<std::string, QByteArray>>& sections);

// An ELF file with the version section holding `block`.
QByteArray MakeVersionElf(const QByteArray& block, TElfClass elfClass = TElfClass::Elf64);

// Offsets of header fields in MakeElf's output.
struct TElfLayout {
    std::size_t sectionTableOffsetField; // e_shoff
    std::size_t sectionEntrySizeField;   // e_shentsize
    std::size_t sectionEntrySize;
    std::size_t sectionOffsetField; // sh_offset within an entry
    std::size_t sectionTypeField;   // sh_type within an entry
};
TElfLayout LayoutOf(TElfClass elfClass);
std::uint64_t SectionTableOffset(const QByteArray& elf, TElfClass elfClass);

// Offset of the node whose key is `key` (the first one in the block).
std::optional<std::size_t> NodeOffset(const QByteArray& block, const QString& key);

void PutWord(QByteArray& bytes, std::size_t offset, std::uint16_t value);
void PutDword(QByteArray& bytes, std::size_t offset, std::uint32_t value);
std::uint16_t GetWord(const QByteArray& bytes, std::size_t offset);
