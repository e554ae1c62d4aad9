// Small builders for the Data Pump tests: columns, values in Oracle's stored form, and the
// standard fixture dump (SCOTT's DEPT, EMP with LOBs and foreign keys, BONUS without rows).
#pragma once

#include <string>
#include <vector>

#include "oracle_value_encoding.h"
#include "pump_dump_writer.h"
#include "tk_text.h"

namespace pump_test {

inline pump_fixture_column col(const std::string& name, int type, int length = 22,
                               int precision = -1, int scale = -1, std::string not_null = "0",
                               int charset = 0) {
    pump_fixture_column c;
    c.name = name;
    c.type_num = type;
    c.length = length;
    c.precision = precision;
    c.scale = scale;
    c.not_null = std::move(not_null);
    c.charset_id = charset;
    return c;
}
inline pump_fixture_column text_col(const std::string& name, int length, int charset = 873) {
    return col(name, 1, length, -1, -1, "0", charset);
}

inline pump_value null() { return std::nullopt; }
inline pump_value num(const std::string& decimal) { return ora_number_bytes(decimal); }
inline pump_value text(const std::string& utf8, uint16_t charset = 873) {
    std::string b = ora_encode_text(tk_from_utf8(utf8), charset);
    return std::vector<uint8_t>(b.begin(), b.end());
}
inline pump_value date(int y, int m, int d, int hh = 0, int mi = 0, int ss = 0) {
    ora_moment t;
    t.year = y;
    t.month = m;
    t.day = d;
    t.hour = hh;
    t.minute = mi;
    t.second = ss;
    return ora_date_bytes(t);
}
inline pump_value clob(const std::string& utf8, uint16_t charset = 873) {
    return pump_dump_writer::clob_bytes(tk_from_utf8(utf8), charset);
}
inline pump_value blob(size_t size, uint8_t seed = 1) {
    std::vector<uint8_t> b(size);
    for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>(seed + i * 7);
    return b;
}
inline std::string hex(const pump_value& v) {
    static const char* digits = "0123456789ABCDEF";
    std::string s = "0x";
    for (uint8_t b : *v) {
        s.push_back(digits[b >> 4]);
        s.push_back(digits[b & 15]);
    }
    return s;
}

inline pump_fixture_table dept() {
    pump_fixture_table t;
    t.name = "DEPT";
    t.columns = {col("DEPTNO", 2, 22, 2, 0, "1"), text_col("DNAME", 14), text_col("LOC", 13)};
    t.constraints.push_back({"PK_DEPT", 2, {"DEPTNO"}, "", "", {}});
    t.rows = {{num("10"), text("ACCOUNTING"), text("NEW YORK")},
              {num("20"), text("RESEARCH"), text("DALLAS")},
              {num("30"), text("SALES"), null()}};
    return t;
}

// EMP: numbers, text, a date, a CLOB and a BLOB (LOBs after the other columns in the rows).
inline pump_fixture_table emp() {
    pump_fixture_table t;
    t.name = "EMP";
    t.columns = {col("EMPNO", 2, 22, 4, 0, "1"), text_col("ENAME", 10),
                 col("NOTE", 112, 4000, -1, -1, "0", 873), col("HIREDATE", 12, 7),
                 col("SAL", 2, 22, 7, 2), col("PHOTO", 113, 4000), col("DEPTNO", 2, 22, 2, 0)};
    t.constraints.push_back({"PK_EMP", 2, {"EMPNO"}, "", "", {}});
    t.constraints.push_back({"UK_ENAME", 3, {"ENAME"}, "", "", {}});
    t.constraints.push_back({"FK_DEPTNO", 4, {"DEPTNO"}, "SCOTT", "DEPT", {"DEPTNO"}});
    t.rows = {
        {num("7369"), text("SMITH"), clob("first note"), date(1980, 12, 17), num("800"),
         blob(5), num("20")},
        // NULL CLOB before a BLOB, trailing NULL DEPTNO.
        {num("7499"), text("ALLEN"), null(), date(1981, 2, 20), num("1600.5"), blob(3, 9),
         null()},
        // Every LOB NULL: they are left out with the other trailing NULLs.
        {num("7521"), null(), null(), null(), null(), null(), null()},
    };
    return t;
}

inline pump_fixture_table bonus() {
    pump_fixture_table t;
    t.name = "BONUS";
    t.columns = {text_col("ENAME", 10), col("SAL", 2, 22)};
    t.has_segment = false;
    return t;
}

inline pump_dump_writer standard_writer(int family = 5) {
    pump_dump_writer w(family);
    w.add_table(dept());
    w.add_table(emp());
    w.add_table(bonus());
    w.set_stats_table(true);
    return w;
}

}  // namespace pump_test
