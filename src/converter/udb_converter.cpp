#include "udb_converter.h"

#include "tk_log.h"
#include "udb_profile.h"

namespace {
constexpr const char16_t* k_src = u"src";
constexpr const char16_t* k_dest = u"dest";
constexpr const char16_t* k_mode = u"mode";
constexpr const char16_t* k_only_definitions = u"only definitions";
constexpr const char16_t* k_skip_indexes = u"skip indexes";
}  // namespace

udb_converter::udb_converter() = default;

udb_converter::~udb_converter() = default;

void udb_converter::set_mode(int32_t mode) {
    tk_trace(1, "udb_converter::set_mode(%d)", mode);
    m_mode = mode;
}

std::u16string udb_converter::current_table() const {
    std::lock_guard<std::mutex> lock(m_current_mutex);
    return m_current_table;
}

void udb_converter::set_current_table(std::u16string name) {
    std::lock_guard<std::mutex> lock(m_current_mutex);
    m_current_table = std::move(name);
}

bool udb_converter::load_profile(const udb_profile& profile) {
    tk_trace(2, "udb_converter::load_profile");
    if (const udb_profile::section* tables = profile.get_section(udb_profile::selected_tables)) {
        for (const auto& [name, text] : *tables) {
            m_selected_queries.emplace(name, text);
            if (text.empty()) {
                tk_wtrace(2, u"Push back table '%s'", name.c_str());
                m_selected_tables.push_back(name);
            }
        }
    }
    if (const udb_profile::section* queries = profile.get_section(udb_profile::available_queries)) {
        for (const auto& [name, text] : *queries) m_available_queries.emplace(name, text);
    }
    const std::u16string src = profile.get_value(udb_profile::generic_settings, k_src);
    if (!src.empty()) set_source_path(src);
    const std::u16string dest = profile.get_value(udb_profile::generic_settings, k_dest);
    if (!dest.empty()) set_dest_name(dest);
    const std::u16string only = profile.get_value(udb_profile::generic_settings, k_only_definitions);
    if (!only.empty()) m_tab_def = only != u"0";
    const std::u16string mode = profile.get_value(udb_profile::generic_settings, k_mode);
    if (mode.size() == 1) m_mode = static_cast<int32_t>(mode[0]) - static_cast<int32_t>(u'0');
    const std::u16string skip = profile.get_value(udb_profile::generic_settings, k_skip_indexes);
    if (!skip.empty()) m_skip_idx = skip != u"0";
    return true;
}

bool udb_converter::store_profile(udb_profile& profile) const {
    tk_trace(2, "udb_converter::store_profile");
    for (const auto& [name, text] : m_available_queries) {
        tk_wtrace(2, u"Available Query: (%s,%s)", name.c_str(), text.c_str());
        profile.set_value(udb_profile::available_queries, name, text);
    }
    for (const auto& [name, text] : m_selected_queries) {
        tk_wtrace(2, u"Selected Query: (%s,%s)", name.c_str(), text.c_str());
        profile.set_value(udb_profile::selected_tables, name, text);
    }
    profile.set_value(udb_profile::generic_settings, k_src, source_path());
    profile.set_value(udb_profile::generic_settings, k_dest, dest_name());
    profile.set_value(udb_profile::generic_settings, k_skip_indexes, m_skip_idx ? u"1" : u"0");
    profile.set_value(udb_profile::generic_settings, k_only_definitions, m_tab_def ? u"1" : u"0");
    std::u16string mode(1, static_cast<char16_t>(u'0' + m_mode));
    profile.set_value(udb_profile::generic_settings, k_mode, mode);
    return true;
}
