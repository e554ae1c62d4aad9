#include "velt2sql_convertor.h"

#include <cstdio>

#include "dates_map.h"
#include "dmp_database.h"
#include "error_handler.h"
#include "init_conversion.h"
#include "mysql_resolve_duplicates.h"
#include "sql_database.h"
#include "sql_exception.h"
#include "sql_recordset.h"
#include "tk_exception.h"
#include "tk_log.h"
#include "tk_text.h"
#include "tk_thread.h"
#include "udb_database.h"
#include "udb_profile.h"
#include "udb_recordset.h"
#include "udb_validator.h"

namespace {

// Open modes of sql_engine::open_db: an existing database reused for appending, or taken as new.
constexpr int32_t k_open_append = 8;
constexpr int32_t k_open_new = 4;

constexpr const char16_t* k_direct_mode = u"direct mode";
constexpr const char16_t* k_case_sensitive = u"case sensitive";

// Hands an error to the process's error handler (tests may run without one: then it is traced).
void report(const tk_exception& error, bool final) {
    if (error_handler* handler = error_handler::instance_if_any()) {
        handler->handle(error, final);
        return;
    }
    tk_trace(3, "Error:\n%s", error.what());
}

void set_context(const std::u16string& table) {
    if (error_handler* handler = error_handler::instance_if_any()) handler->set_context(table);
}

void set_context(const std::u16string& table, int32_t record) {
    if (error_handler* handler = error_handler::instance_if_any()) {
        handler->set_context(table, record);
    }
}

void clear_context() {
    if (error_handler* handler = error_handler::instance_if_any()) handler->context().clear();
}

}  // namespace

velt2sql_convertor::velt2sql_convertor(velt_program program)
    : m_program(program), m_settings_key(settings_key) {
    tk_trace(2, "velt2sql_convertor::ctor");
    serialize(false);
}

velt2sql_convertor::~velt2sql_convertor() {
    tk_trace(2, "velt2sql_convertor::dtor");
    if (m_program == velt_program::wizard) serialize(true);
}

void velt2sql_convertor::operator()() { run(); }

bool velt2sql_convertor::serialize(bool store) {
    tk_trace(2, "serialize( %d )", store ? 1 : 0);
    if (m_settings_key.create(&tk_hkey_current_user, settings_key, nullptr, 0,
                              tk_reg_all_access) != tk_reg_success) {
        return false;
    }
    dmp_settings& dump = m_mysql.dump_settings();
    std::string port = m_mysql.port();
    std::string host = m_mysql.host();
    std::string user = m_mysql.user();
    std::string password = m_mysql.password();
    std::u16string source = source_path();
    std::u16string dest = dest_name();
    bool case_sensitive = m_case_sensitive;
    bool direct = m_direct_mode;
    bool skip = skip_idx();
    bool definitions = tab_def();
    if (!store) {
        // Every setting starts from its initial value; the texts that have none stay.
        const dmp_settings initial;
        dump.line_break = initial.line_break;
        dump.b_new_ver = initial.b_new_ver;
        dump.b_add_lock = initial.b_add_lock;
        dump.b_ins_comments = initial.b_ins_comments;
        dump.b_create_db = initial.b_create_db;
        dump.b_create_tab = initial.b_create_tab;
        case_sensitive = false;
        direct = true;
        skip = false;
        definitions = false;
        port = mysql_converter_impl::default_port;
    }
    bool ok = true;
    ok &= m_settings_key.transfer("dmp_line_br", dump.line_break, store);
    ok &= m_settings_key.transfer("dmp_new_ver", dump.b_new_ver, store);
    ok &= m_settings_key.transfer("dmp_loc_wri", dump.b_add_lock, store);
    ok &= m_settings_key.transfer("dmp_ins_com", dump.b_ins_comments, store);
    ok &= m_settings_key.transfer("dmp_ins_db", dump.b_create_db, store);
    ok &= m_settings_key.transfer("dmp_ins_tab", dump.b_create_tab, store);
    ok &= m_settings_key.transfer("case sensitive", case_sensitive, store);
    ok &= m_settings_key.transfer("mysql direct", direct, store);
    ok &= m_settings_key.transfer("skip_idx", skip, store);
    ok &= m_settings_key.transfer("tab_def", definitions, store);
    ok &= m_settings_key.transfer("port", port, store);
    ok &= m_settings_key.transfer("host", host, store);
    ok &= m_settings_key.transfer("src", source, store);
    ok &= m_settings_key.transfer("dest", dest, store);
    ok &= m_settings_key.transfer("user", user, store);
    ok &= m_settings_key.transfer("pswd", password, store);
    m_settings_key.close();
    if (!store) {
        m_case_sensitive = case_sensitive;
        m_direct_mode = direct;
        set_skip_idx(skip);
        set_tab_def(definitions);
        m_mysql.set_port(port);
        m_mysql.set_host(host);
        m_mysql.set_user(user);
        m_mysql.set_password(password);
        set_source_path(source);
        set_dest_name(dest);
    }
    return ok;
}

bool velt2sql_convertor::load_profile(const udb_profile& profile) {
    tk_trace(2, "velt2sql_convertor::load_profile");
    udb_converter::load_profile(profile);
    m_mysql.load_profile(profile);
    const std::u16string direct = profile.get_value(udb_profile::mysql_settings, k_direct_mode);
    if (!direct.empty()) m_direct_mode = direct == u"1";
    const std::u16string sensitive =
        profile.get_value(udb_profile::mysql_settings, k_case_sensitive);
    if (!sensitive.empty()) m_case_sensitive = sensitive == u"1";
    return true;
}

bool velt2sql_convertor::store_profile(udb_profile& profile) {
    tk_trace(2, "velt2sql_convertor::store_profile");
    for (const std::u16string& table : selected_tables()) {
        selected_queries().emplace(table, std::u16string());
    }
    udb_converter::store_profile(profile);
    m_mysql.store_profile(profile);
    profile.set_value(udb_profile::mysql_settings, k_direct_mode, m_direct_mode ? u"1" : u"0");
    profile.set_value(udb_profile::mysql_settings, k_case_sensitive,
                      m_case_sensitive ? u"1" : u"0");
    return true;
}

std::vector<std::u16string> velt2sql_convertor::get_all_tables() const {
    tk_trace(2, "velt2sql_convertor::get_all_tables");
    const ora_dump_file* source = m_opener.result();
    if (source == nullptr) return {};
    return source->table_names();
}

void velt2sql_convertor::print_out(const std::string& text) const {
    std::fputs(text.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void velt2sql_convertor::print_err(const std::string& text) const {
    std::fputs(text.c_str(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

udb_database* velt2sql_convertor::open_source() {
    if (m_program == velt_program::console) {
        m_opener.set_source_path(source_path());
        m_opener.set_console(true, silent());
        m_opener();
        const ora_dump_reader& reader = m_opener.reader();
        if (!silent() && m_opener.result() != nullptr) {
            if (reader.b_compound()) print_err(ora_dump_reader::compound_text);
            if (reader.b_multifile_first()) print_err(ora_dump_reader::multifile_first_text);
        }
    }
    return m_opener.result();
}

std::unique_ptr<udb_database> velt2sql_convertor::get_dest_base() {
    tk_trace(2, "velt2sql_convertor::get_dest_base");
    sql_engine& engine = m_mysql.engine();
    if (m_direct_mode) {
        tk_wtrace(2, u"mysql_converter_impl::is_mysql_base_exist( %s )", dest_name().c_str());
        if (engine.is_db_exist(dest_name())) {
            return engine.open_db(dest_name(), mode() != 0 ? k_open_append : k_open_new);
        }
        return engine.create_db(dest_name());
    }
    char title[64];
    std::snprintf(title, sizeof title, "Veltrane %d.%d %s", major_version, minor_version, "");
    m_mysql.dump_settings().title = title;
    return engine.create_dump(dest_name(), m_mysql.dump_settings());
}

bool velt2sql_convertor::run() {
    tk_trace(2, "velt2sql_convertor::operator()");
    init_conversion scope(done_flag(), m_start_hook);
    m_run_failed = false;
    try {
        sql_engine& engine = m_mysql.engine();
        engine.set_case_sensitive(m_case_sensitive);
        // InnoDB unless indexes are skipped: whatever the server version suggested.
        engine.set_table_type(skip_idx() ? sql_engine::myisam : sql_engine::innodb);
        if (!m_direct_mode) {
            engine.set_server_version(m_mysql.dump_settings().b_new_ver
                                          ? sql_versions::new_syntax
                                          : sql_version(3, 20, 1));
        }
        udb_database* source = open_source();
        if (source == nullptr) {
            // The open failed and was reported already: nothing is touched at the destination.
            tk_trace(3, "No dump file is open: the conversion does not start");
            return true;
        }
        if (m_prepare) m_prepare();
        std::unique_ptr<udb_database> destination = get_dest_base();
        tk_trace(2, "After initializing DBs");
        convert_all(*source, *destination);
        // A script reports here whether everything reached the disk.
        if (auto* script = dynamic_cast<dmp_database*>(destination.get())) script->close();
        destination.reset();
    } catch (const tk_final_exception&) {
        tk_trace(2, "The conversion was stopped");
    } catch (const tk_exception& error) {
        m_run_failed = true;
        report(error, true);
    } catch (const std::exception& error) {
        m_run_failed = true;
        tk_trace(3, "ERROR:\n%s", error.what());
        if (m_failure_reporter) {
            m_failure_reporter(error.what());
        } else if (m_program == velt_program::console && !silent()) {
            print_err(error.what());
        }
    }
    scope.end();
    return true;
}

void velt2sql_convertor::convert_all(udb_database& source, udb_database& destination) {
    if (m_program == velt_program::console && selected_tables().empty()) {
        selected_tables() = source.table_names();
    }
    // The run works on its own copy: a front end may not change the list under it.
    const std::vector<std::u16string> tables = selected_tables();
    set_table_count(static_cast<int32_t>(tables.size()));
    set_tables_done(0);
    tk_trace(3, "Converting Oracle dump file (%d tables)", static_cast<int>(tables.size()));
    if (m_program == velt_program::console && !silent()) {
        print_out("Converting Oracle dump file (" + std::to_string(tables.size()) + " tables)");
    }

    std::unique_ptr<udb_validator> validator =
        m_mysql.engine().create_tn_validator(tables, destination.table_names());
    for (const std::u16string& name : tables) {
        tk_thread::check_stop();
        try {
            convert_table(name, source, destination, *validator);
        } catch (const tk_exception& error) {
            set_context(name);
            report(error, false);
        }
        set_tables_done(tables_done() + 1);
    }

    clear_context();
    set_tables_done(0);
    set_table_count(0);
    if (!skip_idx()) destination.create_relationships(source.relationships());
    validator.reset();
}

void velt2sql_convertor::convert_table(const std::u16string& name, udb_database& source,
                                       udb_database& destination, udb_validator& validator) {
    set_current_table(name);
    set_table_rows(0);
    set_rows_done(0);
    if (m_program == velt_program::console && !source.is_table_exist(name)) {
        if (!silent()) print_err("Table " + tk_to_utf8(name) + " not exists");
        return;
    }
    std::unique_ptr<udb_recordset> from = source.get_table(name, udb_database::open_structure);
    if (!from) {
        tk_wtrace(3, u"Table '%s' cannot be read: skipped", name.c_str());
        return;
    }
    if (from->schema().empty()) return;

    const bool accepted = validator.is_acceptable(name);
    const std::u16string target_name = accepted ? name : validator.get_safe_name(name);
    if (destination.is_table_exist(target_name)) {
        if (mode() == 2) return;
        if (mode() == 1) destination.delete_tab(target_name);
    }
    static const udb_indexes no_indexes;
    std::unique_ptr<udb_recordset> to =
        destination.create_table(target_name, from->schema(), skip_idx() ? no_indexes
                                                                         : from->indexes());
    TK_ASSERT(to != nullptr);
    if (!accepted) {
        tk_wtrace(2, u"Store generated table name '%s'", target_name.c_str());
        validator.add_mapped_pair(name, target_name);
        destination.names_map().add_tn_mapping(name, target_name);
    }
    validator.add_name_in_use(target_name);

    set_table_rows(from->record_count());
    tk_wtrace(3, u"Converting table %s", name.c_str());
    if (m_program == velt_program::console && !silent()) {
        print_out("Converting table " + tk_to_utf8(name));
    }
    if (tab_def()) return;

    const bool merge = mode() == 3;
    auto* server_target = dynamic_cast<sql_recordset*>(to.get());
    mysql_resolve_duplicates resolver(destination, *to);
    std::unique_ptr<dates_map> dates;
    if (!merge) dates = std::make_unique<dates_map>(target_name, from->schema(), true);
    from->reset();
    convert_rows(name, *from, *to, server_target, resolver, dates.get());
    if (server_target != nullptr) flush_rows(*server_target, merge ? nullptr : &resolver);
    if (!merge) m_mysql.date_post_process(destination, to->schema(), *dates);
}

void velt2sql_convertor::report_row_failure(const std::u16string& name, int32_t record,
                                            const tk_exception& error) {
    // Reported as an error of this row only: the conversion goes on whatever its level.
    set_context(name, record);
    report(tk_exception(error.text(), 0), false);
}

void velt2sql_convertor::convert_rows(const std::u16string& name, udb_recordset& source,
                                      udb_recordset& target, sql_recordset* server_target,
                                      mysql_resolve_duplicates& resolver, dates_map* dates) {
    const bool merge = mode() == 3;
    int32_t rows = 0;
    while (!source.is_eof()) {
        tk_thread::check_stop();
        const int32_t record = rows + 1;
        tk_trace(1, "Converting record #%d", record);
        try {
            udb_record* item = source.get_item();
            TK_ASSERT(item != nullptr);
            if (rows == 0 && !merge) resolver.check_1st_rec(*item);
            if (server_target != nullptr) server_target->set_record_number(record);
            target.append_record(*item);
            if (dates != nullptr) dates->add_rec_stat(*item);
        } catch (const sql_exception& error) {
            if (!merge && resolver.handle_if(error)) {
                // Repaired: the same row is read and appended again.
                continue;
            }
            if (server_target != nullptr && server_target->has_rejected_batch()) {
                // The rows of the refused statement go alone; each one the server refuses is
                // reported under its own record number.
                server_target->send_rejected_rows(false);
            } else {
                set_context(name, record);
                report(error, false);
            }
        } catch (const tk_exception& error) {
            report_row_failure(name, record, error);
            if (error.level() == 0) {
                // The source cannot go on with this table (a damaged row, a record that does
                // not fit the destination).
                break;
            }
        }
        tk_trace(1, "Record %d processed", record);
        source.next();
        ++rows;
        set_rows_done(rows);
    }
}

void velt2sql_convertor::flush_rows(sql_recordset& target, mysql_resolve_duplicates* resolver) {
    for (;;) {
        try {
            target.clean();
            return;
        } catch (const sql_exception& error) {
            if (resolver != nullptr && resolver->handle_if(error)) continue;
            if (target.has_rejected_batch()) {
                target.send_rejected_rows(false);
            } else {
                set_context(target.name());
                report(error, false);
            }
            return;
        }
    }
}

bool load_profile_file(velt2sql_convertor& converter, const std::u16string& path) {
    tk_wtrace(2, u"load_profile_file(%s)", path.c_str());
    udb_profile profile;
    if (!profile.read(path)) return false;
    return converter.load_profile(profile);
}

bool load_profile_file(const std::u16string& path) {
    return load_profile_file(velt2sql_convertor::instance(), path);
}

bool store_profile_file(velt2sql_convertor& converter, const std::u16string& path) {
    tk_wtrace(2, u"store_profile_file(%s)", path.c_str());
    udb_profile profile;
    converter.store_profile(profile);
    return profile.write(path);
}

bool store_profile_file(const std::u16string& path) {
    return store_profile_file(velt2sql_convertor::instance(), path);
}
