// Test doubles and helpers for the converter's unit tests: an in-memory source database whose
// tables hand out rows (and, where a test asks, fail at a given row), an in-memory destination
// that records every table, row, statement and foreign key it is given (and fails where asked),
// an error front end that records every report, a private settings folder, and a converter whose
// source and destination are those doubles.
#pragma once

#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "error_handler.h"
#include "fixture_temp_dir.h"
#include "tk_exception.h"
#include "udb_database.h"
#include "udb_recordset.h"
#include "velt2sql_convertor.h"

namespace conv_test {

// A column of a test table: its name and type, and whether it is NOT NULL / auto-increment.
struct column_spec {
    std::u16string name;
    VARTYPE type = VT_BSTR;
    int32_t size = 20;
    bool not_null = false;
    bool auto_increment = false;
};

std::unique_ptr<udb_column> make_column(const column_spec& spec);

// A failure a double raises at a row (1-based record number) of a table.
struct row_failure {
    int32_t record = 0;
    std::function<void()> raise;
    int times = 1;  // how often it fires at that row
};

struct mem_table_data {
    std::vector<column_spec> columns;
    std::vector<std::vector<ole_variant>> rows;
    udb_indexes indexes;
    std::vector<row_failure> read_failures;  // raised by get_item
};

class mem_table : public udb_recordset {
public:
    mem_table(std::u16string name, mem_table_data& data);
    void append_record(udb_record&) override {}
    udb_record* get_item() override;
    bool is_eof() override { return m_position >= m_data.rows.size(); }
    void next() override { ++m_position; }
    void prev() override {
        if (m_position > 0) --m_position;
    }
    void reset() override { m_position = 0; }

private:
    mem_table_data& m_data;
    size_t m_position = 0;
    udb_record m_record;
};

class mem_source : public udb_database {
public:
    mem_source();
    mem_table_data& add(const std::u16string& name);
    std::unique_ptr<udb_recordset> create_table(const std::u16string&, const udb_schema&,
                                                const udb_indexes&) override {
        return nullptr;
    }
    std::unique_ptr<udb_recordset> get_table(const std::u16string& name, int32_t) override;
    std::unique_ptr<udb_recordset> get_query(const std::u16string&, const std::u16string&,
                                             int32_t) override {
        return nullptr;
    }
    bool query(const std::u16string&) override { return true; }
    void create_relationships(const std::vector<udb_relationship>& list) override {
        set_relationships(list);
    }
    // Fails get_table of this table with the exception `raise` throws.
    std::map<std::u16string, std::function<void()>> open_failures;

private:
    std::map<std::u16string, mem_table_data> m_tables;
};

// What the destination received for one table.
struct dest_table {
    std::vector<column_spec> columns;
    udb_indexes indexes;
    std::vector<std::vector<std::u16string>> rows;  // values as text, "NULL" for empty
    int creates = 0;
};

// Everything the destination received; shared, so that it outlives the destination object the
// run destroys.
struct dest_state {
    std::map<std::u16string, dest_table> tables;
    std::vector<std::u16string> deleted;
    std::vector<std::u16string> statements;
    std::vector<udb_relationship> foreign_keys;
    int relationship_calls = 0;
    // Failures of append_record, per table, by the number of the append call (1-based).
    std::map<std::u16string, std::vector<row_failure>> append_failures;
    std::map<std::u16string, std::function<void()>> create_failures;

    // A table that exists before the run (with a few rows).
    void add_existing(const std::u16string& name, const std::vector<column_spec>& columns,
                      int rows);
};

class mem_dest;

class mem_dest_table : public udb_recordset {
public:
    mem_dest_table(mem_dest& owner, std::u16string name);
    void append_record(udb_record& record) override;

private:
    mem_dest& m_owner;
    int32_t m_appended = 0;  // calls, failed ones included
};

class mem_dest : public udb_database {
public:
    explicit mem_dest(std::shared_ptr<dest_state> state);
    std::unique_ptr<udb_recordset> create_table(const std::u16string& name,
                                                const udb_schema& schema,
                                                const udb_indexes& indexes) override;
    bool delete_tab(const std::u16string& name) override;
    std::unique_ptr<udb_recordset> get_table(const std::u16string& name, int32_t) override;
    std::unique_ptr<udb_recordset> get_query(const std::u16string&, const std::u16string&,
                                             int32_t) override {
        return nullptr;
    }
    bool query(const std::u16string& statement) override;
    std::unique_ptr<udb_recordset> query_records(const std::u16string& statement) override;
    void create_relationships(const std::vector<udb_relationship>& list) override;

    dest_state& state() { return *m_state; }

private:
    std::shared_ptr<dest_state> m_state;
};

// The reports the error handler passed on.
struct report_entry {
    int32_t level;
    std::string message;
};

class recording_front_end : public error_front_end {
public:
    void internal_error(const std::string& text) override { reports.push_back({2, text}); }
    void report(error_handler&, int32_t level, const std::string& message, bool) override {
        reports.push_back({level, message});
    }
    std::vector<report_entry> reports;
};

// Points the per-user settings at a private folder for the life of the object.
class private_settings {
public:
    private_settings();
    ~private_settings();
    const std::string& folder() const { return m_dir.path(); }

private:
    fixture_temp_dir m_dir;
    std::optional<std::string> m_old_home;
    std::optional<std::string> m_old_config;
};

// A converter over the doubles.
class test_convertor : public velt2sql_convertor {
public:
    explicit test_convertor(velt_program program = velt_program::console);
    mem_source source;
    // What the destination of the run receives.
    std::shared_ptr<dest_state> dest = std::make_shared<dest_state>();
    bool fail_dest = false;  // get_dest_base throws a std::runtime_error

protected:
    udb_database* open_source() override { return &source; }
    std::unique_ptr<udb_database> get_dest_base() override;
};

}  // namespace conv_test
