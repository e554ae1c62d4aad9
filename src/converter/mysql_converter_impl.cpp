#include "mysql_converter_impl.h"

#include <cctype>
#include <climits>
#include <memory>

#include "sql_util.h"
#include "tk_exception.h"
#include "tk_log.h"
#include "tk_string.h"
#include "tk_text.h"
#include "types_map.h"
#include "udb_database.h"
#include "udb_profile.h"
#include "udb_schema.h"
#include "udb_validator.h"

namespace {

constexpr const char16_t* k_host = u"host";
constexpr const char16_t* k_user = u"user";
constexpr const char16_t* k_password = u"password";
constexpr const char16_t* k_port = u"port";
constexpr const char16_t* k_line_break = u"dump line break";
constexpr const char16_t* k_new_version = u"dump new version";
constexpr const char16_t* k_add_lock = u"dump add lock to insert";
constexpr const char16_t* k_comments = u"dump insert comments";
constexpr const char16_t* k_create_db = u"dump create database";
constexpr const char16_t* k_create_table = u"dump create table";

constexpr const char* k_old_db_name_text =
    "Not a valid MySQL database name. It cannot consist only of numbers\nor start with a digit "
    "and must differ from any MySQL keyword. Use\nalphanumeric symbols (A-Z, a-z, 0-9), '_' and "
    "'$' to compose\nnew database name.";
constexpr const char* k_new_db_name_text =
    "Not a valid MySQL database name. Use alphanumeric characters\r\n(A-Z, a-z, 0-9), '_', '$' "
    "and spaces to compose new database name.";

void load_flag(const udb_profile& profile, const char16_t* key, bool& setting) {
    const std::u16string value = profile.get_value(udb_profile::mysql_settings, key);
    if (!value.empty()) setting = value == u"1";
}

void load_text(const udb_profile& profile, const char16_t* key, std::string& setting) {
    const std::u16string value = profile.get_value(udb_profile::mysql_settings, key);
    if (!value.empty()) setting = tk_to_utf8(value);
}

const char16_t* flag_text(bool on) { return on ? u"1" : u"0"; }

}  // namespace

mysql_converter_impl::mysql_converter_impl() { tk_trace(2, "mysql_converter_impl::ctor"); }

mysql_converter_impl::~mysql_converter_impl() { tk_trace(2, "mysql_converter_impl::dtor"); }

long mysql_converter_impl::port_number(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT_MAX) {
            value = INT_MAX;
            break;
        }
    }
    return negative ? -value : value;
}

void mysql_converter_impl::connect_mysql_server() {
    tk_trace(2, "mysql_converter_impl::connect_mysql_server");
    const long port = port_number(m_port);
    // Zero is what the text "abc" reads as. A number outside the TCP port range would reach the
    // client library cut to 16 bits and connect somewhere else, so it is refused as well.
    if (port <= 0 || port > 65535) {
        tk_trace(3, "Invalid port number: %s", m_port.c_str());
        throw tk_exception("Invalid port number", 1);
    }
    m_engine.connect(m_host, m_user, m_password, static_cast<uint32_t>(port));
}

void mysql_converter_impl::check_mysql_db_name(const std::u16string& name) {
    tk_wtrace(2, u"mysql_converter_impl::check_mysql_db_name(%s)", name.c_str());
    std::unique_ptr<udb_validator> validator = m_engine.create_dn_validator();
    if (!validator->is_acceptable(name)) {
        tk_trace(3, "Not a valid MySQL database name");
        throw tk_exception(m_engine.server_version() < sql_versions::new_syntax
                               ? k_old_db_name_text
                               : k_new_db_name_text,
                           1);
    }
}

bool mysql_converter_impl::is_mysql_base_exist(const std::u16string& name) {
    tk_wtrace(2, u"mysql_converter_impl::is_mysql_base_exist( %s )", name.c_str());
    return m_engine.is_db_exist(name);
}

bool mysql_converter_impl::del_mysql_base(const std::u16string& name) {
    tk_wtrace(2, u"mysql_converter_impl::del_mysql_base (%s)", name.c_str());
    m_engine.db_delete(name);
    return true;
}

void mysql_converter_impl::store_mysql_settings(const std::string& host, const std::string& user,
                                                const std::string& password,
                                                const std::string& port) {
    tk_trace(1, "mysql_converter_impl::store_mysql_settings(%s,%s,%s,%s)", host.c_str(),
             user.c_str(), password.c_str(), port.c_str());
    m_user = tk_trim(user);
    m_password = tk_trim(password);
    m_host = tk_trim(host);
    m_port = tk_trim(port);
    if (m_port.empty()) m_port = default_port;
}

std::u16string mysql_converter_impl::date_alter_statement(const std::u16string& table,
                                                          const udb_schema& schema,
                                                          int32_t column, int32_t kind, bool seen,
                                                          int32_t current_kind) {
    // Nothing was learned about a column that held no value: it stays DATETIME.
    if (!seen && kind == types_map::kind_char19) kind = types_map::kind_datetime;
    if (kind == current_kind) return {};
    const udb_column& target = schema.at(static_cast<size_t>(column));
    std::u16string statement = u"ALTER TABLE ";
    statement += m_engine.quote_name(table);
    statement += u" MODIFY ";
    statement += m_engine.quote_name(target.name());
    statement += u" ";
    statement += types_map::type_text(kind);
    if (target.b_not_null()) statement += u" NOT NULL";
    const std::u16string default_text = make_mysql_def_val(target);
    if (!default_text.empty()) {
        statement += u" DEFAULT ";
        statement += default_text;
    }
    return statement;
}

int mysql_converter_impl::date_post_process(udb_database& destination, const udb_schema& schema,
                                            const types_map& stats) {
    tk_trace(2, "mysql_converter_impl::date_post_process(map size=%d)",
             static_cast<int>(stats.size()));
    int done = 0;
    for (const types_map::entry& e : stats.entries()) {
        try {
            const std::u16string statement = date_alter_statement(
                stats.table(), schema, e.column, e.kind, e.seen, e.current_kind);
            if (statement.empty()) continue;
            tk_wtrace(3, u"Run SQL query: %s\n", statement.c_str());
            destination.query_records(statement);
            ++done;
        } catch (const std::exception& error) {
            // The column keeps the type it has: only the trace records why.
            tk_trace(3, "Got exception: %s", error.what());
        }
    }
    return done;
}

bool mysql_converter_impl::load_profile(const udb_profile& profile) {
    tk_trace(2, "mysql_converter_impl::load_profile");
    load_text(profile, k_host, m_host);
    load_text(profile, k_user, m_user);
    load_text(profile, k_password, m_password);
    load_text(profile, k_port, m_port);
    const std::u16string line_break = profile.get_value(udb_profile::mysql_settings, k_line_break);
    if (!line_break.empty()) m_dump.line_break = line_break == u"1" ? 1 : 0;
    load_flag(profile, k_new_version, m_dump.b_new_ver);
    load_flag(profile, k_add_lock, m_dump.b_add_lock);
    load_flag(profile, k_comments, m_dump.b_ins_comments);
    load_flag(profile, k_create_db, m_dump.b_create_db);
    load_flag(profile, k_create_table, m_dump.b_create_tab);
    return true;
}

bool mysql_converter_impl::store_profile(udb_profile& profile) const {
    tk_trace(2, "mysql_converter_impl::store_profile");
    const std::u16string section = udb_profile::mysql_settings;
    profile.set_value(section, k_host, tk_from_utf8(m_host));
    profile.set_value(section, k_user, tk_from_utf8(m_user));
    profile.set_value(section, k_password, tk_from_utf8(m_password));
    profile.set_value(section, k_port, tk_from_utf8(m_port));
    profile.set_value(section, k_add_lock, flag_text(m_dump.b_add_lock));
    profile.set_value(section, k_create_db, flag_text(m_dump.b_create_db));
    profile.set_value(section, k_create_table, flag_text(m_dump.b_create_tab));
    profile.set_value(section, k_comments, flag_text(m_dump.b_ins_comments));
    profile.set_value(section, k_line_break, flag_text(m_dump.line_break == 1));
    profile.set_value(section, k_new_version, flag_text(m_dump.b_new_ver));
    return true;
}
