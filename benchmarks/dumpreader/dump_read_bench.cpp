// dump_read_bench [--rows N] [--dir FOLDER] [--keep]
//
// Writes a classic export dump of more than 1 GB with the fixture encoder (four tables, ten
// million rows of NUMBER, VARCHAR2, CHAR and DATE columns by default, one table with a CLOB in
// every row) into a private folder under FOLDER (default $TMPDIR or /tmp), after checking that the
// disk has room for it. Then it times
//   (a) the open: the header and the word-by-word section scan of the whole file, and
//   (b) reading every row of every table through the cursor (get_table, reset, get_item, next),
// and prints MB/s, rows/s and the peak resident memory of the reading (VmHWM, reset after the
// dump was written). The folder and the dump are removed at the end unless --keep is given.
// Aims: open >= 200 MB/s, reading >= 100 MB/s, peak < 64 MB.
#include <sys/statvfs.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "classic_dump_encoder.h"
#include "dump_byte_sink.h"
#include "fixture_temp_dir.h"
#include "ora_dump_file.h"
#include "ora_dump_reader.h"
#include "oracle_value_encoding.h"
#include "tk_exception.h"
#include "tk_text.h"
#include "udb_recordset.h"

namespace {

using clock_type = std::chrono::steady_clock;

double seconds_since(clock_type::time_point t) {
    return std::chrono::duration<double>(clock_type::now() - t).count();
}

// A field of /proc/self/status in kB ("VmHWM", "VmRSS"), or -1.
long status_kb(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const size_t n = std::strlen(field);
    while (std::getline(in, line)) {
        if (line.compare(0, n, field) == 0 && line.size() > n && line[n] == ':')
            return std::atol(line.c_str() + n + 1);
    }
    return -1;
}

// Starts a new peak: VmHWM is set back to the current resident size.
void reset_peak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
}

// NUMBER bytes of a non-negative integer, without text.
size_t number_bytes(uint64_t v, uint8_t* out) {
    if (v == 0) {
        out[0] = 0x80;
        return 1;
    }
    uint8_t digits[12] = {};
    int n = 0;
    while (v) {
        digits[n++] = static_cast<uint8_t>(v % 100);
        v /= 100;
    }
    int last = 0;  // trailing zero digits are dropped
    while (digits[last] == 0) ++last;
    out[0] = static_cast<uint8_t>(193 + n - 1);
    size_t k = 1;
    for (int i = n - 1; i >= last; --i) out[k++] = static_cast<uint8_t>(digits[i] + 1);
    return k;
}

struct bench_table {
    fixture_table def;
    uint64_t rows = 0;
};

// One cell's bytes in a reusable buffer.
struct cell_buffer {
    uint8_t bytes[256];
    std::string text;
    dump_cell cell;
    void set(const uint8_t* p, size_t n) {
        cell = dump_cell();
        cell.data = p;
        cell.size = n;
    }
    void number(uint64_t v) { set(bytes, number_bytes(v, bytes)); }
    void decimal(uint64_t hundredths) {
        // value = hundredths / 100: the integer's digits shifted by one base-100 place.
        size_t n = number_bytes(hundredths, bytes);
        if (n > 1 || bytes[0] != 0x80)
            bytes[0] = static_cast<uint8_t>(bytes[0] - 1);
        set(bytes, n);
    }
    void date(int y, int m, int d, int hh, int mi, int ss) {
        auto b = ora_date_bytes({y, m, d, hh, mi, ss, 0});
        std::memcpy(bytes, b.data(), b.size());
        set(bytes, b.size());
    }
    void chars(const std::string& s) {
        text = s;
        set(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    }
};

const char* const k_cities[] = {"Lisboa", "Porto", "Braga",  "Coimbra", "Faro",
                                "Aveiro", "Viseu", "Leiria", "Evora",   "Guarda"};
const char* const k_kinds[] = {"LOGIN", "LOGOUT", "ORDER", "PAYMENT", "REFUND", "VISIT"};

std::vector<bench_table> make_tables(uint64_t total_rows) {
    std::vector<bench_table> t(4);
    t[0].def.name = u"ORDERS";
    t[0].def.column(u"ID", "NUMBER(10, 0)", "NOT NULL ENABLE")
        .column(u"CUSTOMER", "VARCHAR2(60)")
        .column(u"AMOUNT", "NUMBER(12, 2)")
        .column(u"CREATED", "DATE")
        .column(u"STATUS", "CHAR(8)")
        .column(u"NOTE", "VARCHAR2(200)");
    t[1].def.name = u"CUSTOMERS";
    t[1].def.column(u"ID", "NUMBER(10, 0)", "NOT NULL ENABLE")
        .column(u"NAME", "VARCHAR2(80)")
        .column(u"CITY", "VARCHAR2(40)")
        .column(u"BORN", "DATE")
        .column(u"SCORE", "NUMBER");
    t[2].def.name = u"EVENTS";
    t[2].def.column(u"ID", "NUMBER(19, 0)", "NOT NULL ENABLE")
        .column(u"KIND", "VARCHAR2(20)")
        .column(u"AT", "DATE")
        .column(u"VALUE", "NUMBER(15, 4)")
        .column(u"TEXT", "VARCHAR2(100)");
    t[3].def.name = u"DOCUMENTS";
    t[3].def.column(u"ID", "NUMBER(10, 0)", "NOT NULL ENABLE")
        .column(u"TITLE", "VARCHAR2(100)")
        .column(u"CREATED", "DATE")
        .column(u"BODY", "CLOB");
    for (auto& x : t) x.def.tablespace = u"USERS";
    t[3].rows = total_rows / 100;
    t[0].rows = total_rows * 40 / 100;
    t[1].rows = total_rows * 25 / 100;
    t[2].rows = total_rows - t[0].rows - t[1].rows - t[3].rows;
    return t;
}

void write_dump(const std::string& path, std::vector<bench_table>& tables) {
    dump_file_sink sink(path);
    dump_header_options header;
    header.database_charset = 178;
    header.session_charset = 178;
    classic_dump_encoder enc(sink, header);
    enc.write_header();
    std::vector<cell_buffer> cells(6);
    std::vector<dump_cell> row(6);
    std::string body;
    for (size_t ti = 0; ti < tables.size(); ++ti) {
        bench_table& bt = tables[ti];
        enc.begin_table(bt.def);
        enc.begin_block();
        const size_t ncols = bt.def.columns.size();
        for (uint64_t i = 0; i < bt.rows; ++i) {
            const int day = 1 + static_cast<int>(i % 28), month = 1 + static_cast<int>(i % 12);
            switch (ti) {
                case 0:
                    cells[0].number(i + 1);
                    cells[1].chars("Customer number " + std::to_string(i % 99991));
                    cells[2].decimal((i * 7919) % 10000000);
                    cells[3].date(2000 + static_cast<int>(i % 24), month, day, 10, 20, 30);
                    cells[4].chars(i % 3 ? "SHIPPED " : "OPEN    ");
                    cells[5].chars("Delivered to the main office, second floor, room " +
                                   std::to_string(i % 500));
                    break;
                case 1:
                    cells[0].number(i + 1);
                    cells[1].chars("Name Surname " + std::to_string(i));
                    cells[2].chars(k_cities[i % 10]);
                    cells[3].date(1940 + static_cast<int>(i % 60), month, day, 0, 0, 0);
                    cells[4].number(i % 1000);
                    if (i % 17 == 0)
                        cells[4].cell.null = true;
                    break;
                case 2:
                    cells[0].number(1000000000000ull + i);
                    cells[1].chars(k_kinds[i % 6]);
                    cells[2].date(2020 + static_cast<int>(i % 5), month, day,
                                  static_cast<int>(i % 24), static_cast<int>(i % 60),
                                  static_cast<int>((i * 7) % 60));
                    cells[3].decimal(i % 100000000);
                    cells[4].chars("event payload " + std::to_string(i * 31) +
                                   " with a short free text of forty characters");
                    break;
                default:
                    cells[0].number(i + 1);
                    cells[1].chars("Document " + std::to_string(i) + ": quarterly report");
                    cells[2].date(2010 + static_cast<int>(i % 15), month, day, 8, 0, 0);
                    body.assign(3000, static_cast<char>('a' + i % 26));
                    cells[3].cell = dump_cell();
                    cells[3].cell.lob_data = reinterpret_cast<const uint8_t*>(body.data());
                    cells[3].cell.lob_size = body.size();
                    if (i % 2) {
                        cells[3].cell.lob_form = lob_layout::fffc;
                        cells[3].cell.lob_chunk_length = 1024;
                    }
                    break;
            }
            for (size_t c = 0; c < ncols; ++c) row[c] = cells[c].cell;
            enc.write_cells(row.data(), ncols);
        }
        enc.end_block();
        enc.end_table();
    }
    enc.finish();
    sink.close();
}

}  // namespace

int main(int argc, char** argv) {
    uint64_t total_rows = 10000000;
    std::string base =
        std::getenv("TMPDIR") && *std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp";
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--rows" && i + 1 < argc) {
            total_rows = std::strtoull(argv[++i], nullptr, 10);
        } else if (a == "--dir" && i + 1 < argc) {
            base = argv[++i];
        } else if (a == "--keep") {
            keep = true;
        } else {
            std::fprintf(stderr, "usage: dump_read_bench [--rows N] [--dir FOLDER] [--keep]\n");
            return 2;
        }
    }
    try {
        // About 125 bytes per row on average, with the documents' CLOBs.
        const uint64_t estimate = total_rows * 130 + (64u << 20);
        struct statvfs fs {};
        if (statvfs(base.c_str(), &fs) != 0) {
            std::fprintf(stderr, "Cannot query the free space of %s\n", base.c_str());
            return 1;
        }
        const uint64_t free_bytes = static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize;
        if (free_bytes < estimate + (512u << 20)) {
            std::fprintf(stderr,
                         "Not enough free space in %s: %.0f MB free, about %.0f MB needed. Use "
                         "--dir to choose another folder or --rows to make a smaller dump.\n",
                         base.c_str(), free_bytes / 1048576.0,
                         (estimate + (512u << 20)) / 1048576.0);
            return 1;
        }
        fixture_temp_dir dir("velt_dump_read_bench", base);
        const std::string path = dir.file("bench.dmp");
        std::vector<bench_table> tables = make_tables(total_rows);

        auto t0 = clock_type::now();
        write_dump(path, tables);
        const double write_s = seconds_since(t0);

        reset_peak();
        const long rss_before = status_kb("VmRSS");
        ora_dump_reader reader;
        t0 = clock_type::now();
        std::unique_ptr<ora_dump_file> dump = reader.open(tk_from_utf8(path));
        const double open_s = seconds_since(t0);
        if (!dump) {
            std::fprintf(stderr, "The open gave no dump\n");
            return 1;
        }
        const double mb = static_cast<double>(reader.file_length()) / 1048576.0;
        const long peak_open = status_kb("VmHWM");

        uint64_t rows = 0, checksum = 0;
        double init_s = 0;
        t0 = clock_type::now();
        for (const auto& name : dump->table_names()) {
            auto ti = clock_type::now();
            std::unique_ptr<udb_recordset> t = dump->get_table(name, 0);
            init_s += seconds_since(ti);
            if (!t) {
                std::fprintf(stderr, "Table %s did not open\n", tk_to_utf8(name).c_str());
                return 1;
            }
            uint64_t n = 0;
            t->reset();
            while (!t->is_eof()) {
                udb_record* r = t->get_item();
                checksum += static_cast<uint64_t>(r->size()) + (*r)[1].bstr().size();
                ++n;
                t->next();
            }
            rows += n;
            std::printf("  %-10s %10llu rows\n", tk_to_utf8(name).c_str(),
                        static_cast<unsigned long long>(n));
        }
        const double read_s = seconds_since(t0);
        const long peak = status_kb("VmHWM");

        uint64_t expected = 0;
        for (const auto& t : tables) expected += t.rows;
        std::printf("dump: %.1f MB, %llu rows in %zu tables, written in %.1f s\n", mb,
                    static_cast<unsigned long long>(expected), tables.size(), write_s);
        std::printf("(a) open:    %7.2f s  %7.0f MB/s  (aim >= 200 MB/s)\n", open_s, mb / open_s);
        std::printf(
            "(b) reading: %7.2f s  %7.0f MB/s  %9.0f rows/s  (aim >= 100 MB/s; of it "
            "table init %.2f s)\n",
            read_s, mb / read_s, rows / read_s, init_s);
        std::printf(
            "peak memory (VmHWM): %.1f MB after the open, %.1f MB after reading "
            "(%.1f MB resident before the open; aim < 64 MB)\n",
            peak_open / 1024.0, peak / 1024.0, rss_before / 1024.0);
        std::printf("checksum %llu\n", static_cast<unsigned long long>(checksum));
        if (rows != expected) {
            std::fprintf(stderr, "Read %llu rows, wrote %llu\n",
                         static_cast<unsigned long long>(rows),
                         static_cast<unsigned long long>(expected));
            return 1;
        }
        dump.reset();
        if (keep) {
            std::string kept = base + "/velt_dump_read_bench.dmp";
            std::rename(path.c_str(), kept.c_str());
            std::printf("kept %s\n", kept.c_str());
        }
    } catch (const tk_exception& e) {
        std::fprintf(stderr, "Error: %s\n", e.what());
        return 1;
    }
    return 0;
}
