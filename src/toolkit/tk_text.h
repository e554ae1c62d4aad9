// Text conversions between the wide form used inside the system (UTF-16, std::u16string) and the
// narrow forms of files, settings and the MySQL client. On this platform the system ANSI code
// page is UTF-8. Conversions never fail on bad input: bytes or code units that cannot be
// converted become U+FFFD (narrow: its UTF-8 bytes), and no text is cut short.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// UTF-16 to UTF-8; the result ends at the first zero code unit.
std::string tk_to_utf8(std::u16string_view text);
// UTF-8 to UTF-16; every code unit is kept, zeros included.
std::u16string tk_from_utf8(std::string_view text);
// Appends the UTF-8 form of `text` to `out`, all code units, zeros included (for statement
// buffers that are built in pieces).
void tk_append_utf8(std::string& out, std::u16string_view text);

// The system ANSI code page (UTF-8) to wide text.
std::u16string tk_ansi_to_wide(std::string_view text);
// Bytes in the Windows code page `code_page` (0: the system ANSI code page) to wide text; the
// result ends at its first NUL.
std::u16string tk_ansi_to_ucs2(std::string_view text, int code_page);
// Zero-terminated wide text to the system ANSI code page; false for a missing input.
bool tk_wide_to_ansi(const char16_t* text, std::string& out);
// Two upper-case hexadecimal digits per byte into `out` (2 * count + 1 bytes, zero-terminated).
// A missing output buffer is an assertion failure.
void tk_bytes_to_hex(size_t count, const uint8_t* bytes, char* out);

// Case-insensitive comparison of names by Unicode simple case folding; true when equal.
bool tk_equal_nocase(std::u16string_view a, std::u16string_view b);
// Simple case folding of one UTF-16 code unit (characters of the Basic Multilingual Plane).
char16_t tk_fold_case(char16_t c);
// UTF-16 literal helper for narrow ASCII text.
std::u16string tk_widen_ascii(std::string_view text);
