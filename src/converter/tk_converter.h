// tk_converter: the base of the conversion task that both converter programs run.
//
// It holds what any conversion needs whatever its source and destination: the dump path, the
// destination name (a MySQL database or a script path), the trace file of the console's
// "--logfile=", the silent switch of the console's "--silent" and the `done` flag that turns true
// when a run has ended. It is a tk_thread_functor so that the wizard can run the conversion on a
// worker thread; the console calls it on its main thread.
//
// The front end fills the settings before the run, on one thread. `done` is atomic: the wizard's
// user-interface thread polls it while the worker runs.
#pragma once

#include <atomic>
#include <string>

#include "tk_thread_functor.h"

class tk_converter : public tk_thread_functor {
public:
    tk_converter();
    ~tk_converter() override;

    // Sets the silent flag: no console output (slot 6 of the task's operations).
    virtual void set_silent(bool silent);
    // Answers true: this task is a converter (slot 7).
    virtual bool is_converter() const;

    // Checks and stores the trace file and switches the trace log on for it. Trace
    // "tk_convertor::set_logfile(%s)". Throws tk_exception (level 1) "Logfile name specifies an
    // existing read-only file." or "Logfile path does not exist.\nPlease verify the correct path
    // was given.". An empty path only clears trace_file.
    void set_logfile(const std::string& path);

    bool silent() const { return m_silent; }
    bool done() const { return m_done.load(std::memory_order_acquire); }
    std::atomic<bool>& done_flag() { return m_done; }

    const std::u16string& source_path() const { return m_source_path; }
    void set_source_path(std::u16string path) { m_source_path = std::move(path); }
    const std::u16string& dest_name() const { return m_dest_name; }
    void set_dest_name(std::u16string name) { m_dest_name = std::move(name); }
    const std::string& trace_file() const { return m_trace_file; }

private:
    std::atomic<bool> m_done{false};
    bool m_silent = false;
    std::u16string m_source_path;
    std::u16string m_dest_name;
    std::string m_trace_file;
};
