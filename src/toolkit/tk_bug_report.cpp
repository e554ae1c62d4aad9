#include "tk_bug_report.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <thread>

#include "tk_dir_keeper.h"
#include "tk_log.h"

extern char** environ;

namespace {

const char k_maker[] = "Quillmark";
const char k_default_address[] = "support@quillmark.example";

std::mutex g_mutex;
tk_mail_handler g_handler;                  // guarded by g_mutex
std::string g_address = k_default_address;  // guarded by g_mutex

// Hands the message to the desktop's mail program. Returns 0 once it started; the program is
// left to run on its own (a mail window may stay open for long) and a small thread reaps it.
int send_with_xdg_email(const tk_mail_message& message) {
    std::string to = message.recipient_address;
    std::string subject = message.subject;
    std::string body = message.text;
    char* argv[] = {const_cast<char*>("xdg-email"),
                    const_cast<char*>("--utf8"),
                    const_cast<char*>("--subject"),
                    subject.data(),
                    const_cast<char*>("--body"),
                    body.data(),
                    to.data(),
                    nullptr};
    pid_t pid = 0;
    int err = posix_spawnp(&pid, "xdg-email", nullptr, nullptr, argv, environ);
    if (err != 0) {
        tk_trace(2, "Failed to locate a mail service (xdg-email)");
        return err;
    }
    std::thread([pid] {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return 0;
}

}  // namespace

void tk_set_mail_handler(tk_mail_handler handler) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_handler = std::move(handler);
}

void tk_set_support_address(std::string address) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_address = std::move(address);
}

std::string tk_support_address() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_address;
}

tk_mail_message tk_make_bug_report(const std::string& title, const std::string& text) {
    tk_mail_message message;
    message.subject = "Bug report on " + title;
    message.text = text;
    std::time_t now = std::time(nullptr);
    std::tm local{};
    if (now != static_cast<std::time_t>(-1) && localtime_r(&now, &local) != nullptr) {
        char date[64];
        std::snprintf(date, sizeof date, "%d/%d/%d %d:%d", local.tm_year + 1900, local.tm_mon + 1,
                      local.tm_mday, local.tm_hour, local.tm_min);
        message.date_received = date;
    }
    message.recipient_name = k_maker;
    message.recipient_address = tk_support_address();
    return message;
}

void tk_send_bug_report(const std::string& title, const std::string& text) {
    tk_mail_message message = tk_make_bug_report(title, text);
    tk_dir_keeper keeper(".");
    tk_mail_handler handler;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        handler = g_handler;
    }
    int result = handler ? handler(message) : send_with_xdg_email(message);
    tk_trace(2, "Mail service returns %d", result);
}
