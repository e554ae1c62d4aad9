// init_conversion: the scope of one conversion run.
//
// Its construction traces the start time (and, in the wizard, starts the 200 ms progress timer
// through the hook it is given); its end traces the end time and raises the converter's `done`
// flag. The run ends the scope on every way out, so `done` turns true after a normal end, a
// stopping error or a stop request alike. Lives on the conversion thread's stack; the flag it
// raises is read by the wizard's user-interface thread.
#pragma once

#include <atomic>
#include <functional>

class init_conversion {
public:
    // Traces "init_conversion::ctor" and the start time; calls `on_start` when given.
    explicit init_conversion(std::atomic<bool>& done, const std::function<void()>& on_start = {});
    init_conversion(const init_conversion&) = delete;
    init_conversion& operator=(const init_conversion&) = delete;
    // end() unless it ran already.
    ~init_conversion();

    // Traces "init_conversion::dtor" and the end time, then sets `done`. Only the first call
    // acts.
    void end();

private:
    std::atomic<bool>& m_done;
    bool m_ended = false;
};
