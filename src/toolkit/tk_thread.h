// tk_thread: one worker thread that runs a tk_thread_functor.
//
// Driven from one thread (the user-interface thread): start() runs the functor's operator() once
// on a new thread, stop() asks the worker to stop and waits until it has ended, and the
// destructor does the same when the worker still runs. Running means a worker exists and has not
// finished; a finished worker is cleaned up by the next start(), stop_if_running() or the
// destructor. A thread may be started again once its worker has finished.
//
// Stopping is cooperative: there is no forced termination. A task notices a stop request when it
// calls tk_thread::check_stop(), which throws tk_thread_stop (caught by the worker's start
// routine, which then ends the worker), or when it tests tk_thread::stop_requested(). Both cost
// one thread-local load and are meant for the inner loops: the dump open calls check_stop()
// between words and the conversion between rows, so stop() and the destructor return within one
// word or row. On a thread that no tk_thread started (the console runs its tasks on the main
// thread) no stop is ever requested. A task that never checks keeps stop() waiting until it
// returns by itself.
//
// Ownership: with b_owns set the thread deletes its functor at clean-up. The default
// create_functor() makes a default tk_thread_functor and sets b_owns; subclasses (the wizard's
// progress pages) return their long-lived task object and keep b_owns false: such a functor must
// outlive the thread's run. A subclass whose functor lives in its own members calls
// stop_if_running() in its destructor, before those members go.
//
// Errors: tk_final_exception ends the worker quietly (the error was already reported). Any other
// std::exception that escapes the functor ends the worker, is traced at level 3 and kept for
// error(), so that the driving thread may report or rethrow it. Misuse (starting a running
// thread, stopping one that does not run, stopping from the worker itself) is an assertion
// failure.
#pragma once

#include <atomic>
#include <chrono>
#include <exception>
#include <memory>
#include <thread>

#include "tk_thread_functor.h"

// Thrown by tk_thread::check_stop() inside a worker asked to stop. Deliberately not a
// std::exception, so that the tasks' own handlers of tk_exception and std::exception let it pass
// up to the start routine.
struct tk_thread_stop {};

class tk_thread {
public:
    explicit tk_thread(bool b_owns = false);
    tk_thread(const tk_thread&) = delete;
    tk_thread& operator=(const tk_thread&) = delete;
    // Stops a running worker and waits for it; returns once the worker has ended.
    virtual ~tk_thread();

    // Runs create_functor()'s functor on a new thread. Assertion failure when running or when
    // create_functor() gives none; tk_exception_ex (level 1) when the system cannot create a
    // thread, which leaves the thread without a worker and the functor set until the next
    // clean-up.
    void start();
    // Asks the running worker to stop, waits without a time limit until it has ended and cleans
    // up. Assertion failure when not running.
    void stop();
    // What the destructor does: stop() when running, otherwise clean up. Unlike stop(), no
    // assertion failure when the worker has just finished by itself.
    void stop_if_running();

    bool is_running() const;
    bool owns() const { return m_b_owns; }
    // The exception that ended the last run, or none; meaningful once the worker has ended.
    std::exception_ptr error() const;

    // For tasks, on their worker thread: whether the tk_thread that runs this thread was asked to
    // stop. Always false on a thread that no tk_thread started.
    static bool stop_requested() noexcept {
        const std::atomic<bool>* flag = t_stop_flag;
        return flag != nullptr && flag->load(std::memory_order_relaxed);
    }
    // Throws tk_thread_stop when a stop was requested.
    static void check_stop() {
        if (stop_requested())
            throw tk_thread_stop{};
    }
    // Waits up to `timeout`, less when a stop is requested meanwhile; true when it was. On a
    // thread that no tk_thread started it simply sleeps.
    static bool wait_for_stop(std::chrono::milliseconds timeout);

protected:
    // The functor that start() runs; called on the driving thread. The default creates a default
    // tk_thread_functor and sets b_owns. Returns a functor owned by this thread when b_owns is
    // set, borrowed otherwise.
    virtual tk_thread_functor* create_functor();

    bool m_b_owns;

private:
    struct control;

    static void start_routine(control* shared, tk_thread_functor* functor);
    void clean_up();
    void request_stop();

    std::thread m_thread;
    tk_thread_functor* m_functor = nullptr;
    std::unique_ptr<control> m_control;

    static inline constinit thread_local const std::atomic<bool>* t_stop_flag = nullptr;
    static thread_local control* t_control;  // the run of this worker, for wait_for_stop
};
