// tk_thread_functor: the task that a tk_thread runs on its worker.
//
// The default operator() waits: while is_done() answers false it calls wait_step() (a 100 ms
// pause that a stop request cuts short), then final_step() once. The task classes of the system
// (the dump opener, the converter) override operator() with a run that does its work once and
// returns. Whoever creates a functor owns it unless it hands it to a tk_thread that owns its
// functors (see tk_thread). Only operator() and what it calls run on the worker thread.
//
// Long-running tasks call tk_thread::check_stop() between units of work (the dump open between
// words, the conversion between rows) so that a stop request ends them promptly.
#pragma once

class tk_thread_functor {
public:
    tk_thread_functor() = default;
    tk_thread_functor(const tk_thread_functor&) = delete;
    tk_thread_functor& operator=(const tk_thread_functor&) = delete;
    virtual ~tk_thread_functor();

    // The task. Throws what the task throws; a stop request arrives as tk_thread_stop, which the
    // worker's start routine catches.
    virtual void operator()();
    virtual bool is_done();
    // Pauses 100 ms, less when the worker is asked to stop.
    virtual void wait_step();
    virtual void final_step();
};
