// tk_error_converter: the table that turns a numeric error code into a friendlier text.
// Filled once at construction, read afterwards from any thread without a lock.
#pragma once

#include <cstdint>
#include <map>
#include <string>

struct tk_error_pair {
    int32_t code;
    const char* text;
};

class tk_error_converter {
public:
    // A null pair array is an assertion failure.
    tk_error_converter(int32_t count, const tk_error_pair* pairs);

    // Adds the first `count` pairs in order; a code already present keeps its first text.
    void load_map(int32_t count, const tk_error_pair* pairs);
    // The text for `code`, or an empty string.
    std::string convert(int32_t code) const;

private:
    std::map<int32_t, std::string> m_map;
};
