// Runs a program as a separate process with arguments given as bytes (file
// names need not be UTF-8), something on its standard input, and its output
// collected; for the tests of the command-line scanner.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <chrono>
#include <functional>

struct TCommandOutcome {
    bool finished = false; // ended by itself within the time
    int exitCode = -1;     // when it exited
    int signal = 0;        // when a signal ended it
    QByteArray out, err;
};

struct TCommand {
    QByteArray program;
    QList<QByteArray> arguments;
    QByteArray input;         // written to its standard input, which is then closed
    QByteArray workingFolder; // empty: the test's own
    std::chrono::milliseconds timeout{60000};
    // Called while it runs with the output so far; true sends SIGINT once.
    std::function<bool(const QByteArray& out)> interruptWhen;
};

// Runs the command to its end; a command still running after its time is
// killed (finished stays false).
TCommandOutcome RunCommand(const TCommand& command);

// The path of a built program of this tree, e.g. BuiltProgram("lantrix-scan").
QByteArray BuiltProgram(const char* name);
