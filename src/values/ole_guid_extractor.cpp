#include "ole_guid_extractor.h"

#include "tk_log.h"

namespace {
// A GUID in braces: "{" + 8 + "-" + 4 + "-" + 4 + "-" + 4 + "-" + 12 digits + "}".
constexpr size_t braced_guid_tail = 37;
// Shorter texts cannot hold the word, the gap after it and a braced GUID.
constexpr size_t min_text_length = 45;

int32_t position_of(size_t pos) {
    return pos == std::u16string::npos ? -1 : static_cast<int32_t>(pos);
}
}  // namespace

ole_guid_extractor::ole_guid_extractor(std::u16string_view text) : m_text(text) {
    tk_wtrace(1, u"ole_guid_extractor::ctor(%s)", m_text.c_str());
    if (m_text.size() < min_text_length)
        return;
    size_t lower = m_text.find(u"guid");
    size_t upper = lower == std::u16string::npos ? m_text.find(u"GUID") : std::u16string::npos;
    tk_trace(1, "Locating 'guid' (%d : %d)", position_of(lower), position_of(upper));
    size_t word = lower != std::u16string::npos ? lower : upper;
    if (word == std::u16string::npos)
        return;
    size_t brace = m_text.find(u'{', word + 4);
    if (brace == std::u16string::npos)
        return;
    m_position = static_cast<int32_t>(brace);
    m_b_found = true;
}

std::u16string ole_guid_extractor::get_guid() const {
    if (!m_b_found)
        return {};
    const size_t p = static_cast<size_t>(m_position);
    // A '{' too close to the end cannot start a GUID; the digits would run past the text.
    if (m_text.size() - p < braced_guid_tail)
        return {};
    std::u16string guid;
    guid.reserve(32);
    guid.append(m_text, p + 1, 8);
    guid.append(m_text, p + 10, 4);
    guid.append(m_text, p + 15, 4);
    guid.append(m_text, p + 20, 4);
    guid.append(m_text, p + 25, 12);
    return guid;
}
