// ora_pump_scan: the header check and the section scan of a Data Pump dump.
//
// read_header() checks the file header (block 0): the header family and its second byte, the
// block size, the file's number in its dump set, the character set, the database version text
// (at byte 477 or 856 by family) and the export job's name, whose master table holds the full
// table descriptions.
//
// run() walks the dump block by block. A block that starts with a segment header holds a table's
// stream description and row data: the description is read in name mode (owner, name), the row
// data is passed over whole and the walk goes on at the next block after it. Then the master
// table's rows are read: each XML_CLOB value that is a TABLE_T description names a table of the
// dump and gives its columns and constraints. The catalogue lists every table that has a full
// description (with or without rows) and every table with rows but no description, except the
// export's own tables (the master table, SYS.IMPDP_STATS). Names are unique per catalogue key:
// a name that occurs for two owners is listed the second time as OWNER.NAME.
//
// Only positions are kept, never rows or documents: memory grows with the number of tables. A
// damaged segment or description is traced and passed over (its table is then missing or has no
// rows); a segment written by Oracle's compressor (COMPRESSION=ALL) makes compressed() true.
// Progress goes to the callback; the thread's stop request is checked as the walk goes on
// (tk_thread_stop). One thread; borrows the source and the decoder for the call.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "dump_table_entry.h"

class ora_byte_source;
class ora_dump_pump_reader_th;

struct ora_pump_header {
    int family = 0;            // byte 0
    uint8_t second_byte = 0;   // byte 1
    uint16_t file_number = 0;
    uint32_t block_size = 0;
    uint16_t charset_id = 0;
    std::string version_text;  // "12.02.00.00.00"
    std::string job_owner;     // the master table's owner and name ("" when the header has none)
    std::string job_table;
};

class ora_pump_scan {
public:
    enum class header_check {
        ok,
        bad_lead_bytes,    // not a Data Pump header family
        bad_block_size,    // not a power of two between 512 and 65536: a damaged header
        non_leading_part,  // a later file of a dump set
        bad_version_text,  // no database version 10 or later where the family keeps it
    };

    // Reads and checks the header from the start of the source; `header` holds what was read.
    static header_check read_header(ora_byte_source& source, ora_pump_header& header);

    ora_pump_scan(ora_byte_source& source, ora_dump_pump_reader_th& decoder,
                  const ora_pump_header& header, std::function<void(uint64_t)> progress);

    // Walks the dump and returns its catalogue. Throws tk_thread_stop on a stop request, and
    // the source's tk_exception_ex when the file cannot be read.
    ora_dump_catalogue run();

    bool compressed() const { return m_compressed; }

private:
    struct stream {
        std::u16string owner;
        std::u16string name;
        pump_segment segment;
        bool unsure = false;  // its header's lengths did not agree: its row data was not skipped
    };
    struct description {
        std::u16string owner;
        std::u16string name;
        uint64_t row = 0;
    };

    void walk_segments();
    bool read_segment(uint64_t position, uint64_t& next);
    void read_master();
    ora_dump_catalogue build() const;
    // A stream description's bytes as UTF-8 for the parser.
    std::string to_utf8(const std::string& document) const;

    ora_byte_source& m_source;
    ora_dump_pump_reader_th& m_decoder;
    ora_pump_header m_header;
    std::function<void(uint64_t)> m_progress;
    uint64_t m_length;
    bool m_compressed = false;
    std::vector<stream> m_streams;
    std::vector<description> m_descriptions;
    int m_master = -1;  // index of the master table's stream
};
