#include "sql_recordset.h"

#include <mysql.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "error_handler.h"
#include "sql_engine.h"
#include "sql_exception.h"
#include "sql_tmp_recordset.h"
#include "sql_type_map.h"
#include "sql_util.h"
#include "tk_log.h"
#include "tk_text.h"

namespace {

const char k_structure_text[] =
    "The structure of data source does not conform to the destination table. For more "
    "information see Troubleshooting article of the product documentation.";

// What the server needs beyond the statement in its packet, with room to spare.
constexpr uint32_t k_packet_margin = 1024;
// ER_NET_PACKET_TOO_LARGE: the number the server itself gives a statement that is too large.
constexpr uint32_t k_packet_too_large = 1153;

// The integer of a result cell, whether the server sent it as a number or as text.
int32_t cell_long(const udb_field& field) {
    if (field.vartype() == VT_BSTR) {
        return static_cast<int32_t>(std::strtol(tk_to_utf8(field.bstr()).c_str(), nullptr, 10));
    }
    if (field.is_binary()) {
        return 0;
    }
    return field.to_long();
}

// The text of a result cell (empty for SQL NULL).
std::u16string cell_text(const udb_field& field) {
    return field.vartype() == VT_BSTR ? field.bstr() : field.to_wstring();
}

bool is_zero_date(const std::u16string& text) {
    return text.empty() || text == u"0000-00-00" || text == u"0000-00-00 00:00:00" ||
           text == u"00000000000000";
}

}  // namespace

sql_recordset::sql_recordset(sql_database& database, std::u16string name,
                             const std::vector<udb_relationship>& relationships)
    : sql_recordset(database, std::move(name), std::u16string(), relationships) {}

sql_recordset::sql_recordset(sql_database& database, std::u16string name, std::u16string query,
                             const std::vector<udb_relationship>& relationships)
    : udb_recordset(std::move(name), std::move(query), true),
      m_database(database),
      m_relationships(relationships) {
    tk_trace(2, "sql_recordset::sql_recordset");
    const std::u16string head =
        u"INSERT INTO " + sql_engine::instance().quote_name(this->name()) + u" VALUES(";
    tk_append_utf8(m_table_head, head);
    m_table_head_chars = head.size();
    initialize();
}

sql_recordset::~sql_recordset() {
    // A destructor must not throw: a batch the server refuses now is sent row by row and every
    // refused row is reported, so nothing is lost without a word.
    try {
        clean();
    } catch (const sql_exception&) {
        try {
            send_rejected_rows(true);
        } catch (const std::exception& e) {
            tk_trace(3, "sql_recordset: the last rows could not be reported: %s", e.what());
        }
    } catch (const std::exception& e) {
        tk_trace(3, "sql_recordset: the last batch could not be sent: %s", e.what());
    }
}

void sql_recordset::initialize() {
    tk_trace(2, "sql_recordset::initialize");
    release_block();
    m_row = 0;
    m_position = 0;
    set_record_count(get_rec_count());
    tk_trace(1, "get_rec_count returns %d", record_count());
    {
        sql_database::sql_limited_query first(m_database, is_query() ? query() : name(), 0,
                                              sql_database::sql_limited_query::block_size,
                                              is_query());
        MYSQL_RES* result = first.result();
        const unsigned int n_fields = mysql_num_fields(result);
        const MYSQL_FIELD* fields = mysql_fetch_fields(result);
        schema().clear();
        for (unsigned int i = 0; i < n_fields; ++i) {
            const MYSQL_FIELD& field = fields[i];
            tk_trace(1, "Processing field #%d", static_cast<int>(i + 1));
            tk_trace(2, "GOT FIELD: name=%s, type=%d, size=%d", field.name,
                     static_cast<int>(field.type), static_cast<int>(field.length));
            VARTYPE vartype = mysql_type_to_vartype(field.type, field.flags);
            int32_t flags = 0;
            switch (field.type) {
                case MYSQL_TYPE_DATETIME:
                    flags = 1;
                    break;
                case MYSQL_TYPE_DATE:
                case MYSQL_TYPE_NEWDATE:
                    flags = 2;
                    break;
                case MYSQL_TYPE_TIME:
                    flags = 3;
                    break;
                case MYSQL_TYPE_LONGLONG:
                    flags = (field.flags & UNSIGNED_FLAG) != 0 ? udb_column::i8_unsigned
                                                               : udb_column::i8_signed;
                    break;
                case MYSQL_TYPE_DECIMAL:
                case MYSQL_TYPE_NEWDECIMAL: {
                    const int32_t decimals = static_cast<int32_t>(field.decimals);
                    const int32_t length = static_cast<int32_t>(field.length);
                    tk_trace(1, "Scale/precision: (%d,%d)", decimals, length);
                    const int32_t precision = decimals != 0 ? length - 2 : length - 1;
                    flags = decimals + precision * 256;
                    break;
                }
                default:
                    break;
            }
            if (is_mysql_blob_type(field.type) && (field.flags & BINARY_FLAG) == 0) {
                tk_trace(2, "Change type from BLOB to TEXT");
                vartype = VT_BSTR;
            }
            schema().add(std::make_unique<udb_column>(
                static_cast<int32_t>(field.length),
                tk_from_utf8(std::string_view(field.name, field.name_length)), vartype,
                (field.flags & NOT_NULL_FLAG) != 0, (field.flags & AUTO_INCREMENT_FLAG) != 0,
                ole_variant(), flags));
        }
        first.store_to(m_block);
    }
    if (!is_query()) {
        read_structure();
    }
}

void sql_recordset::read_structure() {
    const sql_engine& engine = sql_engine::instance();
    const std::u16string table = engine.quote_name(name());
    if (auto columns = m_database.query_records(u"SHOW COLUMNS FROM " + table)) {
        size_t i = 0;
        for (columns->reset(); !columns->is_eof() && i < schema().size(); columns->next(), ++i) {
            const udb_record& row = *columns->get_item();
            udb_column& column = schema()[i];
            if (row.size() < 3) {
                continue;
            }
            const std::string type = tk_to_utf8(cell_text(row[1]));
            tk_trace(2, "Got type: %s", type.c_str());
            int first = 0, second = 0;
            if (std::sscanf(type.c_str(), "varchar(%d)", &first) == 1) {
                tk_trace(2, "Refining size for varchar: %d", first);
                column.set_size(first);
            } else if (std::sscanf(type.c_str(), "float(%d,%d)", &first, &second) == 2) {
                tk_trace(2, "Refining type for FLOAT(%d,%d)", first, second);
                if (first != 0 && second != 0 && second < first) {
                    column.set_vartype(VT_DECIMAL);
                    column.set_flags(second + first * 256);
                }
            }
            const udb_field& default_cell = row[row.size() - 2];
            const std::u16string text = cell_text(default_cell);
            tk_wtrace(2, u"Got default value: %s", text.c_str());
            if (!column.b_not_null() && text.empty()) {
                continue;
            }
            tk_trace(2, "Default value's type: %08X",
                     static_cast<unsigned>(default_cell.vartype()));
            if (column.vartype() == VT_DATE && is_zero_date(text)) {
                tk_trace(2, "Skip empty def.values for date column");
                column.set_not_null(false);
                continue;
            }
            const VARTYPE as = column.vartype() == VT_BSTR || column.vartype() == VT_DATE
                                   ? VT_BSTR
                                   : column.vartype();
            try {
                column.set_default_value(get_variant(as, std::u16string_view(text)));
            } catch (const ole_type_exception&) {
                // A default the value type cannot read (an expression of a newer server, say)
                // is no default for us.
                tk_wtrace(2, u"Default value '%s' is not used", text.c_str());
            }
        }
    }
    if (auto index_rows = m_database.query_records(u"SHOW INDEX FROM " + table)) {
        for (index_rows->reset(); !index_rows->is_eof(); index_rows->next()) {
            const udb_record& row = *index_rows->get_item();
            if (row.size() < 5) {
                continue;
            }
            const bool unique = cell_long(row[1]) == 0;
            const std::u16string key = cell_text(row[2]);
            const bool primary = key == u"PRIMARY";
            const std::u16string column = cell_text(row[4]);
            tk_wtrace(2, u"Got index '%s' (primary=%d, unique=%d)", key.c_str(), primary ? 1 : 0,
                      unique ? 1 : 0);
            if (indexes().is_acceptable_name(key)) {
                udb_index index;
                index.name = key;
                index.b_unique = unique;
                index.b_primary = primary;
                index.fields.push_back(column);
                indexes().add(std::move(index));
            } else {
                indexes().get_index(key).fields.push_back(column);
            }
        }
    }
}

int32_t sql_recordset::get_rec_count() {
    tk_trace(2, "sql_recordset::get_rec_count");
    const std::u16string statement =
        is_query() ? u"SELECT COUNT(*) FROM (" + query() + u") as query"
                   : u"SELECT COUNT(*) FROM " + sql_engine::instance().quote_name(name());
    const std::unique_ptr<udb_recordset> result = m_database.query_records(statement);
    if (result == nullptr) {
        throw std::out_of_range("SELECT COUNT(*) returned no result");
    }
    result->reset();
    const udb_record* row = result->get_item();
    if (row == nullptr) {
        throw std::out_of_range("SELECT COUNT(*) returned no row");
    }
    return cell_long(row->at(0));
}

void sql_recordset::load_block(int32_t offset) {
    sql_database::sql_limited_query block(m_database, is_query() ? query() : name(), offset,
                                          sql_database::sql_limited_query::block_size, is_query());
    block.store_to(m_block);
}

void sql_recordset::release_block() {
    for (auto& row : m_block) {
        row.reset();
    }
}

udb_record* sql_recordset::get_item() {
    if (m_position < 0 || static_cast<size_t>(m_position) >= m_block.size()) {
        return nullptr;
    }
    return m_block[static_cast<size_t>(m_position)].get();
}

bool sql_recordset::is_eof() {
    return m_row >= record_count();
}

void sql_recordset::next() {
    if (m_position < static_cast<int32_t>(m_block.size()) - 1) {
        ++m_position;
    } else {
        clean();
        load_block(m_row + 1);
        m_position = 0;
    }
    ++m_row;
}

void sql_recordset::prev() {
    if (m_row == 0) {
        return;
    }
    if (m_position != 0) {
        --m_position;
    } else {
        // The previous row lies in the block before this one.
        load_block(m_row - 1);
    }
    --m_row;
}

void sql_recordset::reset() {
    m_row = 0;
    m_position = 0;
    load_block(0);
}

sql_recordset::shape sql_recordset::shape_of(const udb_record& record) const {
    if (record.size() == schema().size()) {
        tk_trace(1, "Sizes of schema and record are equal");
        return shape::equal;
    }
    if (record.size() > schema().size()) {
        tk_trace(1, "Size of schema is less than size of record");
        return shape::more_fields;
    }
    tk_trace(1, "Size of record is less than size of schema");
    return shape::fewer_fields;
}

void sql_recordset::make_head(std::string& head, size_t& head_chars, const udb_record& record,
                              shape kind) const {
    const sql_engine& engine = sql_engine::instance();
    std::u16string text = u"INSERT INTO " + engine.quote_name(name()) + u"(";
    auto missing = [](const std::u16string& field) {
        tk_wtrace(1, u"Field %s not found", field.c_str());
        throw tk_exception(k_structure_text, 0);
    };
    if (kind == shape::more_fields) {
        for (size_t i = 0; i < schema().size(); ++i) {
            const std::u16string& column = schema()[i].name();
            if (!record.find_field(column)) {
                missing(column);
            }
            text += (i > 0 ? u", " : u"") + engine.quote_name(column);
        }
    } else {
        for (size_t i = 0; i < record.size(); ++i) {
            const std::u16string& field = record[i].name();
            if (!schema().find_field(field)) {
                missing(field);
            }
            text += (i > 0 ? u", " : u"") + engine.quote_name(schema().get_field(field).name());
        }
    }
    text += u")";
    text += u" VALUES( ";
    head.clear();
    tk_append_utf8(head, text);
    head_chars = text.size();
}

size_t sql_recordset::write_values(std::string& out, udb_record& record, shape kind) {
    size_t chars = 0;
    if (kind == shape::equal) {
        for (size_t i = 0; i < record.size(); ++i) {
            if (i > 0) {
                out.append(", ", 2);
                chars += 2;
            }
            chars += append_fld_literal(out, record[i], schema()[i]);
        }
        return chars;
    }
    // With a column list, each value is matched to its column by name (make_head checked that
    // every name is there) and converted to that column's type.
    auto write = [&](udb_field& field, const udb_column& column, size_t i) {
        tk_wtrace(1, u"from=%s, to=%s", field.name().c_str(), column.name().c_str());
        field.change_type(column.vartype());
        if (i > 0) {
            out.append(", ", 2);
            chars += 2;
        }
        chars += append_fld_literal(out, field, column);
    };
    if (kind == shape::more_fields) {
        for (size_t i = 0; i < schema().size(); ++i) {
            const udb_column& column = schema()[i];
            udb_field* field = record.get_field(column.name());
            if (field == nullptr) {
                throw tk_exception(k_structure_text, 0);
            }
            write(*field, column, i);
        }
    } else {
        for (size_t i = 0; i < record.size(); ++i) {
            const udb_column* column = schema().find_column(record[i].name());
            if (column == nullptr) {
                throw tk_exception(k_structure_text, 0);
            }
            write(record[i], *column, i);
        }
    }
    return chars;
}

void sql_recordset::append_record(udb_record& record) {
    tk_trace(1, "sql_recordset::append_record");
    // The record set aside by a refused batch comes back now (after a repair) or the owner has
    // moved on; either way it is no longer ours to send.
    m_has_set_aside = false;

    const shape kind = shape_of(record);
    if (kind == shape::equal) {
        convert_record(record);
    }
    std::string list_head;
    size_t list_head_chars = 0;
    if (kind != shape::equal) {
        make_head(list_head, list_head_chars, record, kind);
    }
    const std::string& head = kind == shape::equal ? m_table_head : list_head;
    const size_t head_chars = kind == shape::equal ? m_table_head_chars : list_head_chars;
    const int32_t number = m_next_record;

    // A row with another column list cannot join the pending statement: that one goes first.
    if (!m_buffer.empty() && head != m_head) {
        m_scratch.clear();
        write_values(m_scratch, record, kind);
        try {
            send_batch();
        } catch (const sql_exception&) {
            m_has_set_aside = true;
            m_set_aside_head = head;
            m_set_aside_values = m_scratch;
            m_set_aside_record = number;
            throw;
        }
    }

    const bool joins = !m_buffer.empty();
    const size_t mark = m_buffer.size();
    const size_t mark_chars = m_chars;
    if (joins) {
        m_buffer.append(", (", 3);
        m_chars += 3;
    } else {
        tk_trace(1, "Initialize new query...");
        if (m_buffer.capacity() < batch_threshold) {
            m_buffer.reserve(batch_threshold + batch_threshold / 4);
        }
        m_head = head;
        m_head_chars = head_chars;
        m_buffer = head;
        m_chars = head_chars;
    }
    const size_t begin = m_buffer.size();
    size_t value_chars = 0;
    try {
        value_chars = write_values(m_buffer, record, kind);
    } catch (...) {
        // A value that cannot be converted or a record that does not fit: the statement stays
        // as it was before this row.
        m_buffer.resize(mark);
        m_chars = mark_chars;
        if (mark == 0) {
            clear_batch();
        }
        m_scratch.clear();
        throw;
    }
    m_scratch.clear();
    const size_t end = m_buffer.size();
    m_buffer.push_back(')');
    m_chars += value_chars + 1;
    m_rows.push_back({begin, end, number});
    const size_t row_chars = (joins ? 1 : head_chars) + value_chars + 1;
    if (tk_log::wants(1)) {
        tk_trace(1, "*** FAST INSERT MODE ***");
        const std::string row_text =
            (joins ? std::string("(") : head) + m_buffer.substr(begin, end - begin) + ")";
        tk_trace(1, "sql_query=[%s]", row_text.c_str());
    }

    // Sets the current row aside (out of the statement) when the server refuses the batch.
    auto set_aside_current = [&]() {
        m_has_set_aside = true;
        m_set_aside_head = m_head;
        m_set_aside_values.assign(m_buffer, begin, end - begin);
        m_set_aside_record = number;
        m_rows.pop_back();
        if (m_rows.empty()) {
            const bool rejected = m_rejected;
            clear_batch();
            m_rejected = rejected;
        } else {
            m_buffer.resize(mark);
            m_chars = mark_chars;
        }
    };

    const uint32_t packet = sql_engine::instance().max_allowed_packet();
    const size_t limit = packet > 2 * k_packet_margin ? packet - k_packet_margin : packet / 2;
    if (m_buffer.size() > limit) {
        if (m_rows.size() > 1) {
            // The statement would be too large with this row: send it without the row, and let
            // the row start the next one.
            std::string values(m_buffer, begin, end - begin);
            m_rows.pop_back();
            m_buffer.resize(mark);
            m_chars = mark_chars;
            try {
                send_batch();
            } catch (const sql_exception&) {
                m_has_set_aside = true;
                m_set_aside_head = head;
                m_set_aside_values = std::move(values);
                m_set_aside_record = number;
                throw;
            }
            m_head = head;
            m_head_chars = head_chars;
            m_buffer = head;
            m_buffer += values;
            m_buffer.push_back(')');
            m_chars = head_chars + value_chars + 1;
            m_rows.push_back({head.size(), head.size() + values.size(), number});
        }
        if (m_buffer.size() > limit) {
            const size_t bytes = m_buffer.size();
            clear_batch();
            char text[256];
            std::snprintf(text, sizeof text,
                          "The row is %zu bytes long, more than the server accepts in one "
                          "statement (max_allowed_packet = %u): it was not written. Raise "
                          "max_allowed_packet on the server and convert the table again.",
                          bytes, packet);
            throw sql_exception(text, k_packet_too_large);
        }
    }

    if (m_chars + row_chars > batch_threshold) {
        try {
            send_batch();
        } catch (const sql_exception&) {
            set_aside_current();
            throw;
        }
    }
    set_record_count(record_count() + 1);
    m_next_record = number + 1;
}

bool sql_recordset::send(const std::string& statement) {
    return mysql_real_query(m_database.connection(), statement.data(), statement.size()) == 0;
}

void sql_recordset::send_batch() {
    if (m_buffer.empty()) {
        return;
    }
    tk_trace(2, "Run SQL query: [%s]", m_buffer.c_str());
    if (!send(m_buffer)) {
        m_rejected = true;
        throw sql_exception(m_database.connection());
    }
    tk_trace(1, "Cleaning append_buffer...");
    clear_batch();
}

void sql_recordset::clear_batch() {
    m_buffer.clear();
    m_chars = 0;
    m_head.clear();
    m_head_chars = 0;
    m_rows.clear();
    m_rejected = false;
}

void sql_recordset::clean() {
    tk_trace(2, "sql_recordset::clean");
    send_batch();
    m_has_set_aside = false;
    m_rejected = false;
    release_block();
}

void sql_recordset::report_row(const tk_exception& error, int32_t record, bool final) {
    if (error_handler* handler = error_handler::instance_if_any()) {
        handler->set_context(name(), record);
        handler->handle(error, final);
        return;
    }
    tk_trace(3, "Record #%d refused: %s", record, error.text().c_str());
}

int32_t sql_recordset::send_rejected_rows(bool final) {
    tk_trace(2, "sql_recordset::send_rejected_rows");
    // Take the batch over first, so that the cursor is clean whatever happens below (the user
    // may stop the run while a refused row is reported).
    const std::string buffer = std::move(m_buffer);
    const std::string head = std::move(m_head);
    const std::vector<batch_row> rows = std::move(m_rows);
    const bool has_set_aside = m_has_set_aside;
    const std::string set_aside_head = std::move(m_set_aside_head);
    const std::string set_aside_values = std::move(m_set_aside_values);
    const int32_t set_aside_record = m_set_aside_record;
    clear_batch();
    m_buffer = std::string();
    m_has_set_aside = false;

    // The rows of the statement were counted when they were appended, the row set aside not.
    struct single {
        const std::string* head;
        std::string_view values;
        int32_t record;
        bool counted;
    };
    std::vector<single> singles;
    singles.reserve(rows.size() + 1);
    for (const batch_row& row : rows) {
        singles.push_back({&head, std::string_view(buffer).substr(row.begin, row.end - row.begin),
                           row.record, true});
    }
    if (has_set_aside) {
        singles.push_back({&set_aside_head, set_aside_values, set_aside_record, false});
    }
    int32_t count = record_count();

    int32_t refused = 0;
    int32_t sent = 0;
    std::string statement;
    for (size_t i = 0; i < singles.size(); ++i) {
        const single& row = singles[i];
        statement.assign(*row.head);
        statement.append(row.values);
        statement.push_back(')');
        if (send(statement)) {
            ++sent;
            count += row.counted ? 0 : 1;
            continue;
        }
        const sql_exception error(m_database.connection());
        ++refused;
        count -= row.counted ? 1 : 0;
        const size_t left = singles.size() - i - 1;
        // Client errors (2000 and up) mean the connection itself failed: the other rows would
        // only fail the same way, one report each.
        const bool connection_lost = error.error_number() >= 2000;
        report_row(error, row.record, final);
        if (connection_lost && left > 0) {
            refused += static_cast<int32_t>(left);
            for (size_t j = i + 1; j < singles.size(); ++j) {
                count -= singles[j].counted ? 1 : 0;
            }
            char text[200];
            std::snprintf(text, sizeof text,
                          "The connection to the MySQL server failed: %zu more rows of this "
                          "batch were not written.",
                          left);
            if (error_handler* handler = error_handler::instance_if_any()) {
                handler->set_context(name());
                handler->handle(tk_exception(text, 0), final);
            } else {
                tk_trace(3, "%s", text);
            }
            break;
        }
    }
    tk_trace(2, "Rows sent one by one: %d written, %d refused", sent, refused);
    set_record_count(count);
    return refused;
}
