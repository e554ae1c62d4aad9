// The exception family of the system.
//
// tk_exception carries a narrow message, a code and a level that tells the error handler what
// may happen next: 0 the current item failed and the work may go on, 1 the run must stop,
// 2 internal error. tk_exception_ex is a failed system call (code errno, text its message),
// tk_mail_assertion a broken internal assumption (level 2, shown with the bug-report offer).
// tk_final_exception is deliberately not a tk_exception: it ends the current run after the error
// was already reported, and handlers that report tk_exceptions let it pass.
// Exceptions are thrown by value and caught by reference; they are plain copyable values, so a
// worker thread may hand a copy to the user-interface thread.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

class tk_exception : public std::exception {
public:
    explicit tk_exception(int32_t level = 1);
    tk_exception(std::string text, int32_t level);
    ~tk_exception() override;

    const char* what() const noexcept override { return m_text.c_str(); }
    const std::string& text() const noexcept { return m_text; }
    int32_t code() const noexcept { return m_code; }
    int32_t level() const noexcept { return m_level; }

protected:
    void set_text(std::string text);
    void set_code(int32_t code) noexcept { m_code = code; }

private:
    std::string m_text;
    int32_t m_code = 0;
    int32_t m_level = 1;
};

// A failed system call: reads errno of the calling thread, so construct it right after the call.
class tk_exception_ex : public tk_exception {
public:
    tk_exception_ex();
    // For calls that report their error number themselves rather than through errno.
    explicit tk_exception_ex(int error_number);
    ~tk_exception_ex() override;
};

// A broken internal assumption in the source unit `unit` at `line`. Its text is
// "Internal error: \ncode=" followed by the hexadecimal bytes of "unit\line".
class tk_mail_assertion : public tk_exception {
public:
    tk_mail_assertion(const char* unit, int line);
    ~tk_mail_assertion() override;
};

class tk_final_exception : public std::exception {
public:
    tk_final_exception();
    ~tk_final_exception() override;
    const char* what() const noexcept override { return "tk_final_exception"; }
};

// The source unit name for assertions: the source file name without its folder.
namespace tk_detail {
constexpr const char* unit_of(const char* file) {
    const char* base = file;
    for (const char* p = file; *p; ++p) {
        if (*p == '/' || *p == '\\') base = p + 1;
    }
    return base;
}
}  // namespace tk_detail

// Assertion: a check that fails throws tk_mail_assertion with the unit and line.
#define TK_ASSERT(cond)                                                                 \
    do {                                                                                \
        if (!(cond)) throw tk_mail_assertion(tk_detail::unit_of(__FILE__), __LINE__);   \
    } while (0)

// An assertion that always fails, for code paths that must not be reached.
#define TK_FAIL() throw tk_mail_assertion(tk_detail::unit_of(__FILE__), __LINE__)
