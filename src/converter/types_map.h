// types_map: what the rows of one table showed about its date columns.
//
// One entry per tracked column, in column order: the column's index in the table's schema and its
// name, the MySQL type decided so far (`kind`: 0 CHAR(19), 1 DATETIME, 2 DATE, 3 TIME), the type
// the column has now (`current_kind`, same numbering) and whether a non-empty value was seen.
// dates_map fills the entries and updates them row by row; the date post-processing of
// mysql_converter_impl reads them to narrow the columns after the table's rows.
//
// Lives for one table on the conversion thread; owned by the driver.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class types_map {
public:
    // Kinds of a date column, as MySQL types.
    static constexpr int32_t kind_char19 = 0;
    static constexpr int32_t kind_datetime = 1;
    static constexpr int32_t kind_date = 2;
    static constexpr int32_t kind_time = 3;

    struct entry {
        int32_t column = 0;
        std::u16string name;
        int32_t kind = kind_char19;
        int32_t current_kind = kind_char19;
        bool seen = false;
    };

    // Traces "types_map::ctor(%s)".
    explicit types_map(std::u16string table);
    types_map(const types_map&) = delete;
    types_map& operator=(const types_map&) = delete;
    virtual ~types_map();

    const std::u16string& table() const { return m_table; }
    size_t size() const { return m_entries.size(); }
    // The entry at `position`; a position outside the list is an assertion failure.
    entry& at(size_t position);
    const entry& at(size_t position) const;
    const std::vector<entry>& entries() const { return m_entries; }

    // The MySQL type text of a kind ("CHAR(19)", "DATETIME", "DATE", "TIME").
    static const char16_t* type_text(int32_t kind);

protected:
    void add(entry e) { m_entries.push_back(std::move(e)); }
    std::vector<entry>& mutable_entries() { return m_entries; }

private:
    std::u16string m_table;
    std::vector<entry> m_entries;
};
