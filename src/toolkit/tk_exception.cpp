#include "tk_exception.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tk_log.h"

namespace {
const char k_unknown[] = "Unknown exception";
}

tk_exception::tk_exception(int32_t level) : m_text(k_unknown), m_level(level) {}

tk_exception::tk_exception(std::string text, int32_t level)
    : m_text(text.empty() ? std::string(k_unknown) : std::move(text)), m_level(level) {}

tk_exception::~tk_exception() = default;

void tk_exception::set_text(std::string text) {
    m_text = text.empty() ? std::string(k_unknown) : std::move(text);
}

tk_exception_ex::tk_exception_ex() : tk_exception_ex(errno) {}

tk_exception_ex::tk_exception_ex(int error_number) : tk_exception(1) {
    tk_trace(2, "tk_exception_ex::ctor");
    set_code(error_number);
    char buffer[256];
    // The GNU strerror_r returns the message, which may or may not live in the buffer.
    const char* message = strerror_r(error_number, buffer, sizeof buffer);
    if (message != nullptr && *message != 0) {
        set_text(message);
        tk_trace(2, "GetLastError: %s", message);
    }
}

tk_exception_ex::~tk_exception_ex() = default;

tk_mail_assertion::tk_mail_assertion(const char* unit, int line) : tk_exception(2) {
    char place[600];
    std::snprintf(place, sizeof place, "%s\\%d", unit ? unit : "", line);
    static const char digits[] = "0123456789abcdef";
    std::string text = "Internal error: \ncode=";
    for (const char* p = place; *p; ++p) {
        unsigned char byte = static_cast<unsigned char>(*p);
        text.push_back(digits[byte >> 4]);
        text.push_back(digits[byte & 15]);
    }
    set_text(std::move(text));
    tk_trace(2, "tk_mail_assertion::ctor(%s)", unit ? unit : "");
}

tk_mail_assertion::~tk_mail_assertion() = default;

tk_final_exception::tk_final_exception() { tk_trace(2, "tk_final_exception::ctor"); }

tk_final_exception::~tk_final_exception() = default;
