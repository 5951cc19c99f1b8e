// Faults on purpose, for the tests of what survives a decoder that dies: a
// build for testing (LANTRIX_DECODER_FAULTS) whose decoder process runs with
// LANTRIX_TEST_DECODER_FAULTS=1 in its environment treats a code that reads
// "lantrix-test-fault:KIND" as an order to fail that way. Any other build,
// and any other process, never does.
#pragma once

#include <QString>

#include <chrono>
#include <optional>

inline constexpr char kTestFaultPrefix[] = "lantrix-test-fault:";

// For a code whose text orders a fault: aborts ("abort"), dereferences a null
// pointer ("segv"), loops for ever ("loop"), allocates until no more address
// space comes ("alloc", which then raises std::bad_alloc), or tries what a locked
// decoder may not do ("probe": open a file, make a socket, start a process,
// run a program) and gives what each call answered. Nothing otherwise.
std::optional<QString> RunTestFault(const QString& text);

// The time limit for a decode in place of `limit`, as a test sets it
// (LANTRIX_TEST_DECODER_TIME_LIMIT_MS, test builds only).
std::chrono::milliseconds TestTimeLimit(std::chrono::milliseconds limit);
