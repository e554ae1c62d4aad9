// udb_profile: the in-memory form of a profile file (extension "vlt"), the conversion settings a
// user saves and loads again.
//
// Sections of key = value pairs. Section names and keys are ordered by plain code-unit comparison
// (case-sensitive, upper case before lower case); a key occurs at most once per section and a
// second value for it is ignored (the first stays). A new profile holds the three empty sections
// "Available Queries", "Generic settings" and "Selected Tables"; "MySQL settings" appears with its
// first value.
//
// File format: UTF-8 without a byte-order mark, every line ended by CR LF. For each section in
// order a line "[name]", one line "key=value" per key in key order, then an empty line; in
// "Selected Tables" a key with an empty value is written as the bare key. Reading trims spaces
// (U+0020) from both ends of each line and from the key; the value keeps its leading spaces; a
// bare non-empty line is a key with an empty value; a key line before the first section line
// rejects the file. Lines are read whole up to max_line_bytes, so long query texts come back
// intact; a longer line is skipped (traced at level 3) and reading goes on, which also keeps a
// file that is no profile at all from being loaded into memory. A byte-order mark at the start
// of a file is skipped.
//
// Owned by its user (the converter's load and store); not shared between threads.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>

class udb_profile {
public:
    using section = std::map<std::u16string, std::u16string>;
    using sections = std::map<std::u16string, section>;

    static constexpr const char16_t* available_queries = u"Available Queries";
    static constexpr const char16_t* generic_settings = u"Generic settings";
    static constexpr const char16_t* mysql_settings = u"MySQL settings";
    static constexpr const char16_t* selected_tables = u"Selected Tables";

    // Longest line read() keeps, in bytes.
    static constexpr size_t max_line_bytes = 1024 * 1024;

    udb_profile();

    // Adds the file's sections and pairs to the profile. False when the file cannot be opened or a
    // key comes before the first section (the pairs read so far stay; callers then ignore the
    // profile).
    bool read(const std::u16string& path);
    // Writes the profile to the file, replacing it. False when the file cannot be opened or
    // written.
    bool write(const std::u16string& path) const;

    // The value, or an empty text when the section or the key is missing.
    std::u16string get_value(const std::u16string& section_name, const std::u16string& key) const;
    // Sets a value, creating the section when missing; an existing key keeps its value.
    void set_value(const std::u16string& section_name, const std::u16string& key,
                   const std::u16string& value);

    // The section, or nullptr when it is missing.
    const section* get_section(const std::u16string& section_name) const;
    const sections& items() const { return m_sections; }

    // The bytes write() puts into a file.
    std::string to_text() const;
    // Adds the pairs of a profile text (UTF-8 bytes) as read() does; false as read() is.
    bool parse(std::string_view text);

private:
    sections m_sections;
};
