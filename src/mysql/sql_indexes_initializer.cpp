#include "sql_indexes_initializer.h"

#include "sql_engine.h"
#include "tk_log.h"
#include "tk_text.h"

namespace {

// Index limits of the servers: how many indexes a table may have and how long a key may be, in
// the units of the columns' sizes.
struct index_limits {
    size_t count;
    int64_t key_units;
};

index_limits limits_for(uint32_t version) {
    if (version >= sql_versions::new_syntax) {
        return {31, 500};
    }
    return {15, 256};
}

constexpr size_t k_max_index_columns = 16;

bool is_unindexable(const udb_column& column) {
    const VARTYPE type = column.vartype();
    return type == VT_BLOB || type == VT_BLOB_OBJECT ||
           (type == VT_BSTR && (column.size() == 0 || column.size() >= 256));
}

}  // namespace

sql_indexes_initializer::sql_indexes_initializer(const udb_schema& schema,
                                                 const udb_indexes& indexes,
                                                 std::u16string auto_name,
                                                 const t_names_map& column_map)
    : m_schema(schema),
      m_auto_name(std::move(auto_name)),
      m_validator(sql_engine::instance().create_in_validator(indexes)) {
    tk_trace(2, "sql_indexes_initializer::ctor");
    for (const udb_index& source : indexes) {
        udb_index index;
        index.name = source.name;
        if (!m_validator->is_acceptable(index.name)) {
            index.name = m_validator->get_safe_name(index.name);
            tk_wtrace(2, u"Store generated index name '%s'", index.name.c_str());
            m_validator->add_name_in_use(index.name);
        }
        index.b_unique = source.b_unique;
        index.b_primary = source.b_primary;
        index.fields.reserve(source.fields.size());
        for (const std::u16string& field : source.fields) {
            index.fields.push_back(column_map.get_mapped_name(field, true));
        }
        m_indexes.add(std::move(index));
    }
}

sql_indexes_initializer::~sql_indexes_initializer() = default;

void sql_indexes_initializer::get_init_chunks(std::vector<std::u16string>& chunks) {
    tk_trace(2, "sql_indexes_initializer::get_init_chunks(n_indexes=%d)",
             static_cast<int>(m_indexes.size()));
    const sql_engine& engine = sql_engine::instance();
    const index_limits limits = limits_for(engine.server_version());
    // The auto-increment column must lead some index the server actually gets (InnoDB refuses
    // the table otherwise), so only written indexes that start with it count.
    bool auto_covered = m_auto_name.empty();
    size_t counted = 0;
    for (const udb_index& index : m_indexes) {
        tk_wtrace(2, u"Process index '%s'", index.name.c_str());
        if (index.fields.size() > k_max_index_columns) {
            tk_trace(2, "Max number of indexes has been reached");
            continue;
        }
        std::u16string clause;
        if (index.b_primary) {
            clause = u"PRIMARY KEY";
        } else if (index.b_unique) {
            clause = u"UNIQUE " + engine.quote_name(index.name);
        } else {
            clause = u"INDEX " + engine.quote_name(index.name);
        }
        clause += u" (";
        bool usable = !index.fields.empty();
        bool leads_with_auto = false;
        int64_t key_units = 0;
        for (size_t i = 0; i < index.fields.size() && usable; ++i) {
            const std::u16string& field = index.fields[i];
            tk_wtrace(1, u"Process idx.field %s", field.c_str());
            if (i > 0) {
                clause += u", ";
            }
            if (!m_auto_name.empty() && tk_equal_nocase(field, m_auto_name)) {
                tk_trace(2, "Got index for auto_increment field");
                leads_with_auto = leads_with_auto || i == 0;
            }
            clause += engine.quote_name(field);
            const udb_column* column = m_schema.find_column(field);
            if (column == nullptr) {
                // An index over a column the table does not have: the server would refuse the
                // whole table.
                tk_wtrace(2, u"Index column '%s' is not in the table", field.c_str());
                usable = false;
            } else if (is_unindexable(*column)) {
                tk_trace(2, "Indexes on BLObs are not allowed");
                usable = false;
            } else {
                key_units += column->size();
                if (key_units > limits.key_units) {
                    tk_trace(2, "Index is too big");
                    usable = false;
                }
            }
        }
        if (usable) {
            clause += u")";
            chunks.push_back(std::move(clause));
            auto_covered = auto_covered || leads_with_auto;
        }
        if (++counted >= limits.count) {
            break;
        }
    }
    if (!auto_covered) {
        tk_trace(2, "Creating index for auto-field");
        std::u16string name = m_auto_name;
        if (!m_validator->is_acceptable(name) || m_validator->is_duplicated(name)) {
            name = m_validator->get_safe_name(name);
        }
        chunks.push_back(u"INDEX " + engine.quote_name(name) + u" (" +
                         engine.quote_name(m_auto_name) + u")");
    }
}
