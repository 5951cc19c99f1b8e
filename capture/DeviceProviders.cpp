#include "capture/DeviceProviders.h"

#include "capture/GstSupport.h"

#include <QDebug>
#include <QFuture>
#include <QPromise>
#include <QSet>

#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

namespace {

constexpr const char* kVideoSource = "Video/Source";

std::atomic<std::chrono::milliseconds::rep> gTimeout{kDeviceProviderTimeout.count()};

// One probe of one device provider, on a thread of its own. The listings
// that wait for it and its thread share it; its thread fills it.
struct TProbe {
    std::string factoryName;
    QString longName;
    std::chrono::steady_clock::time_point deadline; // its start and the limit

    // Under the registry's lock.
    bool answered = false;
    bool named = false; // a listing has said that it passed over the provider
    std::vector<TCaptureDevice> devices;
    QSet<QString> hidden; // the factory names of the providers it hides
};

// The probes under way, by factory name, with the lock of every probe's
// state and the condition the listings wait on. Never destroyed: a probe
// left behind may end while the program is leaving.
struct TProbeRegistry {
    std::mutex lock;
    std::condition_variable changed;
    std::map<std::string, std::shared_ptr<TProbe>> running;
};

TProbeRegistry& Probes()
{
    static auto* registry = new TProbeRegistry;
    return *registry;
}

TCaptureDevice CaptureDeviceOf(GstDevice* device)
{
    const TGCharPtr name(gst_device_get_display_name(device));
    const TGstStructurePtr properties(gst_device_get_properties(device));
    TCaptureDevice entry;
    entry.name = QString::fromUtf8(name ? name.get() : "");
    entry.nodePath = V4L2NodePath(properties.get());
    entry.device = std::shared_ptr<GstDevice>(GST_DEVICE(gst_object_ref(device)), TGstObjectUnref());
    return entry;
}

// The probe's thread: asks the provider for its devices, however long that
// takes, and hands them over.
void RunProbe(const std::shared_ptr<TProbe>& probe, const TGstObjectPtr<GstDeviceProviderFactory>& factory)
{
    std::vector<TCaptureDevice> devices;
    QSet<QString> hidden;
    try {
        if (const TGstObjectPtr<GstDeviceProvider> provider{gst_device_provider_factory_get(factory.get())}) {
            GList* found = gst_device_provider_get_devices(provider.get());
            for (GList* item = found; item; item = item->next) {
                auto* device = GST_DEVICE(item->data);
                if (gst_device_has_classes(device, kVideoSource))
                    devices.push_back(CaptureDeviceOf(device));
            }
            g_list_free_full(found, gst_object_unref);
            // Read after the probe: a provider decides what it hides once it
            // has seen the devices.
            gchar** names = gst_device_provider_get_hidden_providers(provider.get());
            for (gchar** name = names; name && *name; ++name)
                hidden.insert(QString::fromUtf8(*name));
            g_strfreev(names);
        }
    } catch (...) {
        devices.clear(); // out of memory: the provider answers with nothing
    }
    TProbeRegistry& registry = Probes();
    {
        std::lock_guard lock(registry.lock);
        probe->devices = std::move(devices);
        probe->hidden = std::move(hidden);
        probe->answered = true;
        const auto entry = registry.running.find(probe->factoryName);
        if (entry != registry.running.end() && entry->second == probe)
            registry.running.erase(entry);
    }
    registry.changed.notify_all();
}

// The probe of the factory's provider under way, or a new one; nullptr when
// no thread can be had for a new one. A probe under way is not started
// again: one within its time is waited for as by the listing that started
// it, and one past its time is not waited for. Called under the registry's
// lock.
std::shared_ptr<TProbe> ProbeOf(TProbeRegistry& registry, GstDeviceProviderFactory* factory,
                                std::chrono::steady_clock::time_point now)
{
    const std::string name = GST_OBJECT_NAME(factory) ? GST_OBJECT_NAME(factory) : "";
    if (const auto running = registry.running.find(name); running != registry.running.end())
        return running->second;
    auto probe = std::make_shared<TProbe>();
    probe->factoryName = name;
    const char* longName = gst_device_provider_factory_get_metadata(factory, GST_ELEMENT_METADATA_LONGNAME);
    probe->longName = QString::fromUtf8(longName ? longName : name.c_str());
    probe->deadline = now + DeviceProviderTimeout();
    try {
        TGstObjectPtr<GstDeviceProviderFactory> reference(GST_DEVICE_PROVIDER_FACTORY(gst_object_ref(factory)));
        std::thread([probe, reference = std::move(reference)]() mutable {
            RunProbe(probe, reference);
            reference.reset();
        }).detach();
    } catch (const std::exception&) {
        return nullptr; // no thread to be had: the provider is not asked this time
    }
    registry.running[name] = probe;
    return probe;
}

} // namespace

void SetDeviceProviderTimeout(std::chrono::milliseconds timeout)
{
    gTimeout = timeout.count();
}

std::chrono::milliseconds DeviceProviderTimeout()
{
    return std::chrono::milliseconds(gTimeout.load());
}

void TListingStop::Request()
{
    TProbeRegistry& registry = Probes();
    {
        std::lock_guard lock(registry.lock);
        fRequested = true;
    }
    registry.changed.notify_all();
}

TSystemCameras ListSystemCameras(const std::shared_ptr<TListingStop>& stop)
{
    EnsureGStreamer();
    TSystemCameras cameras;
    TProbeRegistry& registry = Probes();
    std::vector<std::shared_ptr<TProbe>> probes; // in the providers' order
    GList* factories = gst_device_provider_factory_list_get_device_providers(static_cast<GstRank>(GST_RANK_NONE + 1));
    std::unique_lock lock(registry.lock);
    const auto now = std::chrono::steady_clock::now();
    for (GList* item = factories; item; item = item->next) {
        auto* factory = GST_DEVICE_PROVIDER_FACTORY(item->data);
        if (!gst_device_provider_factory_has_classes(factory, kVideoSource))
            continue;
        if (std::shared_ptr<TProbe> probe = ProbeOf(registry, factory, now))
            probes.push_back(std::move(probe));
    }
    // The providers that those that answered hide, which are not waited for.
    const auto hiddenNow = [&probes] {
        QSet<QString> hidden;
        for (const std::shared_ptr<TProbe>& probe : probes)
            if (probe->answered)
                hidden.unite(probe->hidden);
        return hidden;
    };
    // A probe past its time already is not waited for at all.
    for (const std::shared_ptr<TProbe>& probe : probes)
        registry.changed.wait_until(lock, probe->deadline, [&] {
            return probe->answered || (stop && stop->Requested())
                   || hiddenNow().contains(QString::fromStdString(probe->factoryName));
        });

    const QSet<QString> hidden = hiddenNow();
    const bool stopped = stop && stop->Requested();
    for (const std::shared_ptr<TProbe>& probe : probes) {
        if (hidden.contains(QString::fromStdString(probe->factoryName)))
            continue; // another provider lists its cameras, answered or not
        if (probe->answered)
            cameras.devices.insert(cameras.devices.end(), probe->devices.begin(), probe->devices.end());
        else if (!stopped && !std::exchange(probe->named, true))
            cameras.silentProviders.append(probe->longName);
    }
    lock.unlock();
    gst_plugin_feature_list_free(factories);

    for (const QString& provider : std::as_const(cameras.silentProviders))
        qWarning().noquote() << QStringLiteral("The device provider \"%1\" has not answered within %2 ms; its "
                                               "cameras are not listed until it does.")
                                    .arg(provider)
                                    .arg(DeviceProviderTimeout().count());
    return cameras;
}

TCameraListing::TCameraListing(TAnswer answer)
    : fAnswer(std::move(answer))
{
    QObject::connect(&fWatcher, &QFutureWatcherBase::finished, &fWatcher, [this] { Answered(); });
}

TCameraListing::~TCameraListing()
{
    Drop();
}

void TCameraListing::Drop()
{
    if (fStop)
        fStop->Request();
    fStop.reset();
    fPending = false;
}

void TCameraListing::Start()
{
    Drop();
    auto stop = std::make_shared<TListingStop>();
    QPromise<TSystemCameras> promise;
    fWatcher.setFuture(promise.future()); // the one watched before is not heard of again
    fStop = stop;
    fPending = true;
    try {
        std::thread([stop, promise = std::move(promise)]() mutable {
            promise.start();
            try {
                promise.addResult(ListSystemCameras(stop));
            } catch (...) {
                promise.addResult(TSystemCameras{}); // out of memory: nothing listed
            }
            promise.finish();
        }).detach();
    } catch (const std::exception&) {
        // No thread to be had: the promise was destroyed unfinished, which
        // cancels and finishes its future, and the answer lists nothing.
    }
}

void TCameraListing::Answered()
{
    // A listing dropped by a later Start may have finished before the watcher
    // turned to the later one: only the finished one watched now answers.
    if (!fPending || !fWatcher.isFinished())
        return;
    fPending = false;
    fStop.reset();
    const QFuture<TSystemCameras> future = fWatcher.future();
    TSystemCameras cameras = future.resultCount() > 0 ? future.result() : TSystemCameras{};
    fAnswer(cameras);
}
