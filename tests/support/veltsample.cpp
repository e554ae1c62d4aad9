// veltsample OUT.dmp: writes the small classic export dump that scripts/demo converts.
//
// Three tables of a little company: DEPT (primary key), EMP (primary key, an index on DEPTNO,
// numbers with decimals, NULLs, hire dates that carry no time of day) and NOTES (a CLOB, texts
// outside ASCII, dates with times). Written with the project's fixture writer in the layout of an
// Oracle 11.2 exp run on an AL32UTF8 database. Exit status 0, or 1 when the file cannot be
// written.
#include <cstdio>
#include <exception>
#include <string>

#include "classic_dump_writer.h"

namespace {

using fv = fixture_value;

void add_dept(classic_dump_writer& w) {
    fixture_table& t = w.add_table(u"DEPT");
    t.column(u"DEPTNO", "NUMBER(2, 0)", "NOT NULL ENABLE")
        .column(u"DNAME", "VARCHAR2(14 BYTE)")
        .column(u"LOC", "VARCHAR2(13 BYTE)");
    t.row({fv::number("10"), fv::text(u"ACCOUNTING"), fv::text(u"NEW YORK")});
    t.row({fv::number("20"), fv::text(u"RESEARCH"), fv::text(u"DALLAS")});
    t.row({fv::number("30"), fv::text(u"SALES"), fv::text(u"CHICAGO")});
    t.row({fv::number("40"), fv::text(u"OPERATIONS"), fv::text(u"BOSTON")});
    t.primary_key(u"PK_DEPT", {u"DEPTNO"});
}

void add_emp(classic_dump_writer& w) {
    fixture_table& t = w.add_table(u"EMP");
    t.column(u"EMPNO", "NUMBER(4, 0)", "NOT NULL ENABLE")
        .column(u"ENAME", "VARCHAR2(10 BYTE)")
        .column(u"JOB", "VARCHAR2(9 BYTE)")
        .column(u"MGR", "NUMBER(4, 0)")
        .column(u"HIREDATE", "DATE")
        .column(u"SAL", "NUMBER(7, 2)")
        .column(u"COMM", "NUMBER(7, 2)")
        .column(u"DEPTNO", "NUMBER(2, 0)");
    struct emp {
        const char* no;
        const char16_t* name;
        const char16_t* job;
        const char* mgr;
        int y, m, d;
        const char* sal;
        const char* comm;
        const char* dept;
    };
    static const emp rows[] = {
        {"7369", u"SMITH", u"CLERK", "7902", 1980, 12, 17, "800", nullptr, "20"},
        {"7499", u"ALLEN", u"SALESMAN", "7698", 1981, 2, 20, "1600", "300", "30"},
        {"7521", u"WARD", u"SALESMAN", "7698", 1981, 2, 22, "1250", "500", "30"},
        {"7566", u"JONES", u"MANAGER", "7839", 1981, 4, 2, "2975", nullptr, "20"},
        {"7654", u"MARTIN", u"SALESMAN", "7698", 1981, 9, 28, "1250", "1400", "30"},
        {"7698", u"BLAKE", u"MANAGER", "7839", 1981, 5, 1, "2850", nullptr, "30"},
        {"7782", u"CLARK", u"MANAGER", "7839", 1981, 6, 9, "2450.5", nullptr, "10"},
        {"7839", u"KING", u"PRESIDENT", nullptr, 1981, 11, 17, "5000", nullptr, "10"},
        {"7844", u"TURNER", u"SALESMAN", "7698", 1981, 9, 8, "1500", "0", "30"},
        {"7902", u"FORD", u"ANALYST", "7566", 1981, 12, 3, "3000", nullptr, "20"},
    };
    for (const emp& e : rows) {
        t.row({fv::number(e.no), fv::text(e.name), fv::text(e.job),
               e.mgr ? fv::number(e.mgr) : fv::null(), fv::date(e.y, e.m, e.d),
               fv::number(e.sal), e.comm ? fv::number(e.comm) : fv::null(), fv::number(e.dept)});
    }
    t.primary_key(u"PK_EMP", {u"EMPNO"});
    t.index(u"EMP_DEPT_IX", {u"DEPTNO"});
}

void add_notes(classic_dump_writer& w) {
    fixture_table& t = w.add_table(u"NOTES");
    t.column(u"ID", "NUMBER(6, 0)", "NOT NULL ENABLE")
        .column(u"TITLE", "VARCHAR2(60 BYTE)")
        .column(u"WRITTEN", "DATE")
        .column(u"BODY", "CLOB");
    std::u16string long_body;
    for (int i = 0; i < 200; ++i) long_body += u"A long note, line " + std::u16string(1, u'0' + i % 10) + u". ";
    t.row({fv::number("1"), fv::text(u"Welcome"), fv::date(2024, 3, 1, 9, 30, 0),
           fv::text(u"Veltrane moved this text from an Oracle dump.")});
    t.row({fv::number("2"), fv::text(u"Gr\u00FC\u00DFe aus K\u00F6ln"),
           fv::date(2024, 3, 2, 14, 5, 59), fv::text(u"Umlaute: \u00E4\u00F6\u00FC, yen: \u00A5")});
    t.row({fv::number("3"), fv::text(u"Long"), fv::date(2024, 3, 3, 0, 0, 1), fv::text(long_body)});
    t.row({fv::number("4"), fv::null(), fv::null(), fv::null()});
    t.primary_key(u"PK_NOTES", {u"ID"});
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: veltsample OUT.dmp\n");
        return 1;
    }
    try {
        classic_dump_writer w(export_version::v11_2());
        w.charsets(873, 873, 2000);
        add_dept(w);
        add_emp(w);
        add_notes(w);
        w.write_file(argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "veltsample: %s\n", e.what());
        return 1;
    }
    return 0;
}
