// tk_send_bug_report: mails an internal-error report to the maker's support address.
//
// The message is built here; sending it is a service: the wizard may install its own with
// tk_set_mail_handler(). Without a handler the report goes to the desktop's mail program through
// xdg-email (started, not waited for); when that is not on the PATH the report is dropped with a
// trace. The result is never reported to the user. Any thread may call; handlers and the
// support address are guarded by a lock.
#pragma once

#include <functional>
#include <string>

// A simple mail message, as the report is sent.
struct tk_mail_message {
    std::string subject;            // "Bug report on " + the title
    std::string text;               // the error text
    std::string date_received;      // local time as "%d/%d/%d %d:%d", empty when unknown
    std::string recipient_name;     // the maker, "Quillmark"
    std::string recipient_address;  // tk_support_address()
};

// Sends a message; returns 0 when it was sent, a nonzero status otherwise.
using tk_mail_handler = std::function<int(const tk_mail_message& message)>;

// Installs the mail service; an empty handler restores the default (xdg-email).
void tk_set_mail_handler(tk_mail_handler handler);

// The mailbox that bug reports go to; "support@quillmark.example" until set.
void tk_set_support_address(std::string address);
std::string tk_support_address();

// The report as it would be sent.
tk_mail_message tk_make_bug_report(const std::string& title, const std::string& text);

// Builds the report (narrow texts in the system code page) and sends it. The current folder is
// kept: a mail program may change it.
void tk_send_bug_report(const std::string& title, const std::string& text);
