#include "t_names_map.h"

#include "tk_log.h"
#include "tk_text.h"

void t_names_map::add(const std::u16string& source, const std::u16string& destination) {
    tk_wtrace(1, u"t_names_map::add(%s,%s)", source.c_str(), destination.c_str());
    m_pairs.try_emplace(source, destination);
}

std::u16string t_names_map::get_mapped_name(const std::u16string& name, bool exact) const {
    tk_wtrace(1, u"t_names_map::get_mapped_name(%s)", name.c_str());
    if (exact) {
        // Source names are unique keys, so the exact scan's first match is the key itself.
        const auto it = m_pairs.find(name);
        if (it != m_pairs.end()) {
            tk_wtrace(1, u"Got mapped name: %s", it->second.c_str());
            return it->second;
        }
        return name;
    }
    for (const auto& [source, destination] : m_pairs) {
        if (tk_equal_nocase(source, name)) {
            tk_wtrace(1, u"Got mapped name: %s", destination.c_str());
            return destination;
        }
    }
    return name;
}
