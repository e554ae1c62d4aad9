// ole_scan: reads text as the C library's sscanf does, for the few formats the date parser uses,
// without the locale and without a length limit on "%s".
//
// Supported: white space in the format (skips any white space, also none), literal characters
// (must match exactly), "%d" with an optional width into int*, "%hd" into uint16_t* (the 16-bit
// pattern, as the calendar record stores a short), "%s" into std::string*. Returns the number of
// items stored, or -1 when the text ends before the first item. Internal to the values library.
#pragma once

#include <string_view>

int ole_scan(std::string_view text, const char* format, ...);
