#include "udb_index.h"

#include "tk_exception.h"
#include "tk_log.h"
#include "tk_text.h"

bool udb_index::starts_with_fields(const std::vector<std::u16string>& names) const {
    tk_wtrace(1, u"udb_index(%s)::starts_with_fields", name.c_str());
    if (fields.size() < names.size()) {
        return false;
    }
    for (size_t i = 0; i < names.size(); ++i) {
        if (!tk_equal_nocase(names[i], fields[i])) {
            tk_wtrace(1, u"Field '%s' not found", names[i].c_str());
            return false;
        }
    }
    tk_trace(1, "starts_with_fields returns true");
    return true;
}

bool udb_indexes::is_acceptable_name(const std::u16string& name) const {
    tk_wtrace(1, u"udb_indexes::is_acceptable_name(%s)", name.c_str());
    for (const udb_index& index : m_indexes) {
        if (tk_equal_nocase(index.name, name)) {
            return false;
        }
    }
    return true;
}

udb_index& udb_indexes::get_index(const std::u16string& name) {
    for (udb_index& index : m_indexes) {
        if (tk_equal_nocase(index.name, name)) {
            return index;
        }
    }
    TK_FAIL();
}

const udb_index& udb_indexes::get_index(const std::u16string& name) const {
    return const_cast<udb_indexes*>(this)->get_index(name);
}

bool udb_indexes::has_index_on_fields(const std::vector<std::u16string>& names) const {
    for (const udb_index& index : m_indexes) {
        if (index.starts_with_fields(names)) {
            return true;
        }
    }
    return false;
}

bool udb_indexes::is_idx_field(const std::u16string& column, bool primary_only) const {
    tk_wtrace(1, u"udb_indexes::is_idx_field(%s)", column.c_str());
    for (const udb_index& index : m_indexes) {
        if (primary_only && !index.b_primary) {
            continue;
        }
        for (const std::u16string& field : index.fields) {
            // Exact on purpose: this is the one case-sensitive lookup of the model.
            if (field == column) {
                tk_trace(1, "index field");
                return true;
            }
        }
    }
    tk_trace(1, "non-index field");
    return false;
}
