// VELTAGENT: the console converter. Runs one conversion from its command-line options (see
// usage_text) and reports on the console: progress on the standard output, warnings and fatal
// messages on the standard error. Exit status 0 after a run, -1 after a usage error or a failure
// that stops the run.
#include <exception>
#include <memory>
#include <optional>

#include "console_front_end.h"
#include "console_options.h"
#include "error_handler.h"
#include "tk_exception.h"
#include "tk_log.h"
#include "velt2sql_convertor.h"

int main(int argc, char** argv) {
    tk_log log(std::nullopt, false, 3, false);
    console_front_end front_end;
    error_handler handler(k_mysql_error_text_count, k_mysql_error_texts, front_end);
    std::unique_ptr<velt2sql_convertor> converter;
    try {
        converter = std::make_unique<velt2sql_convertor>(velt_program::console);
        // The console always starts from a server destination with case-insensitive texts.
        converter->set_direct_mode(true);
        converter->set_case_sensitive(false);
        if (argc <= 1 || !parse_cmd_line(argc, argv)) exit_with_message(usage_text());
        if (converter->direct_mode()) converter->mysql().connect_mysql_server();
        check_dest(converter->dest_name());
        converter->run();
        // A run that ended early on an error of its own (reported already) is no success.
        const bool failed = converter->run_failed();
        converter.reset();
        if (failed) return -1;
    } catch (const tk_exception& error) {
        // Only the start-up steps let an error out (the run catches its own): the conversion
        // did not take place, whatever the error's level. A refused connection, for one, is a
        // MySQL error of level 0, and must not end as a successful run.
        handler.handle(error, false);
        return -1;
    } catch (const tk_final_exception&) {
        return -1;
    } catch (const std::exception& error) {
        exit_with_message(error.what());
    }
    return 0;
}
