// Handlers that cannot outlive what they use.
//
// An object with an event holds at most one handler for it. Connecting a
// handler gives a TEventConnection, and the event reaches the handler only
// while that connection lives: the caller keeps it beside what the handler
// uses (a member next to the members it touches, a local declared after the
// locals it captures), so that it goes first and no late event (a frame still
// queued, a sample on its way) reaches a handler whose objects are gone. The
// connection may outlive the object with the event; it then does nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>

class TEventConnection {
public:
    TEventConnection() = default;
    ~TEventConnection() { Disconnect(); }
    TEventConnection(TEventConnection&& other) noexcept
        : fSlot(std::move(other.fSlot))
        , fRelease(other.fRelease)
        , fGeneration(other.fGeneration)
    {
        other.fSlot.reset();
    }
    TEventConnection& operator=(TEventConnection&& other) noexcept
    {
        if (this != &other) {
            Disconnect();
            fSlot = std::move(other.fSlot);
            fRelease = other.fRelease;
            fGeneration = other.fGeneration;
            other.fSlot.reset();
        }
        return *this;
    }
    TEventConnection(const TEventConnection&) = delete;
    TEventConnection& operator=(const TEventConnection&) = delete;

    // Takes the handler off its event, unless another handler has replaced
    // it meanwhile; afterwards the event does not reach it. Safe to call
    // twice, and after the object with the event is gone.
    void Disconnect()
    {
        if (const std::shared_ptr<void> slot = fSlot.lock())
            fRelease(slot.get(), fGeneration);
        fSlot.reset();
    }

    // For the objects with events: a connection of the handler that the slot
    // holds as its generation-th.
    using TRelease = void (*)(void* slot, std::uint64_t generation);
    TEventConnection(const std::shared_ptr<void>& slot, TRelease release, std::uint64_t generation)
        : fSlot(slot)
        , fRelease(release)
        , fGeneration(generation)
    {
    }

private:
    std::weak_ptr<void> fSlot;
    TRelease fRelease = nullptr;
    std::uint64_t fGeneration = 0;
};

// The handler of an event raised on the thread that connects and disconnects
// it (the GUI thread). A handler may take itself off, or replace itself,
// while it runs: the running call keeps its own reference to it.
template <class Function>
class TEventHandler {
public:
    // Replaces the handler; an empty one leaves the event without a handler.
    [[nodiscard]] TEventConnection Connect(Function handler)
    {
        ++fSlot->generation;
        fSlot->handler = handler ? std::make_shared<const Function>(std::move(handler)) : nullptr;
        return TEventConnection(fSlot, &Release, fSlot->generation);
    }

    explicit operator bool() const { return fSlot->handler != nullptr; }

    // Calls the handler, if there is one.
    template <class... Arguments>
    void operator()(Arguments&&... arguments) const
    {
        if (const std::shared_ptr<const Function> handler = fSlot->handler)
            (*handler)(std::forward<Arguments>(arguments)...);
    }

private:
    struct TSlot {
        std::shared_ptr<const Function> handler;
        std::uint64_t generation = 0;
    };

    static void Release(void* slot, std::uint64_t generation)
    {
        auto* state = static_cast<TSlot*>(slot);
        if (state->generation == generation)
            state->handler.reset();
    }

    std::shared_ptr<TSlot> fSlot = std::make_shared<TSlot>();
};

// The handler of an event raised on another thread (a streaming thread). The
// handler runs under a lock: when Connect or the connection's Disconnect
// returns, a call of the previous handler that was under way has ended. So
// neither may be called from inside the handler.
template <class Function>
class TSharedEventHandler {
public:
    [[nodiscard]] TEventConnection Connect(Function handler)
    {
        std::lock_guard lock(fSlot->lock);
        ++fSlot->generation;
        fSlot->handler = std::move(handler);
        return TEventConnection(fSlot, &Release, fSlot->generation);
    }

    // Takes the handler off, as its connection would.
    void Clear()
    {
        std::lock_guard lock(fSlot->lock);
        ++fSlot->generation;
        fSlot->handler = Function();
    }

    // Runs call(handler, generation) under the lock when a handler is
    // connected; generation tells the handlers apart (each Connect and
    // Clear counts one up). Gives whether it ran.
    template <class Call>
    bool With(Call&& call) const
    {
        std::lock_guard lock(fSlot->lock);
        if (!fSlot->handler)
            return false;
        call(fSlot->handler, fSlot->generation);
        return true;
    }

private:
    struct TSlot {
        std::mutex lock;
        Function handler{};
        std::uint64_t generation = 0;
    };

    static void Release(void* slot, std::uint64_t generation)
    {
        auto* state = static_cast<TSlot*>(slot);
        std::lock_guard lock(state->lock);
        if (state->generation == generation)
            state->handler = Function();
    }

    std::shared_ptr<TSlot> fSlot = std::make_shared<TSlot>();
};
