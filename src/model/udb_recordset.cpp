#include "udb_recordset.h"

#include "tk_exception.h"
#include "tk_log.h"

udb_recordset::udb_recordset(std::u16string name, std::u16string query, bool b_owner)
    : m_name(std::move(name)), m_query(std::move(query)), m_schema(b_owner) {}

udb_recordset::udb_recordset(std::u16string name, bool b_owner)
    : m_name(std::move(name)), m_schema(b_owner) {}

udb_recordset::~udb_recordset() = default;

udb_record* udb_recordset::get_item() {
    return nullptr;
}
bool udb_recordset::is_eof() {
    return true;
}
void udb_recordset::next() {}
void udb_recordset::prev() {}
void udb_recordset::reset() {}

void udb_recordset::add_column(std::unique_ptr<udb_column> column) {
    TK_ASSERT(column != nullptr);
    tk_wtrace(2, u"udb_recordset::add_column (%s)", column->name().c_str());
    // Duplicate column names (legal in some sources after name conversion) get suffixes from the
    // cycle "_", "1", "_", "2", ..., accumulating until the name is free.
    static constexpr int32_t no_suffix = 0;
    std::u16string candidate = column->name();
    int32_t step = no_suffix;
    while (m_schema.find_field(candidate)) {
        ++step;
        if (step % 2 == 1) {
            candidate += u'_';
        } else {
            for (char c : std::to_string(step / 2)) {
                candidate += static_cast<char16_t>(c);
            }
        }
    }
    if (step != no_suffix) {
        column->set_name(std::move(candidate));
    }
    m_schema.add(std::move(column));
}

void udb_recordset::convert_record(udb_record& record) const {
    tk_trace(1, "udb_recordset::convert_record");
    const size_t count = record.size();
    TK_ASSERT(count <= m_schema.size());
    for (size_t i = 0; i < count; ++i) {
        udb_field& field = record[i];
        const udb_column& column = m_schema[i];
        tk_wtrace(1, u"from=%s, to=%s", field.name().c_str(), column.name().c_str());
        field.change_type(column.vartype());
    }
}
