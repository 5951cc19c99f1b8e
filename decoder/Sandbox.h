// What a decoder process may still do once it has started: read and write
// what it holds open, map memory, run threads. It opens no file, makes no
// socket and starts no program, and its address space is bounded.
#pragma once

#include <QString>

#include <cstdint>

// The room a decoder process gets beyond what it has mapped when it locks
// itself down: a picture of the largest size allowed, its grey plane and
// the readers' copies, with room to spare.
std::uint64_t DecoderAddressSpace(std::int64_t maxPictureBytes);

// Locks the calling process down for good: an address-space limit of what it
// has mapped now plus `room` bytes, no core dump, and a system-call filter
// that lets through only the calls a decoder needs (any other fails with
// EPERM). Gives the reason when that cannot be done, else an empty text; a
// process that cannot lock itself down must not go on to read a picture.
QString LockDown(std::uint64_t room);
