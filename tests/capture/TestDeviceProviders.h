// GStreamer device providers of the tests' own, registered in the test's
// process: each lists the devices it is given (test cameras of class
// "Video/Source", whose element is a live test pattern, or devices of another
// class), may hide other providers, and may hang in its probe until the test
// lets it go.
#pragma once

#include "capture/GstSupport.h"

#include <gst/gst.h>

#include <QString>
#include <QStringList>

#include <cctype>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct TTestProviderSpec {
    QString name = {};                    // the factory's name; unique in the process
    QStringList cameras = {};             // display names of its "Video/Source" devices
    QStringList others = {};              // display names of its "Audio/Source" devices
    QStringList hides = {};               // factory names of the providers it hides
    bool hangs = false;                   // its probe waits until the test lets it go
    const char* classes = "Source/Video"; // the factory's class
    QString LongName() const { return QStringLiteral("Lantrix Test Provider ") + name; }
};

// The format every test camera announces and its test pattern gives.
inline constexpr const char* kTestProviderCameraCaps = "video/x-raw,format=YUY2,width=320,height=240,framerate=30/1";

namespace test_device_providers {

// What one provider's probes share with the test. Kept for the rest of the
// process: a type's class refers to it for good.
struct TState {
    TTestProviderSpec spec;
    std::mutex lock;
    std::condition_variable changed;
    bool released = false;
    int probes = 0;  // probes started
    int answers = 0; // probes that have returned
    int waiting = 0; // probes hanging now
};

struct TProviderClass {
    GstDeviceProviderClass parent;
    TState* state;
};

inline GstElement* CreateCameraElement(GstDevice*, const gchar* name)
{
    GstElement* element = gst_element_factory_make("videotestsrc", name);
    if (element)
        g_object_set(element, "is-live", TRUE, nullptr);
    return element;
}

inline void CameraClassInit(gpointer klass, gpointer)
{
    GST_DEVICE_CLASS(klass)->create_element = &CreateCameraElement;
}

inline GType CameraType()
{
    static const GType type =
        g_type_register_static_simple(GST_TYPE_DEVICE, "LantrixTestProviderCamera", sizeof(GstDeviceClass),
                                      &CameraClassInit, sizeof(GstDevice), nullptr, GTypeFlags(0));
    return type;
}

inline GstDevice* NewDevice(const QString& name, const char* deviceClass)
{
    TGstCapsPtr caps(gst_caps_from_string(kTestProviderCameraCaps));
    return GST_DEVICE(g_object_new(CameraType(), "display-name", name.toUtf8().constData(), "device-class", deviceClass,
                                   "caps", caps.get(), nullptr));
}

inline GList* Probe(GstDeviceProvider* provider)
{
    TState& state = *reinterpret_cast<TProviderClass*>(GST_DEVICE_PROVIDER_GET_CLASS(provider))->state;
    {
        std::unique_lock lock(state.lock);
        ++state.probes;
        if (state.spec.hangs) {
            ++state.waiting;
            state.changed.notify_all();
            state.changed.wait(lock, [&] { return state.released; });
            --state.waiting;
        }
    }
    GList* devices = nullptr;
    for (const QString& name : state.spec.cameras)
        devices = g_list_append(devices, NewDevice(name, "Video/Source"));
    for (const QString& name : state.spec.others)
        devices = g_list_append(devices, NewDevice(name, "Audio/Source"));
    {
        std::lock_guard lock(state.lock);
        ++state.answers;
    }
    state.changed.notify_all();
    return devices;
}

inline void ProviderClassInit(gpointer klass, gpointer data)
{
    auto* state = static_cast<TState*>(data);
    reinterpret_cast<TProviderClass*>(klass)->state = state;
    auto* providerClass = GST_DEVICE_PROVIDER_CLASS(klass);
    providerClass->probe = &Probe;
    gst_device_provider_class_set_metadata(providerClass, state->spec.LongName().toUtf8().constData(),
                                           state->spec.classes, "A device provider of the tests", "Lantrix");
}

inline void ProviderInit(GTypeInstance* instance, gpointer klass)
{
    auto* provider = GST_DEVICE_PROVIDER(instance);
    for (const QString& name : reinterpret_cast<TProviderClass*>(klass)->state->spec.hides)
        gst_device_provider_hide_provider(provider, name.toUtf8().constData());
}

inline std::deque<TState>& States()
{
    static auto* states = new std::deque<TState>; // outlives any probe left behind
    return *states;
}

} // namespace test_device_providers

// Registers providers for as long as it lives. At its end it lets every
// hanging probe go, waits for it to return, and takes the providers out of
// GStreamer's registry.
class TTestDeviceProviders {
public:
    TTestDeviceProviders() { EnsureGStreamer(); }
    ~TTestDeviceProviders()
    {
        Release();
        for (test_device_providers::TState* state : fStates) {
            std::unique_lock lock(state->lock);
            state->changed.wait_for(lock, std::chrono::seconds(60), [&] { return state->answers == state->probes; });
        }
        for (test_device_providers::TState* state : fStates) {
            const TGstObjectPtr<GstDeviceProviderFactory> factory(
                gst_device_provider_factory_find(state->spec.name.toUtf8().constData()));
            if (factory)
                gst_registry_remove_feature(gst_registry_get(), GST_PLUGIN_FEATURE(factory.get()));
        }
    }
    TTestDeviceProviders(const TTestDeviceProviders&) = delete;
    TTestDeviceProviders& operator=(const TTestDeviceProviders&) = delete;

    // Registers a provider of rank "primary"; false when GStreamer refuses it.
    bool Add(const TTestProviderSpec& spec)
    {
        using namespace test_device_providers;
        TState& state = States().emplace_back();
        state.spec = spec;
        fStates.push_back(&state);
        GTypeInfo info{};
        info.class_size = sizeof(TProviderClass);
        info.class_init = &ProviderClassInit;
        info.class_data = &state;
        info.instance_size = sizeof(GstDeviceProvider);
        info.instance_init = &ProviderInit;
        const std::string typeName = "LantrixTestProvider_" + spec.name.toStdString();
        std::string gtypeName;
        for (char c : typeName) // a type's name takes letters, digits, '_', '-' and '+'
            gtypeName += std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' ? c : '_';
        const GType type = g_type_register_static(GST_TYPE_DEVICE_PROVIDER, gtypeName.c_str(), &info, GTypeFlags(0));
        return type != 0
               && gst_device_provider_register(nullptr, spec.name.toUtf8().constData(), GST_RANK_PRIMARY, type);
    }

    // Lets every hanging probe answer, now and from now on.
    void Release()
    {
        for (test_device_providers::TState* state : fStates) {
            {
                std::lock_guard lock(state->lock);
                state->released = true;
            }
            state->changed.notify_all();
        }
    }

    // The probes of the named provider started so far, and those hanging now.
    int Probes(const QString& name) const { return Read(name, &test_device_providers::TState::probes); }
    int Waiting(const QString& name) const { return Read(name, &test_device_providers::TState::waiting); }

private:
    using TCount = int(test_device_providers::TState::*);

    int Read(const QString& name, TCount field) const
    {
        for (test_device_providers::TState* state : fStates)
            if (state->spec.name == name) {
                std::lock_guard lock(state->lock);
                return state->*field;
            }
        return -1;
    }

    std::vector<test_device_providers::TState*> fStates;
};
