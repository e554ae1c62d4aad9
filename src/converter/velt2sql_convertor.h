// velt2sql_convertor: the conversion driver that both converter programs build, fill and run.
//
// It holds every setting of a conversion (its bases tk_converter and udb_converter, the MySQL
// part mysql_converter_impl, direct_mode and case_sensitive), owns the dump opener and the MySQL
// engine, and its run moves every selected table of the opened dump into the destination, a MySQL
// server database or a MySQL dump script: per table it makes a MySQL-safe name, applies the
// existing-destination mode, creates the table, appends every row, keeps date statistics and
// narrows the date columns; after the last table it creates the foreign keys.
//
// Failures are caught at the narrowest scope that can go on and handed to the error_handler: a
// failed row is reported under "TABLE, record #N" and the next row follows (a batch the server
// refuses is sent again row by row, so that only the refused rows are missing), a failed table
// under its name and the next table follows, and anything else ends the run. The run raises
// `done` on every way out.
//
// One instance per process (single-instance pattern), created by the program's entry point after
// the trace log and the error handler, living for the whole program. The console runs it on its
// main thread; the wizard runs operator() on a worker thread (tk_thread), whose stop request is
// honoured between rows and tables, while its user-interface thread reads the progress
// (udb_converter's counters and current_table(), and done()).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "mysql_converter_impl.h"
#include "ora_dump_opener.h"
#include "tk_reg_key.h"
#include "tk_single_instance.h"
#include "udb_converter.h"

class dates_map;
class mysql_resolve_duplicates;
class sql_recordset;
class tk_exception;
class udb_database;
class udb_profile;
class udb_recordset;
class udb_validator;

// The program a converter serves: a few steps of a run belong to one of them only.
enum class velt_program { console, wizard };

class velt2sql_convertor : public udb_converter, public tk_single_instance<velt2sql_convertor> {
public:
    // The stored settings' key in the per-user settings store.
    static constexpr const char* settings_key = "Software\\Quillmark\\Veltrane";
    static constexpr int major_version = 4;
    static constexpr int minor_version = 1;

    // Registers the instance, builds the MySQL part and the opener, loads the stored settings.
    explicit velt2sql_convertor(velt_program program);
    // The wizard's converter stores the settings back; the console's does not.
    ~velt2sql_convertor() override;

    // The task: run() with its result dropped. Lets tk_thread_stop through.
    void operator()() override;
    // One conversion (see the class comment). The result is that of ending the conversion scope:
    // true. Never throws, except tk_thread_stop when the worker running it is asked to stop.
    bool run();
    // Whether the last run ended early by a failure of the whole run (the destination could not
    // be opened, the script not be written, ...): the console then ends with a failure status,
    // whatever the level of the error. A stop the user asked for does not count.
    bool run_failed() const { return m_run_failed; }

    // The table names of the opened dump, sorted by name; empty before a successful open. Trace
    // "velt2sql_convertor::get_all_tables".
    std::vector<std::u16string> get_all_tables() const;

    // Loads (store false) or stores the sixteen stored settings. False when the settings key
    // cannot be opened (nothing changes) or a value could not be transferred.
    bool serialize(bool store);
    // Applies a profile on top of the current settings. Always true.
    bool load_profile(const udb_profile& profile);
    // Fills a profile with the current settings (the selected tables join the selected queries).
    // Always true.
    bool store_profile(udb_profile& profile);

    velt_program program() const { return m_program; }
    mysql_converter_impl& mysql() { return m_mysql; }
    const mysql_converter_impl& mysql() const { return m_mysql; }
    ora_dump_opener& opener() { return m_opener; }

    bool direct_mode() const { return m_direct_mode; }
    void set_direct_mode(bool on) { m_direct_mode = on; }
    bool case_sensitive() const { return m_case_sensitive; }
    void set_case_sensitive(bool on) { m_case_sensitive = on; }

    // A step run once the dump has been opened successfully and before the destination is
    // opened: the console prepares the destination there (drops an old database, deletes an old
    // script), so that nothing is destroyed for a dump that cannot be read. May throw
    // tk_exception, which ends the run.
    void set_prepare_destination(std::function<void()> step) { m_prepare = std::move(step); }
    // Called when a run starts (the wizard starts its progress timer).
    void set_start_hook(std::function<void()> hook) { m_start_hook = std::move(hook); }
    // Shows the text of a failure that is no toolkit error and ends the run (the wizard's error
    // message box). Without it the wizard only traces; the console prints on the error stream.
    void set_failure_reporter(std::function<void(const std::string&)> reporter) {
        m_failure_reporter = std::move(reporter);
    }

protected:
    // The source of the run: the console runs the opener here and prints its warnings; the
    // wizard has run it already. Returns the opener's result (nullptr when the open failed).
    virtual udb_database* open_source();
    // Opens (or creates) the destination database on the server, or creates the dump script.
    // Trace "velt2sql_convertor::get_dest_base". Throws sql_exception and tk_exception.
    virtual std::unique_ptr<udb_database> get_dest_base();

private:
    // Steps 7 to 13 of a run, over an open source and destination.
    void convert_all(udb_database& source, udb_database& destination);
    void convert_table(const std::u16string& name, udb_database& source,
                       udb_database& destination, udb_validator& validator);
    // The row loop of one table.
    void convert_rows(const std::u16string& name, udb_recordset& source, udb_recordset& target,
                      sql_recordset* server_target, mysql_resolve_duplicates& resolver,
                      dates_map* dates);
    // Sends the rows a server recordset still holds, repairing or splitting a refused batch.
    void flush_rows(sql_recordset& target, mysql_resolve_duplicates* resolver);
    // A row that failed without a server error (a damaged row, a value that does not convert).
    void report_row_failure(const std::u16string& name, int32_t record, const tk_exception& error);
    void print_out(const std::string& text) const;
    void print_err(const std::string& text) const;

    mysql_converter_impl m_mysql;
    velt_program m_program;
    tk_reg_key m_settings_key;
    ora_dump_opener m_opener;
    bool m_direct_mode = true;
    bool m_case_sensitive = false;
    bool m_run_failed = false;
    std::function<void()> m_prepare;
    std::function<void()> m_start_hook;
    std::function<void(const std::string&)> m_failure_reporter;
};

// Reads the profile file and, when that succeeds, applies it to the converter. False when the
// file cannot be read or is no profile (nothing is applied then).
bool load_profile_file(velt2sql_convertor& converter, const std::u16string& path);
// The same for the process's converter.
bool load_profile_file(const std::u16string& path);
// Writes the converter's settings into a profile file, replacing it; false when it cannot be
// written.
bool store_profile_file(velt2sql_convertor& converter, const std::u16string& path);
bool store_profile_file(const std::u16string& path);
