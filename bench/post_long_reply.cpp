// The form POST against a server on 127.0.0.1 whose reply is "OK" followed by
// MIB mebibytes of filler, or one that never ends ("endless"): prints how the
// request ended and after how long. The figure to read is its peak memory,
// from outside, e.g.
//   farm-bench -n 3 -- build/bench/post_long_reply 1024
//   /usr/bin/time -v build/bench/post_long_reply endless
// The response time-out is the update check's, 10 s.

#include "online/UpdateCheck.h"
#include "online/WebRequest.h"
#include "support/WebTestServers.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QString size = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("1024");
    bool isNumber = false;
    const qint64 mebibytes = size.toLongLong(&isNumber);
    if (size != QLatin1String("endless") && (!isNumber || mebibytes < 0)) {
        std::fprintf(stderr, "usage: post_long_reply [MIB|endless]\n");
        return 64;
    }
    TAnswer answer{.body = "OK"};
    answer.filler = isNumber ? mebibytes * 1024 * 1024 : -1;
    TTestServer server(nullptr, answer); // answers from a thread of its own

    QElapsedTimer timer;
    timer.start();
    try {
        const QString reply = PostForm("http://" + server.Address(), {"cmd=feedback"}, kCheckTimeoutMs);
        std::printf("reply of %lld characters", static_cast<long long>(reply.size()));
    } catch (const TWebError& error) {
        std::printf("failed: %s", error.what());
    }
    std::printf(" after %lld ms; the server sent %lld bytes of body\n", static_cast<long long>(timer.elapsed()),
                static_cast<long long>(server.BodyBytesSent()));
    return 0;
}
