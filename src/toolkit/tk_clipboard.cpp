#include "tk_clipboard.h"

#include <cerrno>
#include <mutex>

#include "tk_log.h"

namespace {

std::mutex g_mutex;
tk_clipboard_handler g_handler;  // guarded by g_mutex

}  // namespace

void tk_set_clipboard_handler(tk_clipboard_handler handler) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_handler = std::move(handler);
}

void tk_copy_to_clipboard(std::u16string_view text) {
    text = text.substr(0, text.find(u'\0'));
    std::lock_guard<std::mutex> lock(g_mutex);
    int error = 0;
    if (!g_handler) {
        tk_trace(1, "Failed to open the clipboard: no clipboard service is installed");
        error = ENOSYS;
    } else {
        errno = 0;
        if (!g_handler(text))
            error = errno != 0 ? errno : EIO;
    }
    tk_trace(1, "GetLastError() returns %08X", static_cast<unsigned>(error));
}
