// console_front_end: what VELTAGENT does with an error the error_handler reports.
//
// A toolkit error prints "Error:" and its message on the standard output (unless the handler is
// silent, "--silent"); a level-1 error then ends the process with exit status -1, a level-0 error
// lets the conversion go on. An internal error prints "Internal error: " and its text even when
// silent, and ends the process with -1. Used on the console's main thread only.
#pragma once

#include <string>

#include "error_handler.h"

class console_front_end : public error_front_end {
public:
    void internal_error(const std::string& text) override;
    void report(error_handler& handler, int32_t level, const std::string& message,
                bool final) override;
};
