// udb_index and udb_indexes: the indexes of a table.
//
// udb_index is a plain record: the index name, whether it is unique, whether it is the primary key
// (then b_unique is not consulted), and the indexed column names in key order. udb_indexes holds a
// table's indexes by value, in the order the source listed them; a recordset embeds one.
//
// Name lookups ignore case (tk_equal_nocase) except is_idx_field, which compares column names
// code unit for code unit. get_index is an assertion failure when the index is missing.
// Positional access: operator[] unchecked, at() throws std::out_of_range.
//
// Plain copyable values; not shared between threads.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct udb_index {
    std::u16string name;
    bool b_unique = false;
    bool b_primary = false;
    std::vector<std::u16string> fields;  // indexed column names, in key order

    // True when the index's first columns are `names`, in that order (ignoring case). An empty
    // list matches every index; a list longer than the index matches none.
    // Traces "udb_index(%s)::starts_with_fields".
    bool starts_with_fields(const std::vector<std::u16string>& names) const;
};

class udb_indexes {
public:
    size_t size() const { return m_indexes.size(); }
    bool empty() const { return m_indexes.empty(); }
    udb_index& operator[](size_t i) { return m_indexes[i]; }
    const udb_index& operator[](size_t i) const { return m_indexes[i]; }
    udb_index& at(size_t i) { return m_indexes.at(i); }
    const udb_index& at(size_t i) const { return m_indexes.at(i); }
    std::vector<udb_index>::iterator begin() { return m_indexes.begin(); }
    std::vector<udb_index>::iterator end() { return m_indexes.end(); }
    std::vector<udb_index>::const_iterator begin() const { return m_indexes.begin(); }
    std::vector<udb_index>::const_iterator end() const { return m_indexes.end(); }

    void add(udb_index index) { m_indexes.push_back(std::move(index)); }
    void clear() { m_indexes.clear(); }

    // False when an index of that name exists (trace "udb_indexes::is_acceptable_name(%s)").
    bool is_acceptable_name(const std::u16string& name) const;
    // The index of that name; assertion failure when there is none.
    udb_index& get_index(const std::u16string& name);
    const udb_index& get_index(const std::u16string& name) const;
    // True when some index starts with these columns (udb_index::starts_with_fields).
    bool has_index_on_fields(const std::vector<std::u16string>& names) const;
    // True when the column occurs in an index (only in primary keys when primary_only is set). The
    // column names compare exactly. Traces "udb_indexes::is_idx_field(%s)", then "index field" or
    // "non-index field".
    bool is_idx_field(const std::u16string& column, bool primary_only) const;

private:
    std::vector<udb_index> m_indexes;
};
