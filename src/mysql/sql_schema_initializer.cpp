#include "sql_schema_initializer.h"

#include "sql_engine.h"
#include "sql_type_map.h"
#include "sql_util.h"
#include "tk_exception.h"
#include "tk_log.h"

sql_schema_initializer::sql_schema_initializer(std::u16string table, const udb_schema& source,
                                               const udb_indexes& indexes,
                                               std::u16string& auto_name)
    : m_table(std::move(table)),
      m_schema(true),
      m_auto_name(auto_name),
      m_indexes(indexes),
      m_validator(sql_engine::instance().create_fn_validator(source)),
      m_source(source) {
    tk_trace(2, "sql_schema_initializer::ctor");
    for (const udb_column* column : m_source.columns()) {
        std::u16string name = column->name();
        const bool replaced = !m_validator->is_acceptable(name);
        if (replaced) {
            name = m_validator->get_safe_name(name);
        }
        auto copy = std::make_unique<udb_column>(*column);
        copy->set_name(name);
        tk_wtrace(2, u"GOT FIELD: name=%s, type=%d, flags=%d", name.c_str(),
                  static_cast<int>(copy->vartype()), copy->flags());
        m_schema.add(std::move(copy));
        if (replaced) {
            tk_wtrace(2, u"Store generated column name '%s'", name.c_str());
            m_validator->add_name_in_use(name);
            m_validator->add_mapped_pair(column->name(), name);
        }
        m_validator->add_reserved_name(name);
    }
}

sql_schema_initializer::~sql_schema_initializer() = default;

void sql_schema_initializer::get_init_chunks(std::vector<std::u16string>& chunks) {
    tk_trace(2, "sql_schema_initializer::get_init_chunks(n_columns=%d)",
             static_cast<int>(m_schema.size()));
    m_auto_name.clear();
    const sql_engine& engine = sql_engine::instance();
    const uint32_t version = engine.server_version();
    chunks.reserve(chunks.size() + m_schema.size());
    for (size_t i = 0; i < m_schema.size(); ++i) {
        const udb_column& column = m_schema[i];
        const udb_column& source = *m_source.columns()[i];
        std::u16string chunk = engine.quote_name(column.name());
        chunk += u' ';
        chunk += get_native_type(column.vartype(), column.size(), column.flags());
        if (column.vartype() == VT_BSTR && version >= sql_versions::new_syntax) {
            chunk += u" CHARACTER SET ";
            for (const char* p = engine.text_charset(); *p; ++p) {
                chunk += static_cast<char16_t>(*p);
            }
            chunk += u' ';
        }
        const bool in_primary = m_indexes.is_idx_field(source.name(), true);
        const bool in_index = version < sql_versions::not_null_index_columns &&
                              m_indexes.is_idx_field(source.name(), false);
        if (column.b_not_null() || column.b_auto() || in_primary || in_index) {
            chunk += u" NOT NULL";
        }
        if (can_have_def_value(column)) {
            const std::u16string def = make_mysql_def_val(column);
            tk_wtrace(1, u"got def value: %s", def.c_str());
            if (!def.empty()) {
                chunk += u" DEFAULT ";
                chunk += def;
            }
        }
        if (column.b_auto() && can_have_auto_num(column)) {
            TK_ASSERT(m_auto_name.empty());
            m_auto_name = column.name();
            chunk += u" AUTO_INCREMENT";
        }
        chunks.push_back(std::move(chunk));
    }
}

bool sql_schema_initializer::can_have_auto_num(const udb_column& column) {
    tk_trace(1, "sql_schema_initializer::can_have_auto_num");
    switch (column.vartype()) {
        case VT_I1:
        case VT_I2:
        case VT_I4:
        case VT_INT:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_UINT:
        case VT_BOOL:
        case VT_I8:
        case VT_UI8:
            return true;
        default:
            return false;
    }
}

bool sql_schema_initializer::can_have_def_value(const udb_column& column) {
    tk_trace(1, "sql_schema_initializer::can_have_def_value");
    if (column.b_auto()) {
        tk_trace(2, "WARNING: auto_increment columns cannot have default value!");
        return false;
    }
    switch (column.vartype()) {
        case VT_BLOB:
        case VT_BLOB_OBJECT:
            return false;
        case VT_BSTR:
            return column.size() > 0 && column.size() <= 255;
        default:
            return true;
    }
}
