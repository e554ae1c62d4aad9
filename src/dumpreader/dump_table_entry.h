// dump_table_entry, index_span, alter_span: what the section scan records about one table.
//
// The scan of ora_dump_reader::open reads the dump once and keeps, per table, only positions:
// where its section starts and ends, and where its CREATE INDEX and ALTER TABLE statements lie
// (Data Pump dumps: where its metadata document and its row data are). The table cursor
// (ora_dump_table) later reads the table from there. The catalogue maps the table name to its
// entry, ordered by code unit; it is owned by the dump facade. Plain values.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// A CREATE [UNIQUE] INDEX statement: from just after the word INDEX to just after its line end.
struct index_span {
    uint64_t start = 0;
    uint64_t end = 0;
    bool b_unique = false;
};

// An ALTER TABLE statement: from just after the quoted table name to just after its line end.
struct alter_span {
    uint64_t start = 0;
    uint64_t end = 0;
};

// Data Pump: one segment of a table's rows, its stream description (the column order of its
// rows) and its row data.
struct pump_segment {
    uint64_t stream_start = 0;  // the "<" of the stream description
    uint64_t stream_end = 0;    // just after it
    uint64_t data_start = 0;    // the first byte of the row data
    uint64_t data_end = 0;      // just after the row data
};

// Data Pump: where a table's descriptions and rows lie.
struct pump_layout {
    std::vector<pump_segment> segments;  // in file order; empty for a table without rows
    // The export job's master-table row that holds the table's full description (0: none; the
    // stream description then describes the table), and the master table's own segment.
    uint64_t description_row = 0;
    pump_segment master;
};

struct dump_table_entry {
    // Classic: just after the word TABLE that opens the section. Data Pump: the "<" of the
    // table's first metadata document.
    uint64_t start = 0;
    // Classic: where the section ends. Data Pump: just after that document.
    uint64_t end = 0;
    uint64_t metadata_position = 0;  // Data Pump: the stream-table document before the rows
    uint64_t data_position = 0;      // Data Pump: the first byte of the row data
    int32_t row_count = 0;
    std::vector<index_span> indexes;
    std::vector<alter_span> alters;
    pump_layout pump;  // Data Pump only
};

using ora_dump_catalogue = std::map<std::u16string, dump_table_entry>;
