// lantrix-versionblock: writes the program's version block as a C++ source
// that puts it into the executable's version section.
//
//   lantrix-versionblock <out.cpp> --file-version A.B.C.D --product-version A.B.C.D
//                        --translation <language hex> <code page hex> Name=Text...

#include "platform/VersionResource.h"

#include <QString>
#include <QStringList>

#include <cstdio>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>

namespace {

std::optional<std::array<std::uint16_t, 4>> ParseVersion(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.isEmpty() || parts.size() > 4)
        return std::nullopt;
    std::array<std::uint16_t, 4> v{};
    for (int i = 0; i < parts.size(); ++i) {
        bool ok = false;
        const uint n = parts[i].toUInt(&ok, 10);
        if (!ok || n > 0xFFFF)
            return std::nullopt;
        v[std::size_t(i)] = std::uint16_t(n);
    }
    return v;
}

std::optional<std::uint16_t> ParseHexWord(const QString& text)
{
    bool ok = false;
    const uint n = text.toUInt(&ok, 16);
    if (!ok || n > 0xFFFF)
        return std::nullopt;
    return std::uint16_t(n);
}

[[noreturn]] void Fail(const std::string& message)
{
    std::fprintf(stderr, "lantrix-versionblock: %s\n", message.c_str());
    std::fprintf(stderr, "usage: lantrix-versionblock <out.cpp> --file-version A.B.C.D --product-version A.B.C.D "
                         "--translation <language> <code page> Name=Text...\n");
    std::exit(2);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        Fail("no output file given");
    const std::string outName = argv[1];
    TVersionBlockContent content;
    bool haveFile = false, haveProduct = false, haveTranslation = false;

    for (int i = 2; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        auto next = [&](const char* what) {
            if (i + 1 >= argc)
                Fail(std::string(what) + " needs a value");
            return QString::fromLocal8Bit(argv[++i]);
        };
        if (arg == QLatin1String("--file-version") || arg == QLatin1String("--product-version")) {
            const bool file = arg == QLatin1String("--file-version");
            const auto v = ParseVersion(next(argv[i]));
            if (!v)
                Fail("bad version number after " + arg.toStdString());
            (file ? content.FileVersion : content.ProductVersion) = *v;
            (file ? haveFile : haveProduct) = true;
        } else if (arg == QLatin1String("--translation")) {
            const auto language = ParseHexWord(next("--translation"));
            const auto codePage = ParseHexWord(next("--translation"));
            if (!language || !codePage)
                Fail("bad translation; expected two hexadecimal numbers such as 0409 04E4");
            content.Language = *language;
            content.CodePage = *codePage;
            haveTranslation = true;
        } else if (const qsizetype eq = arg.indexOf(QLatin1Char('=')); eq > 0 && !arg.startsWith(QLatin1String("--"))) {
            content.Strings.emplace_back(arg.left(eq), arg.mid(eq + 1));
        } else {
            Fail("unknown argument: " + arg.toStdString());
        }
    }
    if (!haveFile || !haveProduct || !haveTranslation)
        Fail("--file-version, --product-version and --translation are required");

    std::string source;
    try {
        source = VersionBlockSource(BuildVersionBlock(content), "lantrix_version_block");
    } catch (const std::exception& e) {
        Fail(e.what());
    }
    std::ofstream out(outName, std::ios::binary | std::ios::trunc);
    out << source;
    out.close();
    if (!out)
        Fail("cannot write " + outName);
    return 0;
}
