// sql_recordset: the cursor over one MySQL table (or query result) that reads it back and
// appends rows to it in multi-row INSERT statements.
//
// Made by sql_database (create_table, get_table, get_query), owned by the caller, and must not
// outlive its database. Construction reads the structure back from the server: the columns from
// the first block of rows, then for a table SHOW COLUMNS (sizes, defaults) and SHOW INDEX. Reading
// keeps at most one block of 256 rows in memory; get_item's record stays valid until the cursor
// moves or is destroyed.
//
// Loading: append_record converts a record to the schema's types and appends its row to one
// UTF-8 INSERT statement; the statement is sent once it passes batch_threshold characters, before
// it would exceed the server's max_allowed_packet, and by clean() (the owner calls it when the
// table is done; the destructor sends whatever is still pending). The batch remembers where each
// row starts and the record number of each row.
//
// A rejected batch. When the server refuses a batch, append_record (or clean) throws
// sql_exception and the cursor keeps the batch (has_rejected_batch()): the rows before the current
// record stay in the statement and the current record is set aside. The owner then either
// repairs the cause (mysql_resolve_duplicates::handle_if) and appends the same record again,
// which sends the batch again with it, or calls send_rejected_rows(), which sends every row of
// the batch alone, reports each row the server refuses to the error_handler (level 0, context:
// table name and the row's record number) and keeps all the others. After a failed clean() the
// owner calls clean() again after a repair, or send_rejected_rows().
//
// One thread (the connection's).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sql_database.h"
#include "udb_recordset.h"
#include "udb_relationship.h"

class sql_recordset : public udb_recordset {
public:
    // A batch is sent when the statement passes this many UTF-16 characters.
    static constexpr size_t batch_threshold = 300000;

    // Over a table; reads its structure back. Throws sql_exception.
    sql_recordset(sql_database& database, std::u16string name,
                  const std::vector<udb_relationship>& relationships);
    // Over the result of a query; reads the columns of its result. Throws sql_exception.
    sql_recordset(sql_database& database, std::u16string name, std::u16string query,
                  const std::vector<udb_relationship>& relationships);
    // Sends what is still pending; a refused batch is then sent row by row and every refused row
    // reported to the error_handler. Never throws.
    ~sql_recordset() override;

    // Appends one row. Throws sql_exception when a batch is refused (see above) or the row alone
    // is larger than the server accepts (error 1153, the row is not kept), tk_exception (level 0)
    // when the record's fields do not fit the table's columns, and what the value conversion
    // throws (ole_type_exception).
    void append_record(udb_record& record) override;
    // The current row of the block, owned by the cursor; nullptr past the end.
    udb_record* get_item() override;
    bool is_eof() override;
    void next() override;
    void prev() override;
    void reset() override;

    // Reads the structure and the first block of rows. Throws sql_exception.
    void initialize();
    // Sends the pending batch and releases the row block. Throws sql_exception when the server
    // refuses the batch, which is then kept (has_rejected_batch()).
    void clean();
    // SELECT COUNT(*) of the table or query. Throws sql_exception.
    int32_t get_rec_count();

    // The record number the next appended record is reported under (the driver's row number).
    // Without it, records are numbered 1, 2, 3, ... in the order they are appended.
    void set_record_number(int32_t number) { m_next_record = number; }
    // True after the server refused the batch, until it is sent or send_rejected_rows() ran.
    bool has_rejected_batch() const { return m_rejected; }
    // Sends every row of the refused batch (and the record set aside) alone; reports each row the
    // server refuses to the error_handler with final as given (final false may let
    // tk_final_exception through when the user stops). Returns the number of rows refused.
    int32_t send_rejected_rows(bool final = false);

    // The pending statement (UTF-8), its length in UTF-16 characters and its rows.
    const std::string& batch_text() const { return m_buffer; }
    size_t batch_chars() const { return m_chars; }
    size_t batch_rows() const { return m_rows.size(); }

private:
    // One row of the pending statement: its values text is m_buffer[begin, end).
    struct batch_row {
        size_t begin;
        size_t end;
        int32_t record;
    };
    // The shape of a record against the schema.
    enum class shape { equal, more_fields, fewer_fields };

    void read_structure();
    void load_block(int32_t offset);
    void release_block();
    shape shape_of(const udb_record& record) const;
    // Converts the record for its shape and writes its values to out; returns their characters.
    size_t write_values(std::string& out, udb_record& record, shape kind);
    void make_head(std::string& head, size_t& head_chars, const udb_record& record,
                   shape kind) const;
    bool send(const std::string& statement);
    // Sends the pending batch; on refusal keeps it, marks it rejected and throws.
    void send_batch();
    void clear_batch();
    void report_row(const tk_exception& error, int32_t record, bool final);

    sql_database& m_database;
    int32_t m_row = 0;
    int32_t m_position = 0;
    const std::vector<udb_relationship>& m_relationships;
    sql_database::sql_limited_query::block m_block;

    std::string m_table_head;  // "INSERT INTO `T` VALUES(" in UTF-8
    size_t m_table_head_chars = 0;
    std::string m_buffer;  // the pending statement
    size_t m_chars = 0;    // its length in UTF-16 characters
    std::string m_head;    // the head of the pending statement
    size_t m_head_chars = 0;
    std::vector<batch_row> m_rows;
    bool m_rejected = false;
    // The record whose row was being added when the server refused the batch.
    bool m_has_set_aside = false;
    std::string m_set_aside_head;
    std::string m_set_aside_values;
    int32_t m_set_aside_record = 0;
    int32_t m_next_record = 1;
    std::string m_scratch;  // rows built apart from the statement (rare paths)
};
