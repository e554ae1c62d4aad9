// tk_log: the process-wide trace log, and the trace calls tk_trace and tk_wtrace.
//
// The log is off unless a program switches it on. When on, every line that reaches the threshold
// is appended to the trace file, which is opened and closed around each line so that it survives
// a crash; each line ends in CR LF. The first line written in a run empties the file. Only the
// console program creates a log; without one every trace call does nothing.
//
// Levels: 1 detail (per row, per call), 2 normal progress (function entries), 3 errors and main
// events. tk_trace takes a printf format; tk_wtrace a wide format whose %s arguments are
// const char16_t* (wide text) and whose output is written as UTF-8, cut at 10,240 characters.
//
// Thread use: the entry point creates and destroys the log; trace calls may come from any thread.
// A mutex keeps lines of different threads whole.
#pragma once

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "tk_single_instance.h"

class tk_log : public tk_single_instance<tk_log> {
public:
    // With no path the trace file is the program's own path with the extension ".log".
    // When enabled, the file is emptied at once.
    tk_log(std::optional<std::string> path, bool enabled, int32_t threshold, bool time_stamps);
    ~tk_log();

    const std::string& path() const { return m_path; }
    int32_t threshold() const { return m_threshold.load(std::memory_order_relaxed); }
    bool enabled() const { return m_enabled.load(std::memory_order_relaxed); }

    // Switching on (the console's --logfile=): the file is emptied at the first written line.
    void set_path(std::string path);
    void set_enabled(bool enabled);
    void set_threshold(int32_t threshold) { m_threshold.store(threshold, std::memory_order_relaxed); }

    // Whether a trace of this level does anything: cheap, so callers test it before formatting.
    static bool wants(int32_t level) noexcept {
        const tk_log* log = instance_if_any();
        return log != nullptr && log->m_enabled.load(std::memory_order_relaxed) &&
               (!log->m_truncated.load(std::memory_order_relaxed) ||
                level >= log->m_threshold.load(std::memory_order_relaxed));
    }

    // Writes one formatted line (the bytes as they stand) under the log's rules.
    void write(int32_t level, std::string_view text);

private:
    std::string m_path;  // guarded by m_mutex
    std::atomic<int32_t> m_threshold;
    bool m_line_break = true;
    std::atomic<bool> m_enabled;
    std::atomic<bool> m_truncated{false};
    bool m_time_stamps;
    std::mutex m_mutex;
};

void tk_trace_line(int32_t level, const char* format, ...) __attribute__((format(printf, 2, 3)));
void tk_wtrace_line(int32_t level, const char16_t* format, ...);

// Wide printf-style formatting: %s takes const char16_t*, %c a char16_t (promoted to int); the
// integer, floating-point and %p conversions take what printf takes ("%I64d" reads a 64-bit
// integer as on the original platform). The result is cut at max_chars code units.
std::u16string tk_wformat(size_t max_chars, const char16_t* format, ...);
std::u16string tk_vwformat(size_t max_chars, const char16_t* format, va_list args);

// The trace calls test the log before their arguments are formatted.
#define tk_trace(level, ...)                                          \
    do {                                                              \
        if (tk_log::wants(level)) tk_trace_line((level), __VA_ARGS__); \
    } while (0)
#define tk_wtrace(level, ...)                                          \
    do {                                                               \
        if (tk_log::wants(level)) tk_wtrace_line((level), __VA_ARGS__); \
    } while (0)
