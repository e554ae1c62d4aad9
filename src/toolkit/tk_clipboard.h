// tk_copy_to_clipboard: puts wide text on the desktop clipboard.
//
// The toolkit has no user interface of its own: the wizard installs the clipboard service with
// tk_set_clipboard_handler() at start. Without a handler the copy does nothing but trace that
// there is no clipboard. Handlers are installed and called under a lock; any thread may call.
#pragma once

#include <functional>
#include <string_view>

// Places the text on the clipboard; true when it was placed.
using tk_clipboard_handler = std::function<bool(std::u16string_view text)>;

// Installs the clipboard service; an empty handler removes it.
void tk_set_clipboard_handler(tk_clipboard_handler handler);

// Copies `text` up to its first zero. Traces "GetLastError() returns %08X" at level 1 with 0
// when the text was placed and the error number otherwise.
void tk_copy_to_clipboard(std::u16string_view text);
