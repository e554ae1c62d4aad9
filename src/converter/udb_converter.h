// udb_converter: the conversion settings and progress that do not depend on the destination.
//
// Adds to tk_converter the existing-destination mode (0 overwrite the database, 1 overwrite
// existing tables, 2 skip existing tables, 3 merge), the switches for table definitions only and
// for skipping indexes, the selected tables in conversion order, the query maps that the profile
// format keeps, and the progress of a run: the table being converted, its row count, the rows
// done, the number of tables and the tables done. Its profile transfer covers these settings
// (the "Selected Tables", "Available Queries" and "Generic settings" sections).
//
// Threads: the front end fills the settings and the run reads them on the conversion thread.
// The progress counters and the current table are written by the conversion thread only and read
// by the wizard's user-interface thread while the run goes on: the counters are atomic, the
// table name is guarded by a mutex and read through a copy.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "tk_converter.h"

class udb_profile;

class udb_converter : public tk_converter {
public:
    using query_map = std::map<std::u16string, std::u16string>;

    udb_converter();
    ~udb_converter() override;

    int32_t mode() const { return m_mode; }
    // Trace "udb_converter::set_mode(%d)".
    void set_mode(int32_t mode);
    bool tab_def() const { return m_tab_def; }
    void set_tab_def(bool on) { m_tab_def = on; }
    bool skip_idx() const { return m_skip_idx; }
    void set_skip_idx(bool on) { m_skip_idx = on; }

    std::vector<std::u16string>& selected_tables() { return m_selected_tables; }
    const std::vector<std::u16string>& selected_tables() const { return m_selected_tables; }
    query_map& selected_queries() { return m_selected_queries; }
    const query_map& selected_queries() const { return m_selected_queries; }
    query_map& available_queries() { return m_available_queries; }
    const query_map& available_queries() const { return m_available_queries; }

    // Progress, for any thread.
    std::u16string current_table() const;
    int32_t table_rows() const { return m_table_rows.load(std::memory_order_relaxed); }
    int32_t rows_done() const { return m_rows_done.load(std::memory_order_relaxed); }
    int32_t table_count() const { return m_table_count.load(std::memory_order_relaxed); }
    int32_t tables_done() const { return m_tables_done.load(std::memory_order_relaxed); }

    // Adds the profile's selected tables and queries and takes its generic settings (keys with
    // empty values change nothing). Always true.
    bool load_profile(const udb_profile& profile);
    // Puts the queries, the selected tables and the generic settings into the profile. Always
    // true.
    bool store_profile(udb_profile& profile) const;

protected:
    void set_current_table(std::u16string name);
    void set_table_rows(int32_t rows) { m_table_rows.store(rows, std::memory_order_relaxed); }
    void set_rows_done(int32_t rows) { m_rows_done.store(rows, std::memory_order_relaxed); }
    void set_table_count(int32_t count) { m_table_count.store(count, std::memory_order_relaxed); }
    void set_tables_done(int32_t count) { m_tables_done.store(count, std::memory_order_relaxed); }

private:
    int32_t m_mode = 0;
    mutable std::mutex m_current_mutex;
    std::u16string m_current_table;  // guarded by m_current_mutex
    std::atomic<int32_t> m_table_rows{0};
    std::atomic<int32_t> m_rows_done{0};
    std::atomic<int32_t> m_table_count{0};
    std::atomic<int32_t> m_tables_done{0};
    std::vector<std::u16string> m_selected_tables;
    query_map m_selected_queries;
    query_map m_available_queries;
    bool m_tab_def = false;
    bool m_skip_idx = false;
};
