#pragma once
// The program's version block: the Windows version-resource layout
// (VS_VERSIONINFO with VS_FIXEDFILEINFO, a StringFileInfo with one StringTable
// per translation, a VarFileInfo with the Translation var; UTF-16LE keys and
// texts, WORD lengths, every node DWORD-aligned). The build writes the block
// into an ELF section of the executable of its own; the three reader functions
// below find it in any ELF file, with the shapes of the Windows functions of
// the same names.
//
// Errors are reported through the thread's last OS error (platform/OSError.h):
//   2, 3, 4, 5, 8, 30, 206  the file cannot be opened or read (from errno)
//   11   not an ELF file, or its headers are damaged or point outside the file
//   1812 an ELF file without the version section
//   13   the version block (or the node a query passes through) is damaged
//   122  GetFileVersionInfoW: the caller's buffer is smaller than the block
//   87   GetFileVersionInfoW / VerQueryValueW: a null pointer argument
//   1813 VerQueryValueW: the block has no entry at the path asked for

#include <QByteArray>
#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Name of the ELF section that holds the version block.
inline constexpr char kVersionSectionName[] = ".lantrix_version";

// VS_FIXEDFILEINFO as it lies in the block (little-endian DWORDs), 52 bytes.
struct TFixedFileInfo {
    std::uint32_t Signature;     // 0xFEEF04BD
    std::uint32_t StrucVersion;  // 0x00010000
    std::uint32_t FileVersionMS; // major << 16 | minor
    std::uint32_t FileVersionLS; // release << 16 | build
    std::uint32_t ProductVersionMS;
    std::uint32_t ProductVersionLS;
    std::uint32_t FileFlagsMask;
    std::uint32_t FileFlags;
    std::uint32_t FileOS;
    std::uint32_t FileType;
    std::uint32_t FileSubtype;
    std::uint32_t FileDateMS;
    std::uint32_t FileDateLS;
};
static_assert(sizeof(TFixedFileInfo) == 52);
inline constexpr std::uint32_t kFixedFileInfoSignature = 0xFEEF04BD;

// Reads the fixed file info from the value that VerQueryValueW gives for "\";
// false when the value is too short or lacks the signature.
bool ReadFixedFileInfo(const void* value, std::uint32_t length, TFixedFileInfo& info);

// ---- Writing ---------------------------------------------------------------

// What goes into a version block with one translation.
struct TVersionBlockContent {
    std::array<std::uint16_t, 4> FileVersion{}; // 1.2.0.0 is {1, 2, 0, 0}
    std::array<std::uint16_t, 4> ProductVersion{};
    std::uint32_t FileFlagsMask = 0x3F; // VS_FFI_FILEFLAGSMASK
    std::uint32_t FileFlags = 0;
    std::uint32_t FileOS = 0x00040004; // VOS_NT_WINDOWS32
    std::uint32_t FileType = 1;        // VFT_APP
    std::uint32_t FileSubtype = 0;
    std::uint16_t Language = 0x0409;
    std::uint16_t CodePage = 0x04E4;
    std::vector<std::pair<QString, QString>> Strings; // name, text; in block order
};

// The block's bytes, laid out as resource compilers lay them out: each node's
// length excludes the padding after its last child, texts carry their
// terminating zero. Throws std::invalid_argument when the block would exceed
// the 65535 bytes a WORD length can hold.
QByteArray BuildVersionBlock(const TVersionBlockContent& content);

// A C++ source that defines the block as a read-only array named `symbol`
// (extern "C") in section kVersionSectionName, kept by compiler and linker.
std::string VersionBlockSource(const QByteArray& block, std::string_view symbol);

// ---- Finding ---------------------------------------------------------------

// Reads the first min(section size, maxBytes) bytes of the first section named
// `sectionName` of an ELF file (32- or 64-bit, little-endian). On failure sets
// the last OS error (file errors, 11, 1812; 13 for a section without data in
// the file) and returns false.
bool ReadElfSection(const QString& fileName, std::string_view sectionName, std::size_t maxBytes, QByteArray& contents);

// ---- Reading (the Windows version functions) --------------------------------

// Size in bytes of the file's version block, 0 on failure (last OS error set).
// *handle, if given, is set to 0.
std::uint32_t GetFileVersionInfoSizeW(const QString& fileName, std::uint32_t* handle = nullptr);

// Copies the file's version block into data[0 .. length). `handle` is ignored.
bool GetFileVersionInfoW(const QString& fileName, std::uint32_t handle, std::uint32_t length, void* data);

// Looks up `subBlock` in a block of blockLength bytes as GetFileVersionInfoW
// filled it. Paths: "\" (the fixed file info), "\VarFileInfo\Translation",
// "\StringFileInfo\040904E4\CompanyName"; names match without regard to case
// and empty components (a leading or trailing backslash) are skipped.
// On success *buffer points into the block at the entry's value and *length is
// its length: characters (with the terminating zero) for texts, bytes for
// binary values. An entry of a string table ("\StringFileInfo\<table>\<name>")
// always counts characters, whatever type the block gives it. The value lies
// wholly inside the block; a text is not guaranteed to carry its terminating
// zero. Unlike the Windows function this
// one takes the block's size, so that no query reads outside it.
bool VerQueryValueW(const void* block, std::uint32_t blockLength, const QString& subBlock, const void** buffer,
                    std::uint32_t* length);

// The text at a value VerQueryValueW returned for a text entry: the characters
// up to the first zero, at most `length` of them.
QString VersionText(const void* value, std::uint32_t length);
