#include "dmp_recordset.h"

#include <memory>

#include "dmp_database.h"
#include "sql_engine.h"
#include "sql_util.h"
#include "tk_exception.h"
#include "tk_log.h"

namespace {

// A statement buffer that once held a huge row (a large LOB) is not kept at that size.
constexpr size_t kept_row_capacity = 4 * 1024 * 1024;

}  // namespace

dmp_recordset::dmp_recordset(dmp_database& database, std::u16string name, const udb_schema& columns)
    : udb_recordset(std::move(name), true), m_database(database) {
    for (const udb_column* column : columns.columns()) {
        schema().add(std::make_unique<udb_column>(*column));
    }
    m_head = "INSERT INTO ";
    m_database.engine().append_quoted_name(m_head, this->name());
    m_head += " VALUES(";
}

dmp_recordset::~dmp_recordset() = default;

void dmp_recordset::append_record(udb_record& record) {
    tk_trace(1, "dmp_recordset::append_record");
    const udb_schema& columns = schema();
    if (record.size() != columns.size()) {
        // An INSERT with another number of values than the table has columns would stop the
        // replay; the row is refused here, where the user learns which table it belongs to.
        tk_trace(1, "Record has %d fields, the table %d columns", static_cast<int>(record.size()),
                 static_cast<int>(columns.size()));
        throw tk_exception(
            "The structure of data source does not conform to the destination table. For more "
            "information see Troubleshooting article of the product documentation.",
            0);
    }
    m_row.assign(m_head);
    for (size_t i = 0; i < record.size(); ++i) {
        if (i > 0) {
            m_row += ", ";
        }
        append_fld_literal(m_row, record[i], columns[i]);
    }
    m_row += ");";
    m_row += m_database.line_end();
    m_database.file().write(m_row);
    if (m_row.capacity() > kept_row_capacity) {
        std::string().swap(m_row);
    }
    set_record_count(record_count() + 1);
}
