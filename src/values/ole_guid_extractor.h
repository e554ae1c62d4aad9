// ole_guid_extractor: finds a GUID written in braces after the word "guid" in a text.
//
// The MySQL literal writer uses it on the printed form of binary values: a text of at least 45
// code units that holds "guid" (or "GUID") followed, from four units after the word, by a "{"
// gives the 32 hexadecimal digits of the braced GUID without braces and hyphens. A plain value
// made for one text; not shared between threads.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class ole_guid_extractor {
public:
    explicit ole_guid_extractor(std::u16string_view text);

    // The 32 digits, or an empty string when no GUID was found or the text ends before the
    // 37 units that follow the '{'.
    std::u16string get_guid() const;
    bool found() const noexcept { return m_b_found; }
    int32_t position() const noexcept { return m_position; }

private:
    int32_t m_position = -1;  // of the '{'
    std::u16string m_text;
    bool m_b_found = false;
};
