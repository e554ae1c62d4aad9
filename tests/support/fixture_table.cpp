#include "fixture_table.h"

#include "tk_exception.h"

fixture_table& fixture_table::column(std::u16string column_name, std::string type,
                                     std::string attributes) {
    fixture_column c;
    c.name = std::move(column_name);
    c.type = std::move(type);
    c.attributes = std::move(attributes);
    columns.push_back(std::move(c));
    return *this;
}

fixture_table& fixture_table::row(std::vector<fixture_value> values) {
    TK_ASSERT(values.size() == columns.size());
    if (blocks.empty())
        blocks.emplace_back();
    blocks.back().rows.push_back(std::move(values));
    return *this;
}

fixture_table& fixture_table::block(uint16_t no_lob_tail) {
    blocks.emplace_back();
    blocks.back().no_lob_tail = no_lob_tail;
    return *this;
}

fixture_table& fixture_table::index(std::u16string index_name, std::vector<std::u16string> cols,
                                    bool unique) {
    fixture_index ix;
    ix.name = std::move(index_name);
    ix.columns = std::move(cols);
    ix.unique = unique;
    indexes.push_back(std::move(ix));
    return *this;
}

fixture_table& fixture_table::primary_key(std::u16string constraint_name,
                                          std::vector<std::u16string> cols) {
    fixture_constraint k;
    k.type = fixture_constraint::kind::primary_key;
    k.name = std::move(constraint_name);
    k.columns = std::move(cols);
    constraints.push_back(std::move(k));
    return *this;
}

fixture_table& fixture_table::foreign_key(std::u16string constraint_name,
                                          std::vector<std::u16string> cols,
                                          std::u16string referenced_table,
                                          std::vector<std::u16string> referenced_columns) {
    fixture_constraint k;
    k.type = fixture_constraint::kind::foreign_key;
    k.name = std::move(constraint_name);
    k.columns = std::move(cols);
    k.referenced_table = std::move(referenced_table);
    k.referenced_columns = std::move(referenced_columns);
    constraints.push_back(std::move(k));
    return *this;
}

fixture_table& fixture_table::insert_columns(std::vector<std::u16string> order) {
    insert_order = std::move(order);
    return *this;
}

size_t fixture_table::column_index(const std::u16string& column_name) const {
    for (size_t i = 0; i < columns.size(); ++i)
        if (columns[i].name == column_name)
            return i;
    TK_FAIL();
}

std::vector<size_t> fixture_table::written_order() const {
    std::vector<size_t> order;
    if (insert_order.empty()) {
        for (size_t i = 0; i < columns.size(); ++i) order.push_back(i);
        return order;
    }
    TK_ASSERT(insert_order.size() == columns.size());
    for (const auto& n : insert_order) order.push_back(column_index(n));
    return order;
}

size_t fixture_table::row_count() const {
    size_t n = 0;
    for (const auto& b : blocks) n += b.rows.size();
    return n;
}
