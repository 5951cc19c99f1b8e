#include "platform/VersionResource.h"

#include "platform/OSError.h"

#include <QFile>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <optional>
#include <stdexcept>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using TCode = std::uint32_t;

constexpr std::size_t kMaxBlockSize = 0xFFFF; // a WORD length
constexpr std::size_t kNodeHeaderSize = 6;    // wLength, wValueLength, wType
constexpr std::uint16_t kTextType = 1;
constexpr std::uint16_t kBinaryType = 0;
const QString kRootKey = QStringLiteral("VS_VERSION_INFO");

constexpr std::size_t AlignUp4(std::size_t n)
{
    return (n + 3) & ~std::size_t{3};
}

std::uint16_t Read16(const std::uint8_t* p)
{
    return std::uint16_t(p[0] | (p[1] << 8));
}

std::uint32_t Read32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}

std::uint64_t Read64(const std::uint8_t* p)
{
    return Read32(p) | (std::uint64_t(Read32(p + 4)) << 32);
}

// ---- Writer -----------------------------------------------------------------

class TBlockWriter {
public:
    // Starts a node at the next DWORD boundary; returns its offset for End().
    std::size_t Begin(const QString& key, std::uint16_t valueLength, std::uint16_t type)
    {
        Pad();
        const std::size_t start = std::size_t(fOut.size());
        Word(0); // wLength, set by End()
        Word(valueLength);
        Word(type);
        Text(key);
        Pad();
        return start;
    }

    void Text(const QString& text)
    {
        for (QChar c : text)
            Word(c.unicode());
        Word(0);
    }

    void Dword(std::uint32_t v)
    {
        Word(std::uint16_t(v & 0xFFFF));
        Word(std::uint16_t(v >> 16));
    }

    void End(std::size_t start)
    {
        const std::size_t length = std::size_t(fOut.size()) - start;
        if (length > kMaxBlockSize)
            throw std::invalid_argument("version block exceeds 65535 bytes");
        fOut[qsizetype(start)] = char(length & 0xFF);
        fOut[qsizetype(start + 1)] = char(length >> 8);
    }

    QByteArray Result() const { return fOut; }

private:
    void Word(std::uint16_t v)
    {
        fOut.append(char(v & 0xFF));
        fOut.append(char(v >> 8));
    }
    void Pad()
    {
        while (fOut.size() % 4 != 0)
            fOut.append('\0');
    }

    QByteArray fOut;
};

std::uint32_t VersionHigh(const std::array<std::uint16_t, 4>& v)
{
    return (std::uint32_t(v[0]) << 16) | v[1];
}
std::uint32_t VersionLow(const std::array<std::uint16_t, 4>& v)
{
    return (std::uint32_t(v[2]) << 16) | v[3];
}

std::uint16_t TextValueLength(const QString& text)
{
    if (text.size() + 1 > std::numeric_limits<std::uint16_t>::max())
        throw std::invalid_argument("version text too long");
    return std::uint16_t(text.size() + 1);
}

// ---- File access ------------------------------------------------------------

// Bounds-checked reads from an open file. Read() answers 0, 11 for a range
// outside the file, or the code of an I/O error.
class TFileReader {
public:
    explicit TFileReader(const QString& fileName)
    {
        const QByteArray path = QFile::encodeName(fileName);
        // Without O_NONBLOCK, opening a FIFO would wait for a writer.
        fFd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fFd < 0) {
            fError = OSErrorFromErrno(errno);
            return;
        }
        struct stat st = {};
        if (::fstat(fFd, &st) != 0) {
            fError = OSErrorFromErrno(errno);
        } else if (S_ISDIR(st.st_mode)) {
            fError = OSErrorCode::kAccessDenied;
        } else if (!S_ISREG(st.st_mode)) {
            fError = OSErrorCode::kBadFormat;
        } else {
            fSize = std::uint64_t(st.st_size);
        }
    }
    ~TFileReader()
    {
        if (fFd >= 0)
            ::close(fFd);
    }
    TFileReader(const TFileReader&) = delete;
    TFileReader& operator=(const TFileReader&) = delete;

    TCode OpenError() const { return fError; }
    std::uint64_t Size() const { return fSize; }

    bool Contains(std::uint64_t offset, std::uint64_t count) const
    {
        return offset <= fSize && count <= fSize - offset;
    }

    TCode Read(std::uint64_t offset, void* buffer, std::size_t count) const
    {
        if (!Contains(offset, count))
            return OSErrorCode::kBadFormat;
        auto* p = static_cast<char*>(buffer);
        while (count > 0) {
            const ssize_t n = ::pread(fFd, p, count, off_t(offset));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return OSErrorFromErrno(errno);
            if (n == 0) // the file shrank under us
                return OSErrorCode::kReadFault;
            p += n;
            offset += std::uint64_t(n);
            count -= std::size_t(n);
        }
        return OSErrorCode::kSuccess;
    }

private:
    int fFd = -1;
    TCode fError = OSErrorCode::kSuccess;
    std::uint64_t fSize = 0;
};

struct TElfSection {
    std::uint32_t name = 0;
    std::uint32_t type = 0;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    std::uint32_t link = 0;
};

constexpr std::uint32_t kSectionNoBits = 8;             // SHT_NOBITS
constexpr std::uint16_t kSectionIndexExtended = 0xFFFF; // SHN_XINDEX
constexpr std::uint64_t kMaxSectionTable = 16u << 20;

class TElfFile {
public:
    explicit TElfFile(const TFileReader& file)
        : fFile(file)
    {
    }

    // Reads the header and the section table.
    TCode Load()
    {
        std::uint8_t ident[16];
        if (fFile.Read(0, ident, sizeof ident) != 0)
            return OSErrorCode::kBadFormat;
        if (std::memcmp(ident,
                        "\x7F"
                        "ELF",
                        4)
                != 0
            || (ident[4] != 1 && ident[4] != 2) || ident[5] != 1)
            return OSErrorCode::kBadFormat;
        fIs64 = ident[4] == 2;

        std::uint8_t header[64];
        const std::size_t headerSize = fIs64 ? 64 : 52;
        if (fFile.Read(0, header, headerSize) != 0)
            return OSErrorCode::kBadFormat;
        const std::uint64_t tableOffset = fIs64 ? Read64(header + 0x28) : Read32(header + 0x20);
        const std::size_t fieldBase = fIs64 ? 0x3A : 0x2E;
        fEntrySize = Read16(header + fieldBase);
        std::uint64_t count = Read16(header + fieldBase + 2);
        std::uint32_t nameTable = Read16(header + fieldBase + 4);
        if (tableOffset == 0)
            return OSErrorCode::kSuccess; // no sections at all
        if (fEntrySize < (fIs64 ? 64u : 40u))
            return OSErrorCode::kBadFormat;

        // Large tables keep the real count and name-table index in entry 0.
        if (count == 0 || nameTable == kSectionIndexExtended) {
            TElfSection first;
            if (TCode c = ReadEntry(tableOffset, first); c != 0)
                return c;
            if (count == 0)
                count = first.size;
            if (nameTable == kSectionIndexExtended)
                nameTable = first.link;
        }
        if (count == 0)
            return OSErrorCode::kSuccess;
        if (count > kMaxSectionTable / fEntrySize || !fFile.Contains(tableOffset, count * fEntrySize))
            return OSErrorCode::kBadFormat;
        fSections.resize(std::size_t(count));
        for (std::size_t i = 0; i < fSections.size(); ++i) {
            if (TCode c = ReadEntry(tableOffset + i * fEntrySize, fSections[i]); c != 0)
                return c;
        }
        if (nameTable == 0)
            return OSErrorCode::kSuccess; // sections without names
        if (nameTable >= fSections.size())
            return OSErrorCode::kBadFormat;
        const TElfSection& names = fSections[nameTable];
        if (names.type == kSectionNoBits || !fFile.Contains(names.offset, names.size))
            return OSErrorCode::kBadFormat;
        fNames.resize(std::size_t(names.size));
        return fNames.empty() ? TCode(OSErrorCode::kSuccess) : fFile.Read(names.offset, fNames.data(), fNames.size());
    }

    const TElfSection* Find(std::string_view name) const
    {
        for (const TElfSection& s : fSections) {
            if (s.name >= fNames.size())
                continue;
            const std::size_t room = fNames.size() - s.name;
            if (room > name.size() && std::memcmp(fNames.data() + s.name, name.data(), name.size()) == 0
                && fNames[s.name + name.size()] == '\0')
                return &s;
        }
        return nullptr;
    }

private:
    TCode ReadEntry(std::uint64_t at, TElfSection& s) const
    {
        std::uint8_t e[64];
        const std::size_t size = fIs64 ? 64 : 40;
        if (TCode c = fFile.Read(at, e, size); c != 0)
            return c;
        s.name = Read32(e);
        s.type = Read32(e + 4);
        s.offset = fIs64 ? Read64(e + 24) : Read32(e + 16);
        s.size = fIs64 ? Read64(e + 32) : Read32(e + 20);
        s.link = fIs64 ? Read32(e + 40) : Read32(e + 24);
        return OSErrorCode::kSuccess;
    }

    const TFileReader& fFile;
    bool fIs64 = false;
    std::uint64_t fEntrySize = 0;
    std::vector<TElfSection> fSections;
    std::vector<char> fNames;
};

// ---- Reader -----------------------------------------------------------------

// One node of a block: [begin, end) in the block, its key, its value and
// where its children start. Parse() accepts only a node that lies wholly
// inside its parent, with a terminated key and a value inside the node.
struct TNode {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t keyBegin = 0;
    std::size_t keyChars = 0;
    std::uint16_t valueLength = 0;
    std::size_t valueBegin = 0;
    std::size_t childrenBegin = 0;

    QString Key(const std::uint8_t* block) const
    {
        QString key(qsizetype(keyChars), Qt::Uninitialized);
        for (std::size_t i = 0; i < keyChars; ++i)
            key[qsizetype(i)] = QChar(Read16(block + keyBegin + 2 * i));
        return key;
    }
};

bool ParseNode(const std::uint8_t* block, std::size_t at, std::size_t limit, TNode& node)
{
    if (at > limit || limit - at < kNodeHeaderSize)
        return false;
    const std::size_t length = Read16(block + at);
    if (length < kNodeHeaderSize + 2 || length > limit - at)
        return false;
    node.begin = at;
    node.end = at + length;
    node.valueLength = Read16(block + at + 2);
    const std::uint16_t type = Read16(block + at + 4);

    node.keyBegin = at + kNodeHeaderSize;
    std::size_t p = node.keyBegin;
    while (p + 2 <= node.end && Read16(block + p) != 0)
        p += 2;
    if (p + 2 > node.end)
        return false; // key without its terminating zero
    node.keyChars = (p - node.keyBegin) / 2;

    const std::size_t valueBytes = type == kTextType ? 2 * std::size_t(node.valueLength) : node.valueLength;
    node.valueBegin = AlignUp4(p + 2);
    if (valueBytes == 0) {
        node.valueBegin = std::min(node.valueBegin, node.end);
        node.childrenBegin = node.valueBegin;
    } else {
        if (node.valueBegin > node.end || valueBytes > node.end - node.valueBegin)
            return false;
        node.childrenBegin = AlignUp4(node.valueBegin + valueBytes);
    }
    return true;
}

// Finds the child of `parent` named `name`. Answers 0, 13 for a damaged
// child met on the way, or 1813 when there is no such child.
TCode FindChild(const std::uint8_t* block, const TNode& parent, const QString& name, TNode& child)
{
    std::size_t at = parent.childrenBegin;
    while (at < parent.end) {
        if (!ParseNode(block, at, parent.end, child))
            return OSErrorCode::kInvalidData;
        if (child.Key(block).compare(name, Qt::CaseInsensitive) == 0)
            return OSErrorCode::kSuccess;
        at = AlignUp4(child.end); // each node is at least 8 bytes long, so this moves on
    }
    return OSErrorCode::kResourceTypeNotFound;
}

// Checks the root node of a block; answers its length or nothing.
std::optional<std::uint16_t> RootLength(const std::uint8_t* data, std::size_t size)
{
    TNode root;
    if (!ParseNode(data, 0, size, root) || root.Key(data) != kRootKey)
        return std::nullopt;
    return std::uint16_t(root.end);
}

// Reads the file's version block: its bytes from the section, and the length
// of its root node. Sets the last OS error on failure.
bool LoadBlock(const QString& fileName, QByteArray& data, std::uint16_t& length)
{
    if (!ReadElfSection(fileName, kVersionSectionName, kMaxBlockSize, data))
        return false;
    const auto root = RootLength(reinterpret_cast<const std::uint8_t*>(data.constData()), std::size_t(data.size()));
    if (!root) {
        SetLastOSError(OSErrorCode::kInvalidData);
        return false;
    }
    length = *root;
    return true;
}

} // namespace

bool ReadFixedFileInfo(const void* value, std::uint32_t length, TFixedFileInfo& info)
{
    if (!value || length < sizeof(TFixedFileInfo))
        return false;
    const auto* p = static_cast<const std::uint8_t*>(value);
    std::uint32_t fields[13];
    for (int i = 0; i < 13; ++i)
        fields[i] = Read32(p + 4 * i);
    if (fields[0] != kFixedFileInfoSignature)
        return false;
    info = TFixedFileInfo{fields[0], fields[1], fields[2], fields[3],  fields[4],  fields[5], fields[6],
                          fields[7], fields[8], fields[9], fields[10], fields[11], fields[12]};
    return true;
}

QByteArray BuildVersionBlock(const TVersionBlockContent& content)
{
    TBlockWriter w;
    const std::size_t root = w.Begin(kRootKey, sizeof(TFixedFileInfo), kBinaryType);
    for (std::uint32_t v :
         {kFixedFileInfoSignature, 0x00010000u, VersionHigh(content.FileVersion), VersionLow(content.FileVersion),
          VersionHigh(content.ProductVersion), VersionLow(content.ProductVersion), content.FileFlagsMask,
          content.FileFlags, content.FileOS, content.FileType, content.FileSubtype, 0u, 0u})
        w.Dword(v);

    const std::size_t stringInfo = w.Begin(QStringLiteral("StringFileInfo"), 0, kTextType);
    const QString tableName = QString::asprintf("%04X%04X", content.Language, content.CodePage);
    const std::size_t table = w.Begin(tableName, 0, kTextType);
    for (const auto& [name, text] : content.Strings) {
        const std::size_t entry = w.Begin(name, TextValueLength(text), kTextType);
        w.Text(text);
        w.End(entry);
    }
    w.End(table);
    w.End(stringInfo);

    const std::size_t varInfo = w.Begin(QStringLiteral("VarFileInfo"), 0, kTextType);
    const std::size_t translation = w.Begin(QStringLiteral("Translation"), 4, kBinaryType);
    w.Dword(content.Language | (std::uint32_t(content.CodePage) << 16));
    w.End(translation);
    w.End(varInfo);
    w.End(root);
    return w.Result();
}

std::string VersionBlockSource(const QByteArray& block, std::string_view symbol)
{
    std::string s;
    s += "// Written by lantrix-versionblock at build time: the program's version block.\n";
    s += "#if defined(__has_attribute)\n#if __has_attribute(retain)\n";
    s += "#define LANTRIX_VERSION_RETAIN __attribute__((retain))\n#endif\n#endif\n";
    s += "#ifndef LANTRIX_VERSION_RETAIN\n#define LANTRIX_VERSION_RETAIN\n#endif\n";
    s += "extern \"C\" __attribute__((section(\"";
    s += kVersionSectionName;
    s += "\"), used, aligned(4))) LANTRIX_VERSION_RETAIN\nconst unsigned char ";
    s += symbol;
    s += '[';
    s += std::to_string(block.size());
    s += "] = {";
    static const char kHex[] = "0123456789abcdef";
    for (qsizetype i = 0; i < block.size(); ++i) {
        const auto b = std::uint8_t(block[i]);
        s += (i % 16 == 0) ? "\n    " : " ";
        s += "0x";
        s += kHex[b >> 4];
        s += kHex[b & 15];
        s += ',';
    }
    s += "\n};\n";
    return s;
}

bool ReadElfSection(const QString& fileName, std::string_view sectionName, std::size_t maxBytes, QByteArray& contents)
{
    TFileReader file(fileName);
    if (TCode c = file.OpenError(); c != 0) {
        SetLastOSError(c);
        return false;
    }
    TElfFile elf(file);
    if (TCode c = elf.Load(); c != 0) {
        SetLastOSError(c);
        return false;
    }
    const TElfSection* section = elf.Find(sectionName);
    if (!section) {
        SetLastOSError(OSErrorCode::kResourceDataNotFound);
        return false;
    }
    if (section->type == kSectionNoBits) {
        SetLastOSError(OSErrorCode::kInvalidData);
        return false;
    }
    if (!file.Contains(section->offset, section->size)) {
        SetLastOSError(OSErrorCode::kBadFormat);
        return false;
    }
    const std::size_t count = std::size_t(std::min<std::uint64_t>(section->size, maxBytes));
    contents.resize(qsizetype(count));
    if (TCode c = file.Read(section->offset, contents.data(), count); c != 0) {
        SetLastOSError(c);
        return false;
    }
    return true;
}

std::uint32_t GetFileVersionInfoSizeW(const QString& fileName, std::uint32_t* handle)
{
    if (handle)
        *handle = 0;
    QByteArray data;
    std::uint16_t length = 0;
    return LoadBlock(fileName, data, length) ? length : 0;
}

bool GetFileVersionInfoW(const QString& fileName, std::uint32_t /*handle*/, std::uint32_t length, void* data)
{
    if (!data) {
        SetLastOSError(OSErrorCode::kInvalidParameter);
        return false;
    }
    QByteArray block;
    std::uint16_t blockLength = 0;
    if (!LoadBlock(fileName, block, blockLength))
        return false;
    if (length < blockLength) {
        SetLastOSError(OSErrorCode::kInsufficientBuffer);
        return false;
    }
    std::memcpy(data, block.constData(), blockLength);
    return true;
}

bool VerQueryValueW(const void* block, std::uint32_t blockLength, const QString& subBlock, const void** buffer,
                    std::uint32_t* length)
{
    if (!block || !buffer || !length) {
        SetLastOSError(OSErrorCode::kInvalidParameter);
        return false;
    }
    const auto* data = static_cast<const std::uint8_t*>(block);
    TNode node;
    if (!ParseNode(data, 0, blockLength, node)) {
        SetLastOSError(OSErrorCode::kInvalidData);
        return false;
    }
    const QStringList names = subBlock.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    for (const QString& name : names) {
        TNode child;
        if (TCode c = FindChild(data, node, name, child); c != 0) {
            SetLastOSError(c);
            return false;
        }
        node = child;
    }
    // The caller reads an entry of a string table as text, whatever type the
    // entry claims; its characters must then lie inside it.
    const bool stringEntry =
        names.size() == 3 && names[0].compare(QLatin1String("StringFileInfo"), Qt::CaseInsensitive) == 0;
    if (stringEntry && node.valueLength != 0
        && (node.valueBegin > node.end || 2 * std::size_t(node.valueLength) > node.end - node.valueBegin)) {
        SetLastOSError(OSErrorCode::kInvalidData);
        return false;
    }
    *buffer = data + node.valueBegin;
    *length = node.valueLength;
    return true;
}

QString VersionText(const void* value, std::uint32_t length)
{
    QString text;
    if (!value)
        return text;
    const auto* p = static_cast<const std::uint8_t*>(value);
    for (std::uint32_t i = 0; i < length; ++i) {
        const std::uint16_t c = Read16(p + 2 * std::size_t(i));
        if (c == 0)
            break;
        text.append(QChar(c));
    }
    return text;
}
