#include "tk_error_converter.h"

#include "tk_exception.h"
#include "tk_log.h"

tk_error_converter::tk_error_converter(int32_t count, const tk_error_pair* pairs) {
    tk_trace(2, "tk_error_converter::ctor (map size=%d)", count);
    load_map(count, pairs);
}

void tk_error_converter::load_map(int32_t count, const tk_error_pair* pairs) {
    tk_trace(2, "tk_error_converter::load_map (map size=%d)", count);
    TK_ASSERT(pairs != nullptr);
    for (int32_t i = 0; i < count; ++i) {
        m_map.emplace(pairs[i].code, pairs[i].text ? pairs[i].text : "");
    }
}

std::string tk_error_converter::convert(int32_t code) const {
    tk_trace(2, "tk_error_converter::convert(%d)", code);
    auto it = m_map.find(code);
    if (it != m_map.end()) {
        tk_trace(1, "Error message has been found: %s", it->second.c_str());
        return it->second;
    }
    tk_trace(1, "Error message not found!");
    return {};
}
