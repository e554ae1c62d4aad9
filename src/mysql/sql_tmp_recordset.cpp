#include "sql_tmp_recordset.h"

#include "tk_exception.h"
#include "tk_log.h"

sql_tmp_recordset::sql_tmp_recordset(MYSQL_RES* result) : udb_recordset(u"", true) {
    tk_trace(1, "sql_tmp_recordset::sql_tmp_recordset");
    TK_ASSERT(result != nullptr);
    tk_trace(1, "sql_tmp_recordset::initialize");
    const std::unique_ptr<MYSQL_RES, void (*)(MYSQL_RES*)> owned(result, mysql_free_result);
    const unsigned int n_fields = mysql_num_fields(result);
    const MYSQL_FIELD* fields = mysql_fetch_fields(result);
    while (MYSQL_ROW row = mysql_fetch_row(result)) {
        const unsigned long* lengths = mysql_fetch_lengths(result);
        m_rows.push_back(std::make_unique<sql_record>(row, lengths, fields, n_fields));
    }
    set_record_count(static_cast<int32_t>(m_rows.size()));
}

sql_tmp_recordset::~sql_tmp_recordset() = default;

void sql_tmp_recordset::append_record(udb_record&) {
    TK_FAIL();
}

udb_record* sql_tmp_recordset::get_item() {
    if (m_position < 0 || static_cast<size_t>(m_position) >= m_rows.size()) {
        return nullptr;
    }
    return m_rows[static_cast<size_t>(m_position)].get();
}

bool sql_tmp_recordset::is_eof() {
    return m_position >= record_count();
}

void sql_tmp_recordset::next() {
    ++m_position;
}

void sql_tmp_recordset::reset() {
    m_position = 0;
}
