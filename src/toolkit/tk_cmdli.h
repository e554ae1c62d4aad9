// tk_cmdli: the command-line parser of the console program.
//
// Walks the arguments after the program name, one at a time, and classifies each against an
// option table: the first entry whose prefix stands at the very start of the argument wins
// (case-sensitive, by prefix only, so "--dumpx" is taken as "--dump"), and the rest of the
// argument after the prefix is the option's value. The table ends with a sentinel entry whose
// prefix is empty; an argument that only the sentinel matches has the identifier -1 and is kept
// as unrecognised (the first max_unrecognised of them; later ones are only counted).
//
// The table is borrowed and must outlive the parser; so must the arguments. Advancing or reading
// the current value when no argument remains is an assertion failure. A plain object of the
// thread that parses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct tk_cmd_option {
    int32_t id;
    // The prefix the argument must start with; empty (or null) marks the sentinel.
    const char* prefix;
};

class tk_cmdli {
public:
    static constexpr size_t max_unrecognised = 20;
    static constexpr int32_t unrecognised_id = -1;

    // Classifies the first argument after the program name, when there is one.
    tk_cmdli(int argc, const char* const* argv, const tk_cmd_option* options);
    tk_cmdli(const tk_cmdli&) = delete;
    tk_cmdli& operator=(const tk_cmdli&) = delete;

    // True while unconsumed arguments remain.
    bool has_more() const { return m_left > 0; }
    // Consumes the current argument and classifies the next one, if any.
    void advance();

    // The identifier of the current argument's option, or -1 when it matched none.
    int32_t id() const { return m_id; }
    // The text of the current argument after the matched prefix.
    const std::string& value() const;
    int32_t unrecognised_count() const { return m_unrecognised_count; }
    // The unrecognised arguments kept, whole, in order.
    const std::vector<std::string>& unrecognised() const { return m_unrecognised; }

private:
    void classify();

    const tk_cmd_option* m_options;
    std::string m_value;
    int32_t m_id = unrecognised_id;
    int32_t m_unrecognised_count = 0;
    std::vector<std::string> m_unrecognised;
    const char* const* m_cursor;
    int m_left;
};
