#include "console_options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "error_handler.h"
#include "tk_cmdli.h"
#include "tk_exception.h"
#include "tk_file_name.h"
#include "tk_log.h"
#include "tk_path.h"
#include "tk_text.h"
#include "velt2sql_convertor.h"

namespace {

const tk_cmd_option k_options[] = {
    {opt_case_sense, "--case_sense"}, {opt_dest, "--dest="},       {opt_dump, "--dump"},
    {opt_help, "--help"},             {opt_logfile, "--logfile="}, {opt_mode, "--mode="},
    {opt_mysqlh, "--mysqlh="},        {opt_mysqlu, "--mysqlu="},   {opt_mysqlp, "--mysqlp="},
    {opt_port, "--port="},            {opt_profile, "--profile="}, {opt_silent, "--silent"},
    {opt_skip_idx, "--skip_idx"},     {opt_src, "--src="},         {opt_tab_def, "--tab_def"},
    {opt_tab_file, "--tab_file="},    {0, ""},
};

constexpr const char* k_usage_format =
    "VELTAGENT v%d.%d\n"
    "Usage: VELTAGENT.EXE OPTIONS\n"
    "\n"
    "   --case_sense   make all CHAR and VARCHAR fields case sensitive\n"
    "   --dest=...     MySQL database or MySQL dump file name\n"
    "   --dump         convert Oracle data into MySQL dump file\n"
    "   --help         display this help message and exit\n"
    "   --logfile=...  path to the file where execution trace will be written\n"
    "   --mode=...     how to process an existing MySQL database\n"
    "                  (0 - overwrite the entire database, 1 - overwrite existing\n"
    "                  tables only, 2 - skip existing tables, 3 - merge)\n"
    "   --mysqlh=...   MySQL server IP address or network name\n"
    "   --mysqlu=...   MySQL user name\n"
    "   --mysqlp=...   MySQL user password\n"
    "   --port=...     MySQL port\n"
    "   --profile=...  path to the file to load conversion settings from\n"
    "   --silent       disable program output\n"
    "   --skip_idx     skip converting indexes\n"
    "   --src=...      Oracle dump file name\n"
    "   --tab_def      convert table definitions only\n"
    "   --tab_file=... file containing the list of tables to convert\n"
    "                  (one table name per line)\n"
    "\n"
    "NOTES:\n"
    "   1) You can omit 'mysqlh' to connect local database server.\n"
    "   2) It is necessary to specify 'port' parameter only if it deffers from\n"
    "      the default MySQL port 3306.\n"
    "   3) If you omit 'tab_file' parameter, all database tables will be converted.\n"
    "   4) If you omit 'mode' parameter, default mode 'overwrite the entire\n"
    "      database' will be used.\n"
    "   5) Command line parameters that contain spaces should be enclosed in\n"
    "      quotes (for example --dest=\"my database\")";

// The one accepted spelling of each mode: a single digit 0 to 3.
bool parse_mode(const std::string& value, int32_t& mode) {
    if (value.size() != 1 || value[0] < '0' || value[0] > '3') return false;
    mode = value[0] - '0';
    return true;
}

}  // namespace

std::string usage_text() {
    char text[4096];
    std::snprintf(text, sizeof text, k_usage_format, velt2sql_convertor::major_version,
                  velt2sql_convertor::minor_version);
    return text;
}

void exit_with_message(const std::string& text) {
    tk_trace(3, "%s", text.c_str());
    const velt2sql_convertor* converter = velt2sql_convertor::instance_if_any();
    if (converter == nullptr || !converter->silent()) {
        std::fputs(text.c_str(), stderr);
        std::fputc('\n', stderr);
        std::fflush(stderr);
    }
    std::exit(-1);
}

bool parse_cmd_line(int argc, const char* const* argv) {
    tk_trace(2, "parse_cmd_line");
    for (int i = 0; i < argc; ++i) tk_trace(1, "parameter #%d: %s", i, argv[i]);
    velt2sql_convertor& converter = velt2sql_convertor::instance();
    std::string host;
    std::string user;
    std::string password;
    std::string port = mysql_converter_impl::default_port;

    tk_cmdli line(argc, argv, k_options);
    for (; line.has_more(); line.advance()) {
        const std::string& value = line.value();
        switch (line.id()) {
            case opt_case_sense:
                tk_trace(2, "\tcase sensitive=true");
                converter.set_case_sensitive(true);
                break;
            case opt_dest:
                tk_trace(2, "parse_cmd_line - got dest %s", value.c_str());
                converter.set_dest_name(tk_ansi_to_wide(value));
                break;
            case opt_dump:
                tk_trace(2, "\tconvert into dump files");
                converter.set_direct_mode(false);
                break;
            case opt_help:
                exit_with_message(usage_text());
            case opt_logfile:
                tk_trace(2, "parse_cmd_line - got logfile %s", value.c_str());
                converter.set_logfile(value);
                break;
            case opt_mode: {
                int32_t mode = 0;
                if (!parse_mode(value, mode)) exit_with_message("Invalid merge/overwrite mode");
                tk_trace(2, "\tgot mode %d", mode);
                converter.set_mode(mode);
                break;
            }
            case opt_mysqlh: host = value; break;
            case opt_mysqlu: user = value; break;
            case opt_mysqlp: password = value; break;
            case opt_port: port = value; break;
            case opt_profile:
                tk_trace(2, "parse_cmd_line - got profile %s", value.c_str());
                load_profile_file(converter, tk_ansi_to_wide(value));
                break;
            case opt_silent:
                tk_trace(2, "parse_cmd_line - silent mode is ON");
                converter.set_silent(true);
                if (error_handler* handler = error_handler::instance_if_any()) {
                    handler->set_silent(true);
                }
                break;
            case opt_skip_idx:
                tk_trace(2, "\tskip converting indexes");
                converter.set_skip_idx(true);
                break;
            case opt_src:
                tk_trace(2, "parse_cmd_line - got src %s", value.c_str());
                converter.set_source_path(tk_ansi_to_wide(value));
                break;
            case opt_tab_def:
                tk_trace(2, "\tconvert table definitions only");
                converter.set_tab_def(true);
                break;
            case opt_tab_file:
                tk_trace(2, "\tparse_cmd_line - got tab_file %s", value.c_str());
                process_tab_file(value);
                break;
            default:
                break;
        }
    }
    if (line.unrecognised_count() != 0) {
        for (const std::string& argument : line.unrecognised()) {
            tk_trace(3, "Unrecognised argument: %s", argument.c_str());
        }
        return false;
    }
    if (converter.dest_name().empty()) {
        exit_with_message("You should enter destination MySQL database or dump file name");
    }
    if (converter.source_path().empty()) exit_with_message("You should enter Oracle dump file name");
    if (!tk_is_file_exist(converter.source_path(), 0)) {
        exit_with_message(
            "Source file does not exist.\nPlease verify the correct file name was given.");
    }
    converter.mysql().store_mysql_settings(host, user, password, port);
    return true;
}

void process_tab_file(const std::string& path) {
    tk_trace(2, "process_tab_file(%s)", path.c_str());
    FILE* file = tk_is_file_exist(path, 0) ? std::fopen(path.c_str(), "rb") : nullptr;
    if (file == nullptr) {
        exit_with_message(
            "Table names file does not exist.\nPlease verify the correct path/name was given.");
    }
    std::vector<std::u16string> names;
    bool decided = false;
    bool utf8 = false;
    std::string line;
    bool at_end = false;
    while (!at_end) {
        line.clear();
        int c = 0;
        while ((c = std::fgetc(file)) != EOF && c != '\n') line.push_back(static_cast<char>(c));
        at_end = c == EOF;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        if (!decided) {
            decided = true;
            if (line.size() >= 3 && static_cast<unsigned char>(line[0]) == 0xEF &&
                static_cast<unsigned char>(line[1]) == 0xBB &&
                static_cast<unsigned char>(line[2]) == 0xBF) {
                utf8 = true;
                line.erase(0, 3);
                if (line.empty()) continue;
            }
        }
        names.push_back(utf8 ? tk_from_utf8(line) : tk_ansi_to_wide(line));
        tk_wtrace(2, u"Table to convert: '%s'", names.back().c_str());
    }
    std::fclose(file);
    velt2sql_convertor::instance().selected_tables() = std::move(names);
}

void common_check_dest(const std::u16string& destination) {
    tk_wtrace(2, u"common_check_dest(%s)", destination.c_str());
    if (tk_is_path_exist(destination)) {
        throw tk_exception("Destination name should specify a file, not folder.", 1);
    }
    if (tk_is_file_exist(destination, 0) && !tk_is_file_exist(destination, 1)) {
        throw tk_exception("Destination name specifies an existing read-only file.", 1);
    }
    const tk_file_wname name(destination);
    if (!tk_is_path_exist(name.folder())) {
        throw tk_exception(
            "Destination path does not exist.\nPlease verify the correct path was given.", 1);
    }
}

void check_dest(const std::u16string& destination) {
    tk_wtrace(2, u"check_dest(%s)", destination.c_str());
    velt2sql_convertor& converter = velt2sql_convertor::instance();
    // The old destination goes only once the dump has been read: a dump that cannot be opened
    // leaves the old database or script as it was.
    if (!converter.direct_mode()) {
        common_check_dest(destination);
        converter.set_prepare_destination([destination]() {
            if (!tk_is_file_exist(destination, 0)) return;
            const std::string path = tk_to_utf8(destination);
            if (std::remove(path.c_str()) != 0) throw tk_exception_ex();
        });
        return;
    }
    converter.set_prepare_destination([destination, &converter]() {
        if (converter.mysql().is_mysql_base_exist(destination) && converter.mode() == 0) {
            converter.mysql().del_mysql_base(destination);
        }
    });
}
