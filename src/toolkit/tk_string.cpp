#include "tk_string.h"

#include "tk_log.h"

namespace {

template <class C>
std::basic_string<C> ltrim(std::basic_string_view<C> text) {
    size_t first = text.find_first_not_of(C(' '));
    return first == text.npos ? std::basic_string<C>() : std::basic_string<C>(text.substr(first));
}

template <class C>
std::basic_string<C> rtrim(std::basic_string_view<C> text) {
    size_t last = text.find_last_not_of(C(' '));
    return last == text.npos ? std::basic_string<C>()
                             : std::basic_string<C>(text.substr(0, last + 1));
}

}  // namespace

std::string tk_ltrim(std::string_view text) {
    return ltrim(text);
}

std::string tk_rtrim(std::string_view text) {
    return rtrim(text);
}

std::string tk_trim(std::string_view text) {
    size_t first = text.find_first_not_of(' ');
    if (first == text.npos)
        return {};
    size_t last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

std::u16string tk_ltrim(std::u16string_view text) {
    return ltrim(text);
}

std::u16string tk_rtrim(std::u16string_view text) {
    if (text.find_last_not_of(u' ') == text.npos) {
        tk_trace(1, "Special processing for all-spaces-string");
        return {};
    }
    return rtrim(text);
}

std::u16string tk_trim(std::u16string_view text) {
    return tk_ltrim(tk_rtrim(text));
}

bool tk_string::split(char separator, std::vector<std::string>& pieces) const {
    tk_trace(1, "tk_string::split(%c)", separator);
    pieces.clear();
    if (empty())
        return true;
    size_t start = 0;
    for (;;) {
        size_t end = find(separator, start);
        if (end == npos) {
            pieces.emplace_back(substr(start));
            break;
        }
        pieces.emplace_back(substr(start, end - start));
        start = end + 1;
    }
    return true;
}

tk_string tk_string::to_upper() {
    for (char& c : *this) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return *this;
}
