#include "udb_validator.h"

#include <algorithm>

#include "tk_exception.h"
#include "tk_log.h"
#include "tk_text.h"

namespace {

// Five decimal digits with leading zeros, as "%05d" prints 0 to 99999.
void append_number5(std::u16string& out, int32_t n) {
    char16_t digits[5];
    for (int i = 4; i >= 0; --i) {
        digits[i] = static_cast<char16_t>(u'0' + n % 10);
        n /= 10;
    }
    out.append(digits, 5);
}

}  // namespace

udb_validator::udb_validator(int32_t max_length) : m_max_length(max_length) {
    tk_trace(2, "udb_validator::ctor");
}

udb_validator::~udb_validator() = default;

bool udb_validator::is_acceptable(const std::u16string& name) {
    tk_wtrace(1, u"udb_validator::is_acceptable(%s)", name.c_str());
    if (m_max_length > 0 && name.size() > static_cast<size_t>(m_max_length)) {
        tk_trace(1, "The name is too long");
        return false;
    }
    for (const std::u16string& reserved : m_reserved) {
        if (tk_equal_nocase(reserved, name)) {
            tk_trace(1, "The name is restricted");
            return false;
        }
    }
    for (char16_t c : m_forbidden) {
        if (name.find(c) != std::u16string::npos) {
            tk_wtrace(1, u"The name contains illegal: %c", static_cast<int>(c));
            return false;
        }
    }
    return true;
}

bool udb_validator::is_duplicated(const std::u16string& name) {
    tk_wtrace(1, u"udb_validator::is_duplicated(%s)", name.c_str());
    for (const std::u16string& used : m_in_use) {
        tk_wtrace(1, u"Processing %s", used.c_str());
        if (tk_equal_nocase(used, name)) {
            return true;
        }
    }
    return false;
}

std::u16string udb_validator::get_safe_name(const std::u16string& name) {
    tk_wtrace(1, u"udb_validator::get_safe_name(%s)", name.c_str());
    const int64_t limit = m_max_length;
    std::u16string result = name;
    if (limit > 0 && static_cast<int64_t>(result.size()) > limit) {
        result.resize(static_cast<size_t>(limit - 1));
    }
    for (char16_t& c : result) {
        if (std::find(m_forbidden.begin(), m_forbidden.end(), c) != m_forbidden.end()) {
            c = u'_';
        }
    }
    if (is_acceptable(result) && !is_duplicated(result)) {
        return result;
    }
    // Numbered candidates: leave room for the five digits within the limit.
    if (limit > 0 && static_cast<int64_t>(result.size()) > limit - 5) {
        result.resize(static_cast<size_t>(std::max<int64_t>(limit - 6, 0)));
    }
    const size_t stem = result.size();
    for (int32_t n = 0; n <= 99999; ++n) {
        result.resize(stem);
        append_number5(result, n);
        if (is_acceptable(result) && !is_duplicated(result)) {
            return result;
        }
    }
    TK_FAIL();
}

void udb_validator::add_mapped_pair(const std::u16string& source, const std::u16string& safe) {
    tk_wtrace(1, u"udb_validator::add_mapped_pair(%s,%s)", source.c_str(), safe.c_str());
    m_mapped.add(source, safe);
}
