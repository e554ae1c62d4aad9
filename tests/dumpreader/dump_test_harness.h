// Helpers shared by the dump reader's end-to-end tests: open a dump (bytes in memory or a file)
// through the reader's public API, read a table's rows through its cursor, and print values in one
// canonical text so that expectations are short strings.
//
// Each test makes its own dump_harness; it holds the process's single ora_dump_reader, so two
// harnesses must not live at the same time. Tables handed out must die before the harness.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ole_variant.h"
#include "ora_dump_file.h"
#include "ora_dump_reader.h"
#include "ora_memory_source.h"
#include "tk_exception.h"
#include "tk_text.h"
#include "udb_recordset.h"

// A value as one short text: NULL, integers and doubles in decimal (%.15g), DECIMAL by its own
// printing, dates as YYYY-MM-DD HH:MM:SS (with .mmm when there are milliseconds), text as UTF-8
// (all code units), byte arrays as "0x" and hexadecimal digits.
inline std::string value_text(const ole_variant& v) {
    char buf[64];
    switch (v.vartype()) {
        case VT_EMPTY:
        case VT_NULL:
            return "NULL";
        case VT_I1:
            return std::to_string(v.i1());
        case VT_UI1:
            return std::to_string(v.ui1());
        case VT_I2:
            return std::to_string(v.i2());
        case VT_UI2:
            return std::to_string(v.ui2());
        case VT_I4:
        case VT_INT:
            return std::to_string(v.i4());
        case VT_UI4:
        case VT_UINT:
            return std::to_string(v.ui4());
        case VT_I8:
            return std::to_string(v.i8());
        case VT_UI8:
            return std::to_string(v.ui8());
        case VT_R4:
            std::snprintf(buf, sizeof buf, "%.7g", static_cast<double>(v.r4()));
            return buf;
        case VT_R8:
            std::snprintf(buf, sizeof buf, "%.15g", v.r8());
            return buf;
        case VT_DATE: {
            const ole_systemtime& t = v.systemtime();
            std::snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u", t.year, t.month, t.day,
                          t.hour, t.minute, t.second);
            std::string s = buf;
            if (t.milliseconds) {
                std::snprintf(buf, sizeof buf, ".%03u", t.milliseconds);
                s += buf;
            }
            return s;
        }
        case VT_BSTR: {
            std::string s;
            tk_append_utf8(s, v.bstr());
            return s;
        }
        default:
            if (v.is_binary()) {
                std::string s = "0x";
                for (uint8_t b : v.binary()) {
                    std::snprintf(buf, sizeof buf, "%02X", b);
                    s += buf;
                }
                return s;
            }
            return "vt" + std::to_string(v.vartype()) + ":" + v.to_string();
    }
}

using row_texts = std::vector<std::string>;

// What reading a table gave: the rows (as texts), and the error that ended the reading early.
struct table_read {
    std::vector<row_texts> rows;
    bool failed = false;
    std::string error;
    int32_t level = -1;
};

class dump_harness {
public:
    dump_harness() : m_reader(std::make_unique<ora_dump_reader>()) {}
    ~dump_harness() {
        m_file.reset();
        m_reader.reset();
    }

    ora_dump_reader& reader() { return *m_reader; }
    ora_dump_file& file() { return *m_file; }

    // Opens a dump held in memory; a window size other than 0 hands the bytes to the reader in
    // windows of that size. Passes on what the open throws.
    ora_dump_file& open_bytes(const std::vector<uint8_t>& bytes, size_t window = 0) {
        m_file.reset();
        auto source = std::make_unique<ora_memory_source>(
            std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()), window);
        m_file = m_reader->open(std::move(source), u"fixture");
        if (!m_file)
            throw std::runtime_error("the open gave no dump");
        return *m_file;
    }
    ora_dump_file& open_path(const std::string& path) {
        m_file.reset();
        m_file = m_reader->open(tk_from_utf8(path));
        if (!m_file)
            throw std::runtime_error("the open gave no dump");
        return *m_file;
    }

    std::vector<std::string> table_names() const {
        std::vector<std::string> out;
        for (const auto& n : m_file->table_names()) out.push_back(tk_to_utf8(n));
        return out;
    }

    std::unique_ptr<udb_recordset> table(const std::u16string& name) {
        return m_file->get_table(name, 0);
    }

    // Reads the table from its first row to its end (at most `max_rows`), decoding every row.
    // A tk_exception while opening the table or reading ends the reading and is kept in the
    // result; a table the dump does not give is the error "no table".
    table_read read(const std::u16string& name, size_t max_rows = SIZE_MAX) {
        table_read out;
        std::unique_ptr<udb_recordset> t;
        try {
            t = table(name);
        } catch (const tk_exception& e) {
            out.failed = true;
            out.error = e.text();
            out.level = e.level();
            return out;
        }
        if (!t) {
            out.failed = true;
            out.error = "no table";
            return out;
        }
        read_cursor(*t, out, max_rows);
        return out;
    }

    static void read_cursor(udb_recordset& t, table_read& out, size_t max_rows = SIZE_MAX) {
        try {
            t.reset();
            while (!t.is_eof() && out.rows.size() < max_rows) {
                udb_record* r = t.get_item();
                if (!r)
                    throw std::runtime_error("get_item gave no record");
                row_texts row;
                for (size_t i = 0; i < r->size(); ++i) row.push_back(value_text((*r)[i]));
                out.rows.push_back(std::move(row));
                t.next();
            }
        } catch (const tk_exception& e) {
            out.failed = true;
            out.error = e.text();
            out.level = e.level();
        }
    }

private:
    std::unique_ptr<ora_dump_reader> m_reader;
    std::unique_ptr<ora_dump_file> m_file;
};

// The exception a call throws, as (type, level, text); "none" when it throws nothing.
struct thrown {
    std::string type = "none";
    int32_t level = -1;
    std::string text;
};

inline thrown catch_thrown(const std::function<void()>& f) {
    thrown t;
    try {
        f();
    } catch (const tk_exception& e) {
        t.type = "tk_exception";
        t.level = e.level();
        t.text = e.text();
    } catch (const tk_final_exception&) {
        t.type = "tk_final_exception";
    } catch (const std::exception& e) {
        t.type = "std::exception";
        t.text = e.what();
    }
    return t;
}
