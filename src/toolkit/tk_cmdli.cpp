#include "tk_cmdli.h"

#include <cstring>

#include "tk_exception.h"

tk_cmdli::tk_cmdli(int argc, const char* const* argv, const tk_cmd_option* options)
    : m_options(options), m_cursor(argv != nullptr ? argv + 1 : nullptr),
      m_left(argc > 1 && argv != nullptr ? argc - 1 : 0) {
    TK_ASSERT(options != nullptr);
    if (m_left > 0) classify();
}

void tk_cmdli::advance() {
    TK_ASSERT(m_left > 0);
    ++m_cursor;
    --m_left;
    m_value.clear();
    m_id = unrecognised_id;
    if (m_left > 0) classify();
}

const std::string& tk_cmdli::value() const {
    TK_ASSERT(m_left > 0);
    return m_value;
}

void tk_cmdli::classify() {
    const char* argument = *m_cursor != nullptr ? *m_cursor : "";
    for (const tk_cmd_option* option = m_options;; ++option) {
        const char* prefix = option->prefix != nullptr ? option->prefix : "";
        const size_t length = std::strlen(prefix);
        if (length == 0) {
            // Only the sentinel matched.
            m_id = unrecognised_id;
            m_value.clear();
            if (m_unrecognised.size() < max_unrecognised) m_unrecognised.emplace_back(argument);
            ++m_unrecognised_count;
            return;
        }
        if (std::strncmp(argument, prefix, length) == 0) {
            m_id = option->id;
            m_value.assign(argument + length);
            return;
        }
    }
}
