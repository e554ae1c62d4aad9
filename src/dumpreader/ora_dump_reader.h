// ora_dump_reader: recognises an Oracle export dump and builds its table catalogue.
//
// open() reads the header (export version, character sets, multi-file and merged-dump markers),
// chooses the row decoder for the version, then reads the whole file once, word by word, and
// records for every table where its section lies and where its CREATE INDEX and ALTER TABLE
// statements are. The result is the dump facade ora_dump_file, which owns the byte source, the
// catalogue and the decoder. Nothing of a table's rows is loaded: memory grows with the number of
// tables and statements only.
//
// Every failure of an open is reported through error_handler::handle (level 1, no option to
// continue), which ends the open with tk_final_exception; progress() is then -1. Without an
// error handler the tk_exception itself is thrown. A stop request of the worker thread
// (tk_thread::check_stop, checked every 64 KB of the scan) ends the open with tk_thread_stop.
//
// One instance per process (single-instance pattern), embedded in ora_dump_opener. open() runs on
// the opener's worker thread; progress() and local_progress() may be read from any thread at any
// time. The other accessors describe the latest open and are read by the thread that opened.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "dump_table_entry.h"
#include "ora_text_codec.h"
#include "tk_single_instance.h"

class ora_byte_source;
class ora_dump_file;
class ora_dump_reader_th;

class ora_dump_reader : public tk_single_instance<ora_dump_reader> {
public:
    // The generic open error.
    static constexpr const char* open_error_text =
        "The program cannot read Oracle dumpfile. It may be corrupted or doesnot comply with "
        "Oracle dump fileformat.";
    static constexpr const char* non_leading_part_text =
        "This is a non-leading part of multifile dump. The program can extract data from the "
        "first part of multifile dump only. See 'Troubleshooting' article of the product "
        "documentation for solution.";
    static constexpr const char* compound_text =
        "This is a compound dump file (several dumps merged together). The program can extract "
        "only first dump.";
    static constexpr const char* multifile_first_text =
        "This is the first part of multifile dump. The program extracts data stored in this "
        "file only, other parts of the dump will not be processed. See 'Troubleshooting' "
        "article of the product documentation for solution.";

    ora_dump_reader();
    virtual ~ora_dump_reader();

    // Opens the dump file at `path` and returns its facade (owned by the caller). Failures: see
    // above. Fields of an earlier open that this one does not change keep their values.
    std::unique_ptr<ora_dump_file> open(const std::u16string& path);
    // The same, handing the facade to `sink` before progress() becomes 100, so that a thread that
    // sees 100 also sees what the sink stored.
    void open(const std::u16string& path,
              const std::function<void(std::unique_ptr<ora_dump_file>)>& sink);
    // Opens a dump held by `source` (tests, tools); `name` is used in traces.
    std::unique_ptr<ora_dump_file> open(std::unique_ptr<ora_byte_source> source,
                                        const std::u16string& name);

    // progress = the share of [start, start + total) that `current` has reached, in percent,
    // never 100 before the open has finished. Nothing changes when total is 0.
    void set_progress(uint64_t start, uint64_t current, uint64_t total);
    // local_progress = the share of [start, end) that `current` has reached, in percent.
    void set_local_progress(uint64_t start, uint64_t end, uint64_t current);
    // 0 before an open, -1 after a failure, 100 after success.
    int32_t progress() const { return m_progress.load(std::memory_order_acquire); }
    int32_t local_progress() const { return m_local_progress.load(std::memory_order_acquire); }

    uint64_t file_length() const { return m_file_length; }
    bool b_compound() const { return m_b_compound; }
    bool b_multifile_first() const { return m_b_multifile_first; }
    bool b_pump() const { return m_b_pump; }
    int32_t charset_kind() const { return m_charset_kind; }
    int32_t ncharset_kind() const { return m_ncharset_kind; }
    int32_t code_page() const { return m_code_page; }
    // Facts of the latest classic header.
    int32_t version() const { return m_version; }
    const std::string& version_word() const { return m_version_word; }
    uint16_t charset_id() const { return m_charset_id; }
    uint16_t ncharset_id() const { return m_ncharset_id; }
    uint16_t session_charset_id() const { return m_session_id; }
    uint16_t part_marker() const { return m_part_marker; }

    // Builds the character-set tables (trace "ora_dump_reader::init_cp_tables").
    void init_cp_tables();
    // code_page = the code page of the big-endian id in `id` (unchanged when it has none).
    void set_code_page(const uint8_t id[2]);
    // The id's code page, or 0 (the system ANSI code page) when it has none.
    static uint16_t get_code_page(uint32_t id);
    // Text of the latest open's database (or, `national`, national) character set.
    std::u16string decode_text(const uint8_t* bytes, size_t length, bool national);
    // The text decoding of the latest open.
    ora_text_codec& codec() { return m_codec; }

private:
    // Reports `message` (level 1) through the error handler and ends the open.
    [[noreturn]] void fail(const std::string& message);
    std::unique_ptr<ora_dump_file> run(std::unique_ptr<ora_byte_source> source,
                                       const std::u16string& name);
    std::unique_ptr<ora_dump_file> read_classic(std::unique_ptr<ora_byte_source> source,
                                                uint8_t lead[3]);
    ora_dump_catalogue scan_classic(ora_byte_source& source);
    // Hands the facade over (to the sink of the running open, or to the caller) and publishes
    // progress 100. Both branches end with it.
    std::unique_ptr<ora_dump_file> finish(std::unique_ptr<ora_dump_file> file);
    // The Data Pump branch: recognises the Data Pump header, scans the metadata documents and
    // returns the facade, or reports the failure like the classic branch.
    std::unique_ptr<ora_dump_file> read_pump(std::unique_ptr<ora_byte_source> source);

    std::atomic<int32_t> m_progress{0};
    std::atomic<int32_t> m_local_progress{0};
    uint64_t m_file_length = 0;
    bool m_b_compound = false;
    bool m_b_multifile_first = false;
    bool m_b_pump = false;
    int32_t m_charset_kind = 0;
    int32_t m_ncharset_kind = 2;
    int32_t m_code_page = 0;
    int32_t m_version = 0;
    std::string m_version_word;
    std::string m_user_name;
    std::string m_tablespace_name;
    uint16_t m_charset_id = 0;
    uint16_t m_ncharset_id = 0;
    uint16_t m_session_id = 0;
    uint16_t m_part_marker = 0;
    ora_text_codec m_codec;
    std::unique_ptr<ora_dump_reader_th> m_decoder;  // during an open
    const std::function<void(std::unique_ptr<ora_dump_file>)>* m_sink = nullptr;
};
