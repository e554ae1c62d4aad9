#include "ora_dump_opener.h"

#include <cstdio>

#include "tk_exception.h"
#include "tk_log.h"
#include "tk_text.h"

ora_dump_opener::ora_dump_opener() { tk_trace(2, "ora_dump_opener::ctor"); }

ora_dump_opener::~ora_dump_opener() = default;

void ora_dump_opener::operator()() {
    tk_trace(2, "ora_dump_opener::operator()");
    const std::u16string path = m_source_path;
    if (m_console) {
        tk_wtrace(3, u"Reading file %s", path.c_str());
        if (!m_silent) {
            std::string narrow;
            tk_wide_to_ansi(path.c_str(), narrow);
            std::fputs("Reading file ", stdout);
            std::fputs(narrow.c_str(), stdout);
            std::fputs("\n", stdout);
            std::fflush(stdout);
        }
    }
    if (m_start_hook) m_start_hook();
    try {
        m_reader.open(path, [this](std::unique_ptr<ora_dump_file> file) {
            m_result = std::move(file);
        });
    } catch (const tk_final_exception&) {
        // The failure was reported by the error handler; progress() is -1.
    } catch (const tk_exception& e) {
        // Without an error handler the reader throws the error itself.
        tk_trace(3, "%s", e.what());
    }
}
