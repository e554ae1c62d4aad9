#include "sql_exception.h"

#include <mysql.h>

#include "tk_log.h"

namespace {

void trace_error(const std::string& text, int32_t code) {
    tk_trace(2, "sql_exception::sql_exception( msg=%s)", text.c_str());
    tk_trace(2, "Got MySQL error code=%d", code);
}

}  // namespace

sql_exception::sql_exception(st_mysql* connection) : tk_exception(0) {
    const char* text = connection != nullptr ? mysql_error(connection) : "";
    const unsigned number = connection != nullptr ? mysql_errno(connection) : 0;
    set_text(text != nullptr ? text : "");
    set_code(mysql_error_flag | static_cast<int32_t>(number & 0xFFFF));
    trace_error(this->text(), code());
}

sql_exception::sql_exception(std::string text, uint32_t error_number) : tk_exception(0) {
    set_text(std::move(text));
    set_code(mysql_error_flag | static_cast<int32_t>(error_number & 0xFFFF));
    trace_error(this->text(), code());
}

sql_exception::~sql_exception() = default;

sql_auth_not_supported_exception::sql_auth_not_supported_exception()
    : tk_exception(
          "The program does not support authentication protocol requested by server. See "
          "'Troubleshooting' article of the product documentation.",
          1) {}

sql_auth_not_supported_exception::~sql_auth_not_supported_exception() = default;
