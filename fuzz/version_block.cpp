// VerQueryValueW over arbitrary bytes taken as a version block, as
// GetFileVersionInfoW would have filled it.
//
// Properties: a value that a query answers lies wholly inside the block (texts
// of string tables with all their characters); names match without regard to
// the case of ASCII letters, and empty path components change nothing; bytes
// after the root node's length never change an answer; the text of a value
// stops at its length and at its first zero.
#include "support/FuzzCheck.h"

#include "platform/OSError.h"
#include "platform/VersionResource.h"

#include <QStringList>

#include <memory>
#include <vector>

namespace {

struct TAnswer {
    bool found = false;
    const void* value = nullptr;
    std::uint32_t length = 0;
    std::uint32_t error = 0;

    bool operator==(const TAnswer&) const = default;
};

TAnswer Query(const std::uint8_t* block, std::uint32_t blockLength, const QString& path)
{
    TAnswer answer;
    SetLastOSError(0);
    answer.found = VerQueryValueW(block, blockLength, path, &answer.value, &answer.length);
    if (!answer.found) {
        answer.value = nullptr;
        answer.length = 0;
        answer.error = GetLastOSError();
    }
    return answer;
}

// The path with the case of its ASCII letters turned round.
QString FlipAsciiCase(QString path)
{
    for (QChar& c : path) {
        const char16_t u = c.unicode();
        if (u >= 'a' && u <= 'z')
            c = QChar(u - 32);
        else if (u >= 'A' && u <= 'Z')
            c = QChar(u + 32);
    }
    return path;
}

bool IsStringEntry(const QString& path)
{
    const QStringList names = path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    return names.size() == 3 && names[0].compare(QLatin1String("StringFileInfo"), Qt::CaseInsensitive) == 0;
}

void CheckPath(const std::uint8_t* block, std::uint32_t blockLength, const QString& path)
{
    const TAnswer answer = Query(block, blockLength, path);
    if (answer.found) {
        const auto* value = static_cast<const std::uint8_t*>(answer.value);
        FUZZ_CHECK(value >= block && value <= block + blockLength);
        const std::size_t offset = std::size_t(value - block);
        // Binary values count bytes, texts characters: at the least the
        // length in bytes lies inside, and a string table's entry, which the
        // caller reads as text whatever its type, all its characters.
        FUZZ_CHECK(answer.length <= blockLength - offset);
        if (IsStringEntry(path))
            FUZZ_CHECK(2 * std::uint64_t(answer.length) <= blockLength - offset);
        // Read what the caller may read, for the sanitizer to see.
        const std::size_t readable = IsStringEntry(path) ? 2 * std::size_t(answer.length) : answer.length;
        unsigned sum = 0;
        for (std::size_t i = 0; i < readable; ++i)
            sum += value[i];
        (void)sum;
        if (IsStringEntry(path)) {
            const QString text = VersionText(answer.value, answer.length);
            FUZZ_CHECK(std::uint32_t(text.size()) <= answer.length);
            FUZZ_CHECK(!text.contains(QChar(0)));
        }
    } else {
        FUZZ_CHECK(answer.error == OSErrorCode::kInvalidData || answer.error == OSErrorCode::kResourceTypeNotFound
                   || answer.error == OSErrorCode::kInvalidParameter);
    }

    FUZZ_CHECK(Query(block, blockLength, FlipAsciiCase(path)) == answer);
    FUZZ_CHECK(Query(block, blockLength, QStringLiteral("\\\\") + path + QStringLiteral("\\")) == answer);
    // The root node's length bounds the block; nothing after it is read.
    if (blockLength >= 2) {
        const std::uint32_t rootLength = std::uint32_t(block[0] | (block[1] << 8));
        if (rootLength <= blockLength && Query(block, rootLength, QStringLiteral("\\")).found)
            FUZZ_CHECK(Query(block, rootLength, path) == answer);
    }
}

const char* const kEntries[] = {"CompanyName",    "FileDescription", "FileVersion",      "InternalName",
                                "LegalCopyright", "LegalTrademarks", "OriginalFileName", "ProductName",
                                "ProductVersion", "Comments",        "PrivateBuild",     "SpecialBuild"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 0x20000)
        return 0;
    // The block alone in memory of exactly its size.
    const std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[size + (size == 0)]);
    std::memcpy(block.get(), data, size);
    const auto length = std::uint32_t(size);

    CheckPath(block.get(), length, QStringLiteral("\\"));
    CheckPath(block.get(), length, QStringLiteral("\\StringFileInfo"));
    CheckPath(block.get(), length, QStringLiteral("\\VarFileInfo\\Translation\\"));

    const TAnswer root = Query(block.get(), length, QStringLiteral("\\"));
    TFixedFileInfo info{};
    if (ReadFixedFileInfo(root.value, root.length, info))
        FUZZ_CHECK(info.Signature == kFixedFileInfoSignature && root.length >= sizeof(TFixedFileInfo));

    // The string table of the first translation, as GetEXEVersionData looks for it.
    const TAnswer translation = Query(block.get(), length, QStringLiteral("\\VarFileInfo\\Translation\\"));
    QString table = QStringLiteral("040904E4");
    if (translation.found && translation.length >= 4) {
        const auto* t = static_cast<const std::uint8_t*>(translation.value);
        table = QString::asprintf("%.4X%.4X", t[0] | (t[1] << 8), t[2] | (t[3] << 8));
    }
    CheckPath(block.get(), length, QStringLiteral("\\StringFileInfo\\") + table);
    for (const char* entry : kEntries)
        CheckPath(block.get(), length,
                  QStringLiteral("\\StringFileInfo\\") + table + QLatin1Char('\\') + QLatin1String(entry));
    return 0;
}
