// dmp_settings: the options of a MySQL dump script.
//
// The converter's MySQL part keeps one set (loaded from the stored settings and profiles) and
// hands a copy to sql_engine::create_dump; the script writer (dmp_database) keeps its own copy for
// the whole script. A plain copyable record, used by one thread at a time.
#pragma once

#include <cstdint>
#include <string>

struct dmp_settings {
    // 0: every line ends with CR LF; any other value: LF only.
    int32_t line_break = 0;
    // The script targets MySQL 4.1 or later: backquoted names, ENGINE=, foreign keys.
    bool b_new_ver = true;
    // Each table's rows go between LOCK TABLES ... WRITE and UNLOCK TABLES.
    bool b_add_lock = true;
    // Comment blocks: the file header and one before each table's structure and data.
    bool b_ins_comments = true;
    // DROP DATABASE / CREATE DATABASE / USE at the start (only together with b_create_tab); the
    // database is named after the script file.
    bool b_create_db = false;
    // DROP TABLE / CREATE TABLE before each table's rows.
    bool b_create_tab = true;
    // The program's title and version, written after "# Created by " (UTF-8).
    std::string title;

    // The line-break sequence these settings choose.
    const char* line_end() const { return line_break == 0 ? "\r\n" : "\n"; }
};
