#include "init_conversion.h"

#include <ctime>

#include "tk_log.h"

namespace {

void trace_time(const char* format) {
    if (!tk_log::wants(3)) return;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    tk_trace(3, format, local.tm_mday, local.tm_mon + 1, local.tm_year + 1900, local.tm_hour,
             local.tm_min, local.tm_sec);
}

}  // namespace

init_conversion::init_conversion(std::atomic<bool>& done, const std::function<void()>& on_start)
    : m_done(done) {
    tk_trace(2, "init_conversion::ctor");
    trace_time("Conversion started on %02d/%02d/%04d at %02d:%02d:%02d\n");
    if (on_start) on_start();
}

init_conversion::~init_conversion() { end(); }

void init_conversion::end() {
    if (m_ended) return;
    m_ended = true;
    tk_trace(2, "init_conversion::dtor");
    trace_time("Conversion ended on %02d/%02d/%04d at %02d:%02d:%02d\n");
    m_done.store(true, std::memory_order_release);
}
