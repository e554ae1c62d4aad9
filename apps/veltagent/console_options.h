// The options of VELTAGENT and the checks that come with them: the command-line parser, the
// list-of-tables file, the destination checks and the fatal exit.
//
// All of them work on the process's converter (velt2sql_convertor::instance()) and error handler
// and run on the main thread before the conversion. exit_with_message and the checks that fail
// end the process with exit status -1.
#pragma once

#include <string>

// The option identifiers of the command line, in table order.
enum console_option_id {
    opt_case_sense = 0,
    opt_dest,
    opt_dump,
    opt_help,
    opt_logfile,
    opt_mode,
    opt_mysqlh,
    opt_mysqlu,
    opt_mysqlp,
    opt_port,
    opt_profile,
    opt_silent,
    opt_skip_idx,
    opt_src,
    opt_tab_def,
    opt_tab_file,
};

// The usage text for the program version.
std::string usage_text();
// Traces the text, prints it on the error stream unless the converter is silent and ends the
// process with exit status -1.
[[noreturn]] void exit_with_message(const std::string& text);
// Applies the options in order; false when an argument matched no option (the caller prints the
// usage text). Ends the process for an empty destination or source, an unreadable source, an
// invalid mode, a missing list-of-tables file and "--help". Throws tk_exception for a bad
// "--logfile=".
bool parse_cmd_line(int argc, const char* const* argv);
// Replaces the selected tables with the names the file lists, one a line (UTF-8 after a
// byte-order mark, the system code page otherwise; blank lines skipped, names kept as written).
void process_tab_file(const std::string& path);
// Checks the destination and arranges what must happen to an old one once the dump has been
// read: a script file is deleted, a database in mode 0 dropped. Throws tk_exception.
void check_dest(const std::u16string& destination);
// Throws tk_exception (level 1) when a script destination names a folder, an existing read-only
// file or a file in a folder that does not exist.
void common_check_dest(const std::u16string& destination);
