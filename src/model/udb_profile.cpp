#include "udb_profile.h"

#include <cstdio>
#include <memory>

#include "tk_log.h"
#include "tk_text.h"

namespace {

std::u16string_view trim_spaces(std::u16string_view text) {
    while (!text.empty() && text.front() == u' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == u' ') {
        text.remove_suffix(1);
    }
    return text;
}

struct file_closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using file_ptr = std::unique_ptr<std::FILE, file_closer>;

// Turns the lines of a profile text into sections and pairs. Lines arrive without their line
// break; the reader keeps the position so a rejected or skipped line can be traced.
class udb_profile_parser {
public:
    explicit udb_profile_parser(udb_profile::sections& sections) : m_sections(sections) {}

    // False when the text must be rejected (a pair before the first section).
    bool line(std::string_view bytes) {
        ++m_line_number;
        if (m_line_number == 1 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
            // Editors add a byte-order mark when they save as UTF-8.
            bytes.remove_prefix(3);
        }
        if (!bytes.empty() && bytes.back() == '\r') {
            bytes.remove_suffix(1);
        }
        const std::u16string decoded = tk_from_utf8(bytes);
        const std::u16string_view text = trim_spaces(decoded);
        if (text.empty()) {
            return true;
        }
        if (text.size() >= 2 && text.front() == u'[' && text.back() == u']') {
            m_current = &m_sections[std::u16string(text.substr(1, text.size() - 2))];
            return true;
        }
        if (m_current == nullptr) {
            tk_trace(3, "Profile line %zu comes before the first section; the file is not loaded",
                     m_line_number);
            return false;
        }
        const size_t equals = text.find(u'=');
        if (equals == std::u16string_view::npos) {
            m_current->try_emplace(std::u16string(text));
        } else {
            m_current->try_emplace(std::u16string(trim_spaces(text.substr(0, equals))),
                                   std::u16string(text.substr(equals + 1)));
        }
        return true;
    }

    // A line longer than udb_profile::max_line_bytes: skipped, unless it comes before any section,
    // where any non-empty line rejects the file.
    bool long_line() {
        ++m_line_number;
        if (m_current == nullptr) {
            tk_trace(3, "Profile line %zu comes before the first section; the file is not loaded",
                     m_line_number);
            return false;
        }
        tk_trace(3, "Profile line %zu is longer than %zu bytes and was skipped", m_line_number,
                 udb_profile::max_line_bytes);
        return true;
    }

private:
    udb_profile::sections& m_sections;
    udb_profile::section* m_current = nullptr;
    size_t m_line_number = 0;
};

}  // namespace

udb_profile::udb_profile() {
    m_sections[available_queries];
    m_sections[generic_settings];
    m_sections[selected_tables];
}

bool udb_profile::read(const std::u16string& path) {
    tk_wtrace(2, u"udb_profile::read(%s)", path.c_str());
    file_ptr file(std::fopen(tk_to_utf8(path).c_str(), "rb"));
    if (!file) {
        tk_wtrace(3, u"Couldn't open profile %s", path.c_str());
        return false;
    }
    udb_profile_parser parser(m_sections);
    std::string line;
    bool too_long = false;
    char buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        std::string_view chunk(buffer, got);
        while (!chunk.empty()) {
            const size_t end = chunk.find('\n');
            const std::string_view piece = chunk.substr(0, end);
            if (!too_long) {
                if (line.size() + piece.size() > max_line_bytes) {
                    too_long = true;
                    line.clear();
                } else {
                    line.append(piece);
                }
            }
            if (end == std::string_view::npos) {
                break;
            }
            chunk.remove_prefix(end + 1);
            if (!(too_long ? parser.long_line() : parser.line(line))) {
                return false;
            }
            line.clear();
            too_long = false;
        }
    }
    if (std::ferror(file.get())) {
        tk_wtrace(3, u"Couldn't read profile %s", path.c_str());
        return false;
    }
    // The last line may lack its line break.
    if (too_long) {
        return parser.long_line();
    }
    return line.empty() || parser.line(line);
}

bool udb_profile::parse(std::string_view text) {
    udb_profile_parser parser(m_sections);
    while (!text.empty()) {
        const size_t end = text.find('\n');
        if (!parser.line(text.substr(0, end))) {
            return false;
        }
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
    }
    return true;
}

std::string udb_profile::to_text() const {
    std::string out;
    for (const auto& [name, pairs] : m_sections) {
        out += '[';
        tk_append_utf8(out, name);
        out += "]\r\n";
        const bool bare_keys = name == selected_tables;
        for (const auto& [key, value] : pairs) {
            tk_append_utf8(out, key);
            if (!(bare_keys && value.empty())) {
                out += '=';
                tk_append_utf8(out, value);
            }
            out += "\r\n";
        }
        out += "\r\n";
    }
    return out;
}

bool udb_profile::write(const std::u16string& path) const {
    tk_wtrace(2, u"udb_profile::write(%s)", path.c_str());
    const std::string text = to_text();
    file_ptr file(std::fopen(tk_to_utf8(path).c_str(), "wb"));
    if (!file) {
        tk_wtrace(3, u"Couldn't create profile %s", path.c_str());
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
    // fclose flushes: its failure is a failed write too.
    if (std::fclose(file.release()) != 0 || !written) {
        tk_wtrace(3, u"Couldn't write profile %s", path.c_str());
        return false;
    }
    return true;
}

std::u16string udb_profile::get_value(const std::u16string& section_name,
                                      const std::u16string& key) const {
    const auto s = m_sections.find(section_name);
    if (s == m_sections.end()) {
        return {};
    }
    const auto v = s->second.find(key);
    return v == s->second.end() ? std::u16string() : v->second;
}

void udb_profile::set_value(const std::u16string& section_name, const std::u16string& key,
                            const std::u16string& value) {
    m_sections[section_name].try_emplace(key, value);
}

const udb_profile::section* udb_profile::get_section(const std::u16string& section_name) const {
    const auto s = m_sections.find(section_name);
    return s == m_sections.end() ? nullptr : &s->second;
}
