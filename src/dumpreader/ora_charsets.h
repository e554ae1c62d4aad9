// ora_charsets: the Oracle character-set tables.
//
// Two static tables: Oracle character-set id to encoding name (233 ids) and encoding name to
// Windows code page (140 names; where a name occurs twice the first pair wins). The code page of
// an id is its name's code page; many ids have none. Beside the tables, which the system stores
// and compares, encoding_of() names the iconv converter that decodes an id's text here: the code
// page's converter when the id has one, otherwise the converter of the id's real character set
// when iconv has it (GBK, DEC-MCS, the IBM and DOS code pages, TIS-620, BIG5-HKSCS, ...).
//
// Read-only after the first use, so any thread may call it.
#pragma once

#include <cstdint>
#include <map>
#include <string>

class ora_charsets {
public:
    ora_charsets() = delete;

    // The encoding name of an id ("" when the id is listed without a name), nullptr when the id
    // is not listed.
    static const char* name_of(uint32_t id);
    // The id's Windows code page, or 0 when it has none.
    static int32_t code_page_of(uint32_t id);
    // Encoding kind of an id: 2 for 2000 (UTF-16BE), 1 for 871 and 873 (UTF-8), 0 otherwise.
    static int32_t kind_of(uint32_t id);
    // The iconv encoding that decodes the id's text, or "" when this platform has none for it.
    static std::string encoding_of(uint32_t id);

    // The tables themselves (built on first use).
    static const std::map<uint32_t, std::string>& id_table();
    static const std::map<std::string, int32_t>& name_table();
};
