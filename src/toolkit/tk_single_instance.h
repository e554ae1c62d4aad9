// tk_single_instance: the process-wide single-instance pattern.
//
// A class T that derives from tk_single_instance<T> registers the one live object in a static
// pointer when it is constructed and clears it when destroyed. Constructing a second object while
// one lives, or asking for the instance while none lives, is an assertion failure. The pointer is
// atomic so that worker threads may test it (the trace calls do) while the entry point owns the
// object; creation and destruction happen on the entry point's thread.
#pragma once

#include <atomic>

#include "tk_exception.h"

template <class T>
class tk_single_instance {
public:
    tk_single_instance(const tk_single_instance&) = delete;
    tk_single_instance& operator=(const tk_single_instance&) = delete;

    // The live instance; an assertion failure when there is none.
    static T& instance() {
        tk_single_instance* p = s_instance.load(std::memory_order_acquire);
        if (p == nullptr) {
            TK_FAIL();
        }
        return *static_cast<T*>(p);
    }

    // The live instance or nullptr, for callers that do nothing without one (the trace calls).
    static T* instance_if_any() noexcept {
        return static_cast<T*>(s_instance.load(std::memory_order_acquire));
    }

protected:
    tk_single_instance() {
        // The base pointer is registered, not a T*: while this constructor runs the T part does
        // not exist yet, and converting to it here is undefined (the sanitizers report it).
        tk_single_instance* expected = nullptr;
        if (!s_instance.compare_exchange_strong(expected, this,
                                                std::memory_order_acq_rel)) {
            TK_FAIL();
        }
    }

    // Clearing cannot fail: a second object never got registered, so the pointer is ours.
    ~tk_single_instance() { s_instance.store(nullptr, std::memory_order_release); }

private:
    static inline std::atomic<tk_single_instance*> s_instance{nullptr};
};
