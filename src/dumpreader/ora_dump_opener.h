// ora_dump_opener: the task that opens the dump, on the wizard's worker thread or directly on
// the console's main thread.
//
// Holds the process's one ora_dump_reader and the facade of the latest successful open. Its run
// (operator()) opens the dump at the source path it was given; every failure of the open has
// already been reported through the error handler (and ended by its tk_final_exception, which the
// run swallows), so the front end learns of it from reader().progress() == -1. The facade is
// stored before progress() turns 100, so a thread that sees 100 finds it in result(). A later
// successful run replaces (and deletes) the earlier facade, whose tables must be gone by then.
//
// The conversion driver owns the opener; it sets the source path (set_source_path) before each
// run. The console asks for the "Reading file" line (set_console); the wizard hands a start hook
// (set_start_hook) that starts its 200 ms timer. One opener per process (single-instance
// pattern). The run's thread owns everything during the run; the other thread reads only
// reader().progress() and, after 100, result().
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "ora_dump_file.h"
#include "ora_dump_reader.h"
#include "tk_single_instance.h"
#include "tk_thread_functor.h"

class ora_dump_opener : public tk_thread_functor, public tk_single_instance<ora_dump_opener> {
public:
    // Traces "ora_dump_opener::ctor".
    ora_dump_opener();
    ~ora_dump_opener() override;

    // Runs the open once. Throws tk_thread_stop when the worker is asked to stop; nothing else.
    void operator()() override;

    void set_source_path(std::u16string path) { m_source_path = std::move(path); }
    const std::u16string& source_path() const { return m_source_path; }
    // Console program: trace "Reading file %s" and, unless silent, print "Reading file <path>".
    void set_console(bool console, bool silent) {
        m_console = console;
        m_silent = silent;
    }
    // Called at the start of each run (the wizard starts its progress timer).
    void set_start_hook(std::function<void()> hook) { m_start_hook = std::move(hook); }

    // The facade of the latest successful open, owned by the opener; nullptr before one.
    ora_dump_file* result() const { return m_result.get(); }
    // Hands the facade over to the caller.
    std::unique_ptr<ora_dump_file> release_result() { return std::move(m_result); }
    ora_dump_reader& reader() { return m_reader; }

private:
    std::unique_ptr<ora_dump_file> m_result;
    ora_dump_reader m_reader;
    std::u16string m_source_path;
    bool m_console = false;
    bool m_silent = false;
    std::function<void()> m_start_hook;
};
