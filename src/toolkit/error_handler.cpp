#include "error_handler.h"

#include "tk_log.h"
#include "tk_text.h"

namespace {
constexpr int32_t k_mysql_flag = 0x400000;
}

const tk_error_pair k_mysql_error_texts[] = {
    {k_mysql_flag | 1044,
     "Access denied. Ask your system administrator to grant you\nthe necessary privileges to "
     "write into the database."},
    {k_mysql_flag | 1045,
     "Access denied. Verify the user name and password are correct, and you have\nthe necessary "
     "privileges to connect to the target MySQL server."},
    {k_mysql_flag | 1062,
     "Duplicate field values being used for an unique index were found.\nSee 'Troubleshooting' "
     "article of the product documentation\nfor solution."},
    {k_mysql_flag | 1071,
     "Primary key in the original database is too long.\nRestart the program with \"Skip "
     "converting indexes\"\ncheckbox selected in order to resolve the conflict.\n"},
    {k_mysql_flag | 1011,
     "Failed to overwrite MySQL database. It is being used by\nanother application. Specify a "
     "different destination name."},
    {k_mysql_flag | 1130,
     "You are not allowed to connect to the destination MySQL server.\nAsk your system "
     "administrator to grant you necessary privileges\nto create new databases on target MySQL "
     "server."},
    {k_mysql_flag | 1051,
     "Failed to overwrite MySQL database. It is being used by\nanother application. Specify a "
     "different destination name."},
    {k_mysql_flag | 2003,
     "Can't connect to the MySQL server. Check to verify that MySQL server\nis launched and the "
     "correct host/port values were given."},
    {k_mysql_flag | 2005,
     "Can't connect to the MySQL server. Check to verify that MySQL server\nis launched and the "
     "correct host/port values were given."},
    {k_mysql_flag | 1249,
     "The program does not support authentication protocol requested by server.\nSee "
     "'Troubleshooting' article of the product documentation."},
    {k_mysql_flag | 1250,
     "The program does not support authentication protocol requested by server.\nSee "
     "'Troubleshooting' article of the product documentation."},
};
const int32_t k_mysql_error_text_count =
    static_cast<int32_t>(sizeof k_mysql_error_texts / sizeof k_mysql_error_texts[0]);

error_handler::error_handler(int32_t count, const tk_error_pair* pairs, error_front_end& front_end)
    : m_texts(count, pairs), m_front_end(front_end) {
    tk_trace(2, "error_handler::ctor");
}

error_handler::~error_handler() = default;

void error_handler::set_context(const std::u16string& table) {
    m_context.clear();
    tk_wide_to_ansi(table.c_str(), m_context);
}

void error_handler::set_context(const std::u16string& table, int32_t record) {
    std::string name;
    tk_wide_to_ansi(table.c_str(), name);
    m_context = name + ", record #" + std::to_string(record);
}

std::string error_handler::compose(const tk_exception& error) const {
    std::string message;
    if (!m_context.empty()) message = m_context + ": ";
    std::string advice = m_texts.convert(error.code());
    message += advice.empty() ? error.text() : advice;
    return message;
}

void error_handler::handle(const tk_exception& error, bool final) {
    tk_trace(2, "error_handler::handle");
    if (error.level() >= 2) {
        tk_trace(3, "Internal error:\n%s", error.what());
        m_front_end.internal_error(error.text());
        return;
    }
    std::string message = compose(error);
    tk_trace(3, "Error:\n%s", message.c_str());
    for (char& c : message) {
        if (c == '\n') c = ' ';
    }
    if (!final) {
        m_front_end.report(*this, error.level(), message, final);
        return;
    }
    // The callers of a final report are past the point where a run can be stopped (the end of
    // a run, a destructor): a stop the front end asks for has nothing left to stop.
    try {
        m_front_end.report(*this, error.level(), message, final);
    } catch (const tk_final_exception&) {
        tk_trace(2, "error_handler::handle: stop request after a final error ignored");
    }
}
