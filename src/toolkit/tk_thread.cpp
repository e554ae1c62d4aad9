#include "tk_thread.h"

#include <condition_variable>
#include <mutex>
#include <system_error>

#include "tk_exception.h"
#include "tk_log.h"

// What the driving thread and the worker share during one run. The driving thread joins the
// worker before it resets or frees this block, so the worker never outlives it.
struct tk_thread::control {
    std::atomic<bool> stop{false};
    std::atomic<bool> finished{false};
    std::exception_ptr error;  // written by the worker before `finished`
    std::mutex mutex;
    std::condition_variable wake;
};

constinit thread_local tk_thread::control* tk_thread::t_control = nullptr;

tk_thread::tk_thread(bool b_owns) : m_b_owns(b_owns), m_control(std::make_unique<control>()) {}

tk_thread::~tk_thread() {
    if (m_thread.joinable()) {
        request_stop();
        m_thread.join();
    }
    if (m_b_owns)
        delete m_functor;
}

tk_thread_functor* tk_thread::create_functor() {
    m_b_owns = true;
    return new tk_thread_functor;
}

bool tk_thread::is_running() const {
    return m_thread.joinable() && !m_control->finished.load(std::memory_order_acquire);
}

std::exception_ptr tk_thread::error() const {
    if (is_running())
        return nullptr;
    return m_control->error;
}

void tk_thread::start() {
    tk_trace(2, "tk_thread::start");
    TK_ASSERT(!is_running());
    clean_up();
    TK_ASSERT(m_functor == nullptr);
    m_functor = create_functor();
    TK_ASSERT(m_functor != nullptr);
    m_control->stop.store(false, std::memory_order_relaxed);
    m_control->finished.store(false, std::memory_order_relaxed);
    m_control->error = nullptr;
    try {
        m_thread = std::thread(&tk_thread::start_routine, m_control.get(), m_functor);
    } catch (const std::system_error& e) {
        tk_trace(3, "Failed to create a worker thread: %s", e.what());
        throw tk_exception_ex(e.code().value());
    }
}

void tk_thread::stop() {
    tk_trace(2, "tk_thread::stop");
    TK_ASSERT(is_running());
    TK_ASSERT(m_thread.get_id() != std::this_thread::get_id());
    request_stop();
    m_thread.join();
    clean_up();
}

void tk_thread::stop_if_running() {
    TK_ASSERT(!m_thread.joinable() || m_thread.get_id() != std::this_thread::get_id());
    if (m_thread.joinable()) {
        request_stop();
        m_thread.join();
    }
    clean_up();
}

void tk_thread::clean_up() {
    TK_ASSERT(!is_running());
    // A finished worker may still be leaving its start routine: the join waits for that.
    if (m_thread.joinable())
        m_thread.join();
    if (m_b_owns)
        delete m_functor;
    m_functor = nullptr;
}

void tk_thread::request_stop() {
    {
        std::lock_guard<std::mutex> lock(m_control->mutex);
        m_control->stop.store(true, std::memory_order_relaxed);
    }
    m_control->wake.notify_all();
}

bool tk_thread::wait_for_stop(std::chrono::milliseconds timeout) {
    control* shared = t_control;
    if (shared == nullptr) {
        std::this_thread::sleep_for(timeout);
        return false;
    }
    std::unique_lock<std::mutex> lock(shared->mutex);
    return shared->wake.wait_for(lock, timeout,
                                 [shared] { return shared->stop.load(std::memory_order_relaxed); });
}

void tk_thread::start_routine(control* shared, tk_thread_functor* functor) {
    t_stop_flag = &shared->stop;
    t_control = shared;
    try {
        TK_ASSERT(functor != nullptr);
        (*functor)();
    } catch (const tk_thread_stop&) {
        tk_trace(2, "tk_thread: the worker stopped on request");
    } catch (const tk_final_exception&) {
        tk_trace(2, "tk_thread: the worker ended after a reported error");
    } catch (const std::exception& e) {
        tk_trace(3, "tk_thread: the worker ended with an error: %s", e.what());
        shared->error = std::current_exception();
    }
    t_stop_flag = nullptr;
    t_control = nullptr;
    shared->finished.store(true, std::memory_order_release);
}
