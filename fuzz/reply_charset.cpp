// The character set that a server's reply declares in its Content-Type, and
// the decoding of the reply's body by it.
//
// Input: a byte giving the length of the Content-Type value, that value (as
// libcurl hands it over, up to its first NUL), then the body.
//
// Properties: the declared character set holds no ";" and, unless it is
// quoted, no outer white space, and is taken from the value; the body is
// decoded the same way each time; an empty or unknown character set, and UTF-8 under any of its
// names, decodes as UTF-8; ISO-8859-1 gives one character per byte, of the
// byte's value. A value built of a media type and parameters with a charset
// among them gives that charset, bare or quoted, whatever the case of its
// name and the white space around the parameters.
#include "support/FuzzCheck.h"

#include "online/WebRequest.h"

#include <QStringDecoder>

namespace {

bool IsHeaderSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A Content-Type value made of the input's bytes: a media type, white
// space, parameters of other names and then "charset" spelled in the case
// the input picks, with a value of letters, digits and "-_.:" that is quoted
// or not. Answers the value and sets `charset` to what it declares.
QByteArray BuiltContentType(TFuzzInput& input, QByteArray& charset)
{
    static const char* const kSpaces[] = {"", " ", "\t", "  "};
    static const char kValueCharacters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_.:";
    QByteArray value = input.Byte() % 2 ? "text/html" : "text/plain";
    const int others = input.Byte() % 4;
    for (int i = 0; i < others; ++i)
        value += QByteArray(";") + kSpaces[input.Byte() % 4] + "boundary=x" + QByteArray::number(i);
    QByteArray name = "charset";
    const uint8_t caseBits = input.Byte();
    for (int i = 0; i < name.size(); ++i)
        if (caseBits & (1 << i))
            name[i] = char(name[i] - 'a' + 'A');
    charset.clear();
    const int length = 1 + input.Byte() % 16;
    for (int i = 0; i < length; ++i)
        charset += kValueCharacters[input.Byte() % (sizeof kValueCharacters - 1)];
    const bool quoted = input.Byte() % 2;
    value += QByteArray(";") + kSpaces[input.Byte() % 4] + name + "=" + (quoted ? "\"" : "") + charset
             + (quoted ? "\"" : "") + kSpaces[input.Byte() % 4];
    if (input.Byte() % 2)
        value += "; charset=second";
    return value;
}

void CheckDecoding(const QByteArray& body, const QByteArray& charset)
{
    const QString text = DecodeReply(body, charset);
    FUZZ_CHECK(DecodeReply(body, charset) == text);

    const QByteArray lower = charset.toLower();
    const bool known = !charset.isEmpty() && QStringDecoder(charset.constData()).isValid();
    if (!known || lower == "utf-8" || lower == "utf8")
        FUZZ_CHECK(text == QString::fromUtf8(body));
    if (lower == "iso-8859-1" || lower == "latin1") {
        FUZZ_CHECK(text.size() == body.size());
        for (qsizetype i = 0; i < body.size(); ++i)
            FUZZ_CHECK(text[i].unicode() == uint8_t(body[i]));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 0x10000)
        return 0;
    TFuzzInput input(data, size);
    const uint8_t header = input.Byte();
    if (header == 0xFF) {
        // A built value whose charset is known.
        QByteArray expected;
        const QByteArray contentType = BuiltContentType(input, expected);
        FUZZ_CHECK(DeclaredCharset(contentType.constData()) == expected);
        CheckDecoding(input.RestBytes(), expected);
        return 0;
    }
    const size_t length = std::min<size_t>(header, input.RestSize());
    // As libcurl gives it: a C string, so it ends at its first NUL.
    const QByteArray contentType = QByteArray(reinterpret_cast<const char*>(input.Rest()), qsizetype(length)) + '\0';
    for (size_t i = 0; i < length; ++i)
        input.Byte();
    const QByteArray charset = DeclaredCharset(contentType.constData());
    FUZZ_CHECK(DeclaredCharset(nullptr).isEmpty());
    FUZZ_CHECK(!charset.contains(';'));
    // A quoted value is taken as it stands, blank space inside the quotes included.
    const bool quoted = contentType.contains('"' + charset + '"');
    FUZZ_CHECK(charset.isEmpty() || quoted || (!IsHeaderSpace(charset.front()) && !IsHeaderSpace(charset.back())));
    FUZZ_CHECK(contentType.contains(charset));
    if (!contentType.contains('='))
        FUZZ_CHECK(charset.isEmpty());
    CheckDecoding(input.RestBytes(), charset);
    return 0;
}
