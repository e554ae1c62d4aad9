#include "converter_test_support.h"

#include <stdexcept>

#include "tk_text.h"

namespace conv_test {

std::unique_ptr<udb_column> make_column(const column_spec& spec) {
    return std::make_unique<udb_column>(spec.size, spec.name, spec.type, spec.not_null,
                                        spec.auto_increment, ole_variant(),
                                        spec.type == VT_DATE ? 1 : 0);
}

namespace {

std::u16string text_of(const ole_variant& value) {
    return value.is_empty() ? std::u16string(u"NULL") : value.to_wstring();
}

// Runs the failure registered for this call number, if any.
void fire(std::vector<row_failure>& failures, int32_t call) {
    for (row_failure& f : failures) {
        if (f.record == call && f.times > 0) {
            --f.times;
            f.raise();
        }
    }
}

std::vector<column_spec> specs_of(const udb_schema& schema) {
    std::vector<column_spec> out;
    for (const udb_column* c : schema.columns()) {
        out.push_back({c->name(), c->vartype(), c->size(), c->b_not_null(), c->b_auto()});
    }
    return out;
}

}  // namespace

mem_table::mem_table(std::u16string name, mem_table_data& data)
    : udb_recordset(std::move(name), true), m_data(data) {
    for (const column_spec& c : data.columns) schema().add(make_column(c));
    indexes() = data.indexes;
    set_record_count(static_cast<int32_t>(data.rows.size()));
}

udb_record* mem_table::get_item() {
    fire(m_data.read_failures, static_cast<int32_t>(m_position + 1));
    m_record.clear();
    const std::vector<ole_variant>& row = m_data.rows.at(m_position);
    for (size_t i = 0; i < row.size(); ++i) {
        m_record.add(std::make_unique<udb_field>(m_data.columns[i].name, m_data.columns[i].size,
                                                 row[i]));
    }
    return &m_record;
}

mem_source::mem_source() : udb_database(u"source.dmp", udb_database::mode_no_new_tables) {}

mem_table_data& mem_source::add(const std::u16string& name) {
    add_table_name(name);
    return m_tables[name];
}

std::unique_ptr<udb_recordset> mem_source::get_table(const std::u16string& name, int32_t) {
    auto failure = open_failures.find(name);
    if (failure != open_failures.end()) failure->second();
    for (auto& [key, data] : m_tables) {
        if (tk_equal_nocase(key, name)) return std::make_unique<mem_table>(key, data);
    }
    return nullptr;
}

void dest_state::add_existing(const std::u16string& name, const std::vector<column_spec>& columns,
                              int rows) {
    dest_table& t = tables[name];
    t.columns = columns;
    for (int i = 0; i < rows; ++i) {
        t.rows.push_back(std::vector<std::u16string>(columns.size(), u"old"));
    }
}

mem_dest_table::mem_dest_table(mem_dest& owner, std::u16string name)
    : udb_recordset(std::move(name), true), m_owner(owner) {
    for (const column_spec& c : owner.state().tables.at(this->name()).columns) {
        schema().add(make_column(c));
    }
}

void mem_dest_table::append_record(udb_record& record) {
    ++m_appended;
    fire(m_owner.state().append_failures[name()], m_appended);
    convert_record(record);
    std::vector<std::u16string> row;
    for (size_t i = 0; i < record.size(); ++i) row.push_back(text_of(record[i]));
    m_owner.state().tables.at(name()).rows.push_back(std::move(row));
}

mem_dest::mem_dest(std::shared_ptr<dest_state> state)
    : udb_database(u"target", 0), m_state(std::move(state)) {
    for (const auto& [name, table] : m_state->tables) add_table_name(name);
}

std::unique_ptr<udb_recordset> mem_dest::create_table(const std::u16string& name,
                                                      const udb_schema& schema,
                                                      const udb_indexes& indexes) {
    auto failure = m_state->create_failures.find(name);
    if (failure != m_state->create_failures.end()) failure->second();
    dest_table& t = m_state->tables[name];
    if (!is_table_exist(name)) {
        t.columns = specs_of(schema);
        t.indexes = indexes;
        add_table_name(name);
    }
    ++t.creates;
    return std::make_unique<mem_dest_table>(*this, name);
}

bool mem_dest::delete_tab(const std::u16string& name) {
    m_state->deleted.push_back(name);
    m_state->tables.erase(name);
    return udb_database::delete_tab(name);
}

std::unique_ptr<udb_recordset> mem_dest::get_table(const std::u16string& name, int32_t) {
    return std::make_unique<mem_dest_table>(*this, name);
}

bool mem_dest::query(const std::u16string& statement) {
    m_state->statements.push_back(statement);
    return true;
}

std::unique_ptr<udb_recordset> mem_dest::query_records(const std::u16string& statement) {
    m_state->statements.push_back(statement);
    return nullptr;
}

void mem_dest::create_relationships(const std::vector<udb_relationship>& list) {
    ++m_state->relationship_calls;
    m_state->foreign_keys = list;
}

private_settings::private_settings() : m_dir("velt_conv_settings") {
    if (const char* home = std::getenv("HOME")) m_old_home = home;
    if (const char* config = std::getenv("XDG_CONFIG_HOME")) m_old_config = config;
    setenv("HOME", m_dir.path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", (m_dir.path() + "/config").c_str(), 1);
}

private_settings::~private_settings() {
    if (m_old_home) setenv("HOME", m_old_home->c_str(), 1); else unsetenv("HOME");
    if (m_old_config) {
        setenv("XDG_CONFIG_HOME", m_old_config->c_str(), 1);
    } else {
        unsetenv("XDG_CONFIG_HOME");
    }
}

test_convertor::test_convertor(velt_program program) : velt2sql_convertor(program) {
    // New-syntax validators, as against a current server.
    mysql().engine().set_server_version(sql_version(10, 11, 0));
}

std::unique_ptr<udb_database> test_convertor::get_dest_base() {
    if (fail_dest) throw std::runtime_error("the destination cannot be opened");
    return std::make_unique<mem_dest>(dest);
}

}  // namespace conv_test
