// t_names_map: pairs of source name -> destination name.
//
// The pairs are kept sorted by the source name's code units; a second add() of the same source
// name keeps the first pair. Lookups scan in that order and compare either exactly (code unit for
// code unit) or ignoring case (tk_equal_nocase); a name that is not mapped maps to itself. The
// MySQL writers look table names up inexactly and column names exactly.
//
// A plain copyable value; not shared between threads.
#pragma once

#include <cstddef>
#include <map>
#include <string>

class t_names_map {
public:
    using pairs = std::map<std::u16string, std::u16string>;

    // Trace "t_names_map::add(%s,%s)" at level 1.
    void add(const std::u16string& source, const std::u16string& destination);
    // The destination name of the first pair whose source matches, else the name itself. Traces
    // "t_names_map::get_mapped_name(%s)" and, on a match, "Got mapped name: %s" (level 1).
    std::u16string get_mapped_name(const std::u16string& name, bool exact) const;

    size_t size() const { return m_pairs.size(); }
    bool empty() const { return m_pairs.empty(); }
    const pairs& items() const { return m_pairs; }
    pairs::const_iterator begin() const { return m_pairs.begin(); }
    pairs::const_iterator end() const { return m_pairs.end(); }

private:
    pairs m_pairs;
};
