#include "tk_converter.h"

#include "tk_exception.h"
#include "tk_file_name.h"
#include "tk_log.h"
#include "tk_path.h"

tk_converter::tk_converter() = default;

tk_converter::~tk_converter() = default;

void tk_converter::set_silent(bool silent) { m_silent = silent; }

bool tk_converter::is_converter() const { return true; }

void tk_converter::set_logfile(const std::string& path) {
    tk_trace(2, "tk_convertor::set_logfile(%s)", path.c_str());
    if (!path.empty()) {
        if (tk_is_file_exist(path, 0) && !tk_is_file_exist(path, 1)) {
            throw tk_exception("Logfile name specifies an existing read-only file.", 1);
        }
        const tk_file_name name(path);
        if (!tk_is_path_exist(name.folder())) {
            throw tk_exception("Logfile path does not exist.\nPlease verify the correct path was "
                               "given.",
                               1);
        }
    }
    m_trace_file = path;
    if (!path.empty()) {
        if (tk_log* log = tk_log::instance_if_any()) {
            log->set_path(path);
            log->set_enabled(true);
        }
    }
}
