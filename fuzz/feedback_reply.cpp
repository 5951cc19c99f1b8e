// The feedback page's reply as the feedback window judges it.
//
// Input: a byte choosing the character set that the reply declares, then
// the reply's body.
//
// Properties: the feedback counts as received exactly when the decoded reply,
// without its outer white space (line breaks of any kind included), is "OK";
// in a character set that writes ASCII as ASCII, "OK" with any outer white
// space and line breaks is received and anything with another character is
// not.
#include "support/FuzzCheck.h"

#include "online/Feedback.h"
#include "online/WebRequest.h"

#include <iterator>

namespace {

struct TDeclaredSet {
    const char* name;
    bool asciiAsAscii; // ASCII bytes stand for themselves
};

const TDeclaredSet kSets[] = {{"", true},        {"utf-8", true},     {"iso-8859-1", true},  {"windows-1252", true},
                              {"UTF-16", false}, {"utf-16le", false}, {"no-such-set", true}, {"shift_jis", true}};

bool ReceivedReference(const QString& reply)
{
    qsizetype begin = 0;
    qsizetype end = reply.size();
    while (begin < end && reply[begin].isSpace())
        ++begin;
    while (end > begin && reply[end - 1].isSpace())
        --end;
    return reply.mid(begin, end - begin) == QLatin1String("OK");
}

bool IsAsciiSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 0x10000)
        return 0;
    TFuzzInput input(data, size);
    const TDeclaredSet& set = kSets[input.Byte() % std::size(kSets)];
    const QByteArray body = input.RestBytes();
    const QString reply = DecodeReply(body, set.name);

    const bool received = IsFeedbackReceived(reply);
    FUZZ_CHECK(received == ReceivedReference(reply));

    if (set.asciiAsAscii) {
        bool ascii = true;
        for (char c : body)
            ascii = ascii && uint8_t(c) < 0x80 && c != '\0';
        if (ascii) {
            QByteArray inner = body;
            while (!inner.isEmpty() && IsAsciiSpace(inner.front()))
                inner.remove(0, 1);
            while (!inner.isEmpty() && IsAsciiSpace(inner.back()))
                inner.chop(1);
            FUZZ_CHECK(received == (inner == "OK"));
        }
    }
    return 0;
}
