// lantrix-decoder: the process in which the window and lantrix-scan's live
// modes have their pictures read and decoded. It is started by them with its
// socket as descriptor 3 and serves until they close it; it is no program to
// run by hand.
//
//   lantrix-decoder [--max-pixels N]
#include "decode/PictureLoader.h"
#include "decoder/DecoderService.h"

#include <QByteArray>
#include <QGuiApplication>

#include <csignal>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    // It ends with the program that started it.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::fcntl(3, F_GETFD) < 0) {
        std::fputs("lantrix-decoder: started without its socket; it is started by lantrix and lantrix-scan\n", stderr);
        return 64;
    }
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--max-pixels") == 0)
            if (const qint64 pixels = QByteArray(argv[i + 1]).toLongLong(); pixels > 0)
                SetMaxPicturePixels(pixels);

    // The readers' complaints about a damaged picture are for no one: the
    // reply says what went wrong.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    // A GUI application without a display: the readers of drawings and their
    // text need one.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int applicationArgc = 1;
    char* applicationArgv[] = {argv[0], nullptr};
    QGuiApplication application(applicationArgc, applicationArgv);
    // The process ends without its exit handlers: what it holds goes with it.
    std::fflush(nullptr);
    ::_exit(ServeDecoder(3, TDecoderReaders::All, MaxPictureBytes()));
}
