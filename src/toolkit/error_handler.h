// error_handler: the one place where every failure a user should hear about is reported.
//
// The dump reader, the conversion driver, the foreign-key writer and the front ends hand it a
// tk_exception. It composes the message (context, then the advice text for a known error code or
// the error's own text), traces it, and lets the program's front end show or print it and decide
// whether the run goes on. It lives in the toolkit because the lowest layers report through it.
//
// One instance per process (single-instance pattern), created by the entry point right after the
// trace log, with the program's front end. handle() is called from the conversion worker thread
// and from the user-interface thread, one at a time.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "tk_error_converter.h"
#include "tk_exception.h"
#include "tk_single_instance.h"

// What a program does with a reported error: the console prints and may end the process, the
// wizard shows dialogs, tests record. Called by error_handler::handle after the common part.
class error_front_end {
public:
    error_front_end() = default;
    error_front_end(const error_front_end&) = delete;
    error_front_end& operator=(const error_front_end&) = delete;
    virtual ~error_front_end() = default;

    // An internal error (level 2): `text` is the error's own text. The console prints it and ends
    // the process; the wizard shows the internal-error dialog and ends the process.
    virtual void internal_error(const std::string& text) = 0;
    // A level-0 or level-1 error with its composed message (line feeds already turned into
    // spaces). `handler` gives access to `silent`. May throw tk_final_exception to stop the run
    // (only when `final` is false) or end the process.
    virtual void report(class error_handler& handler, int32_t level, const std::string& message,
                        bool final) = 0;
};

class error_handler : public tk_single_instance<error_handler> {
public:
    // `front_end` must outlive the handler.
    error_handler(int32_t count, const tk_error_pair* pairs, error_front_end& front_end);
    ~error_handler();

    // context = the table name in the ANSI code page.
    void set_context(const std::u16string& table);
    // context = "%s, record #%d" with the table name and the record number.
    void set_context(const std::u16string& table, int32_t record);
    std::string& context() { return m_context; }

    // Read by the wizard's user-interface thread while the worker may set it (its "Do not show
    // this dialog box again" check box), hence atomic.
    bool silent() const { return m_silent.load(std::memory_order_relaxed); }
    void set_silent(bool silent) { m_silent.store(silent, std::memory_order_relaxed); }

    // Reports one error (see error_front_end). With final true it never throws
    // tk_final_exception, whatever the front end does: a stop chosen then is only traced.
    void handle(const tk_exception& error, bool final);

    // The message handle() would show for `error`, before line feeds become spaces.
    std::string compose(const tk_exception& error) const;

    error_front_end& front_end() { return m_front_end; }

private:
    std::string m_context;
    std::atomic<bool> m_silent{false};
    tk_error_converter m_texts;
    error_front_end& m_front_end;
};

// The advice texts of known MySQL errors, shared by both converter programs: codes are the MySQL
// error number combined with 0x400000, as sql_exception carries them.
extern const tk_error_pair k_mysql_error_texts[];
extern const int32_t k_mysql_error_text_count;
