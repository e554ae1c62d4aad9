#include "types_map.h"

#include "tk_exception.h"
#include "tk_log.h"

types_map::types_map(std::u16string table) : m_table(std::move(table)) {
    tk_wtrace(2, u"types_map::ctor(%s)", m_table.c_str());
}

types_map::~types_map() = default;

types_map::entry& types_map::at(size_t position) {
    TK_ASSERT(position < m_entries.size());
    return m_entries[position];
}

const types_map::entry& types_map::at(size_t position) const {
    TK_ASSERT(position < m_entries.size());
    return m_entries[position];
}

const char16_t* types_map::type_text(int32_t kind) {
    switch (kind) {
        case kind_datetime: return u"DATETIME";
        case kind_date: return u"DATE";
        case kind_time: return u"TIME";
        default: return u"CHAR(19)";
    }
}
