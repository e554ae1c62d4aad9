#include "console_front_end.h"

#include <cstdio>
#include <cstdlib>

#include "tk_log.h"

void console_front_end::internal_error(const std::string& text) {
    std::fputs("Internal error: ", stdout);
    std::fputs(text.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    std::exit(-1);
}

void console_front_end::report(error_handler& handler, int32_t level, const std::string& message,
                               bool /*final*/) {
    if (!handler.silent()) {
        std::fputs("Error:\n", stdout);
        std::fflush(stdout);
        std::fputs(message.c_str(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
    if (level >= 1) {
        tk_trace(2, "Got 1-level error");
        std::exit(-1);
    }
    tk_trace(2, "Got 0-level error");
}
