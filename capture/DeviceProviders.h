// The system's cameras, asked of GStreamer's device providers, each provider
// on a thread of its own and for a limited time, so that one that hangs (the
// PipeWire provider where no PipeWire runs: libpipewire 0.3.65 may never come
// back from tearing its failed connection down) costs its own cameras and
// never the caller nor the other providers.
//
//   A listing asks every provider whose factory is of class "Video/Source"
//   for its devices (a probe) and keeps those devices of class
//   "Video/Source". It waits for each probe up to the time limit, counted
//   from the probe's start, and lists the providers that answered in the
//   order GStreamer ranks them (as its device monitor does); a provider that
//   another one that answered hides (gst_device_provider_hide_provider:
//   PipeWire hides Video4Linux once it shows the V4L2 cameras) is not listed.
//
//   A probe that does not answer in time is left behind: its thread holds
//   its own references to the provider and to what it fills, and nothing it
//   touches is freed under it. While it runs, no other probe of that
//   provider is started: a later listing waits for it while it is within its
//   time and passes over its provider once that is up. The first listing
//   that passes over a provider names it (TSystemCameras::silentProviders,
//   and a warning in the log); later ones do not. Once the probe answers, a
//   listing that meets it takes its answer, and the next ones ask the
//   provider anew. Providers hidden by one that answered are not waited for.
#pragma once

#include "capture/CaptureDevices.h"

#include <QFutureWatcher>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

// How long a listing waits for a device provider.
constexpr std::chrono::milliseconds kDeviceProviderTimeout{4000};
// Replaces the limit for the listings started from here on (tests shorten it).
void SetDeviceProviderTimeout(std::chrono::milliseconds timeout);
std::chrono::milliseconds DeviceProviderTimeout();

struct TSystemCameras {
    std::vector<TCaptureDevice> devices; // of the providers that answered, in their order
    // The long names of the providers this listing was the first to pass
    // over: they have not answered within the limit.
    QStringList silentProviders;
};

// Asks a listing to stop waiting: it then returns at once with what has
// answered so far. Shared between the listing and whoever may stop it.
class TListingStop {
public:
    void Request();
    bool Requested() const { return fRequested.load(); }

private:
    std::atomic<bool> fRequested{false};
};

// Lists the system's cameras (see above); waits up to the limit for each
// provider, or until `stop` is requested. Any thread may call it, several at
// once.
TSystemCameras ListSystemCameras(const std::shared_ptr<TListingStop>& stop = nullptr);

// A listing of the system's cameras on a thread of its own, whose answer
// comes back on the thread that made this object, which must run a Qt event
// loop. The caller never waits for a provider.
class TCameraListing {
public:
    using TAnswer = std::function<void(TSystemCameras& cameras)>;
    // answer: called with each listing's result, on this thread.
    explicit TCameraListing(TAnswer answer);
    // A listing under way is told to stop waiting and its answer is dropped.
    ~TCameraListing();
    TCameraListing(const TCameraListing&) = delete;
    TCameraListing& operator=(const TCameraListing&) = delete;

    // Starts a listing; one still under way is dropped as the destructor
    // drops it. Returns at once.
    void Start();
    // A listing has been started and has not answered yet.
    bool Pending() const { return fPending; }

private:
    void Answered();
    void Drop();

    TAnswer fAnswer;
    QFutureWatcher<TSystemCameras> fWatcher;
    std::shared_ptr<TListingStop> fStop;
    bool fPending = false;
};
