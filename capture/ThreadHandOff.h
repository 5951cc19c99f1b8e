// Hand-offs between threads that pass through the locks of GStreamer, GLib
// or Qt: starting and stopping a pipeline, GStreamer calling the capture's
// callbacks on its streaming thread, and an event posted to the GUI thread.
// Those libraries are not built with ThreadSanitizer and lock in ways it
// cannot see, so a thread-sanitized build is told of each hand-off here; it
// then checks the program's own code on both sides instead of reporting the
// hand-off as a race. In every other build these do nothing.
#pragma once

#if defined(__SANITIZE_THREAD__)
#define LANTRIX_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define LANTRIX_THREAD_SANITIZER 1
#endif
#endif

#ifdef LANTRIX_THREAD_SANITIZER
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
#endif

// What this thread wrote so far becomes visible to a thread that calls
// HandOffReceived with the same address after the hand-off.
inline void HandOffSent([[maybe_unused]] const void* address)
{
#ifdef LANTRIX_THREAD_SANITIZER
    __tsan_release(const_cast<void*>(address));
#endif
}

inline void HandOffReceived([[maybe_unused]] const void* address)
{
#ifdef LANTRIX_THREAD_SANITIZER
    __tsan_acquire(const_cast<void*>(address));
#endif
}
