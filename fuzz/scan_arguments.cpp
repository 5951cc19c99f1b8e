// lantrix-scan's command line.
//
// Input: the arguments after the program's name, each ended by a NUL byte
// (the last one also by the input's end).
//
// Properties: the arguments are left as they are; a command line is either
// taken, with nothing written, or refused with a message that starts with
// "lantrix-scan: " and ends with a line break (no more than two lines when no
// argument holds a line break). What is taken fits together: the files are
// arguments in their order and every argument after the first "--" is one
// of them; --list-cameras goes alone, a live scan has no files, a scan of
// files has at least one, standard input is read once, --raw and
// --raw-bytes take one file, --raw-bytes goes without --json and --all, a
// count and a time-out are not negative, go with a live scan only, and the
// time-out is finite and at most a day. The same command line gives the same
// answer again. --help, -h and --version are seen where they are options.
#include "support/FuzzCheck.h"

#include "cli/ScanOptions.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// The options written with their value as the next argument.
bool TakesValue(const std::string& argument)
{
    for (const char* name :
         {"--format", "--raw", "--save-bitmap", "--camera", "--pipeline", "--count", "--timeout", "--max-megapixels"})
        if (argument == name)
            return true;
    return false;
}

// The options and the message of one parse.
struct TParse {
    std::optional<TScanOptions> options;
    std::string message;
};

// The program's argv over the arguments, ended by a null pointer.
std::vector<char*> Argv(std::vector<std::string>& arguments)
{
    static char program[] = "lantrix-scan";
    std::vector<char*> argv{program};
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    return argv;
}

TParse ParseOnce(std::vector<std::string>& arguments)
{
    std::vector<char*> argv = Argv(arguments);

    char* buffer = nullptr;
    size_t length = 0;
    std::FILE* errors = open_memstream(&buffer, &length);
    FUZZ_CHECK(errors != nullptr);
    TParse parse;
    parse.options = ParseScanArguments(int(argv.size() - 1), argv.data(), errors);
    std::fclose(errors);
    parse.message.assign(buffer, length);
    std::free(buffer);
    return parse;
}

bool SameOptions(const TScanOptions& a, const TScanOptions& b)
{
    return a.decode.format == b.decode.format && a.json == b.json && a.decode.inverted == b.decode.inverted
           && a.all == b.all && a.rawBytes == b.rawBytes && a.files == b.files && a.raw.has_value() == b.raw.has_value()
           && a.saveBitmap == b.saveBitmap && a.camera == b.camera && a.pipeline == b.pipeline && a.count == b.count
           && a.timeoutSeconds == b.timeoutSeconds && a.listCameras == b.listCameras;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 0x1000)
        return 0;
    std::vector<std::string> arguments;
    std::string current;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            arguments.push_back(current);
            current.clear();
        } else {
            current.push_back(char(data[i]));
        }
    }
    if (!current.empty() || arguments.empty())
        arguments.push_back(current);
    if (arguments.size() > 64)
        return 0;
    const std::vector<std::string> given = arguments;

    // --help, -h and --version are options before the "--" that ends the
    // options, and not an option's value.
    bool help = false, version = false;
    for (size_t i = 0; i < given.size() && given[i] != "--"; ++i) {
        help = help || given[i] == "--help" || given[i] == "-h";
        version = version || given[i] == "--version";
        if (TakesValue(given[i]))
            ++i;
    }
    std::vector<char*> argv = Argv(arguments);
    FUZZ_CHECK(WantsHelp(int(argv.size() - 1), argv.data()) == help);
    FUZZ_CHECK(WantsVersion(int(argv.size() - 1), argv.data()) == version);

    const TParse parse = ParseOnce(arguments);
    FUZZ_CHECK(arguments == given);

    const TParse again = ParseOnce(arguments);
    FUZZ_CHECK(again.message == parse.message);
    FUZZ_CHECK(again.options.has_value() == parse.options.has_value());
    if (parse.options)
        FUZZ_CHECK(SameOptions(*again.options, *parse.options));

    if (!parse.options) {
        FUZZ_CHECK(parse.message.rfind("lantrix-scan: ", 0) == 0);
        FUZZ_CHECK(parse.message.back() == '\n');
        bool breaks = false;
        for (const std::string& argument : given)
            breaks = breaks || argument.find_first_of("\r\n") != std::string::npos;
        if (!breaks) {
            size_t lines = 0;
            for (char c : parse.message)
                lines += c == '\n';
            FUZZ_CHECK(lines <= 2);
        }
        return 0;
    }
    FUZZ_CHECK(parse.message.empty());
    const TScanOptions& options = *parse.options;

    // The files are arguments, in their order, and they end with every
    // argument after the first "--".
    size_t next = 0;
    for (const QByteArray& file : options.files) {
        while (next < given.size() && file != QByteArray::fromStdString(given[next]))
            ++next;
        FUZZ_CHECK(next < given.size());
        ++next;
    }
    // The "--" that ends the options is the first one that is not the value
    // of the option before it ("--pipeline -- ..." gives "--" as the
    // pipeline, as getopt would).
    for (size_t i = 0; i < given.size(); ++i) {
        const std::string& argument = given[i];
        if (argument == "--") {
            const size_t after = given.size() - i - 1;
            FUZZ_CHECK(size_t(options.files.size()) >= after);
            for (size_t k = 0; k < after; ++k)
                FUZZ_CHECK(options.files[qsizetype(options.files.size() - after + k)]
                           == QByteArray::fromStdString(given[i + 1 + k]));
            break;
        }
        if (TakesValue(argument))
            ++i;
    }

    FUZZ_CHECK(options.count >= 0);
    FUZZ_CHECK(std::isfinite(options.timeoutSeconds) && options.timeoutSeconds >= 0.0
               && options.timeoutSeconds <= 24.0 * 60 * 60);
    if (options.listCameras) {
        FUZZ_CHECK(options.files.isEmpty() && !options.Live() && !options.raw);
        return 0;
    }
    if (options.count > 0 || options.timeoutSeconds > 0.0)
        FUZZ_CHECK(options.Live());
    FUZZ_CHECK(!(options.camera && options.pipeline));
    if (options.rawBytes)
        FUZZ_CHECK(!options.json && !options.all && options.files.size() <= 1);
    if (options.Live()) {
        FUZZ_CHECK(options.files.isEmpty() && !options.raw && options.saveBitmap.isEmpty());
        FUZZ_CHECK(!options.pipeline || !options.pipeline->trimmed().isEmpty());
        return 0;
    }
    FUZZ_CHECK(!options.files.isEmpty());
    FUZZ_CHECK(options.files.count(kStandardInputName) <= 1);
    if (options.raw) {
        FUZZ_CHECK(options.files.size() == 1);
        FUZZ_CHECK(options.raw->width > 0 && options.raw->height > 0);
    }
    if (!options.saveBitmap.isEmpty())
        FUZZ_CHECK(options.raw.has_value());
    return 0;
}
