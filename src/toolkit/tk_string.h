// String helpers: the trims and tk_string (split, to_upper).
//
// The trims remove only the space character (code 32); tabs and line breaks stay. All return
// new strings. Plain functions and values, safe on any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

std::string tk_ltrim(std::string_view text);
std::string tk_rtrim(std::string_view text);
std::string tk_trim(std::string_view text);
std::u16string tk_ltrim(std::u16string_view text);
// Traces "Special processing for all-spaces-string" at level 1 for a text of spaces only.
std::u16string tk_rtrim(std::u16string_view text);
std::u16string tk_trim(std::u16string_view text);

// A narrow string with split and to_upper.
class tk_string : public std::string {
public:
    using std::string::string;
    tk_string() = default;
    tk_string(std::string text) : std::string(std::move(text)) {}

    // Replaces `pieces` by the runs of characters between separators, in order: an empty
    // string gives no piece, "a,,b," split at ',' gives "a", "", "b" and "". Returns true.
    // Traces "tk_string::split(%c)" at level 1.
    bool split(char separator, std::vector<std::string>& pieces) const;
    // Upper-cases the letters a to z in place and returns a copy.
    tk_string to_upper();
};
