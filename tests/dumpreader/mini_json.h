// A small strict JSON parser for tests that check a program's --json output: objects, arrays,
// strings (with \uXXXX escapes, surrogate pairs joined, kept as UTF-8), numbers, true, false,
// null. Trailing text or any syntax error makes parse() return false with a message. Values are
// plain trees; lookups of a missing member give a null value.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct mini_json {
    enum class kind { null, boolean, number, string, array, object };
    kind type = kind::null;
    bool b = false;
    double n = 0;
    std::string s;
    std::vector<mini_json> items;
    std::map<std::string, mini_json> members;

    const mini_json& operator[](const std::string& key) const {
        static const mini_json none;
        auto it = members.find(key);
        return it == members.end() ? none : it->second;
    }
    bool has(const std::string& key) const { return members.count(key) != 0; }

    // Parses the whole text into `out`; false (and `error`) on any fault.
    static bool parse(const std::string& text, mini_json& out, std::string& error) {
        size_t p = 0;
        if (!value(text, p, out, error, 0))
            return false;
        space(text, p);
        if (p != text.size()) {
            error = "trailing text at " + std::to_string(p);
            return false;
        }
        return true;
    }

private:
    static void space(const std::string& t, size_t& p) {
        while (p < t.size() && (t[p] == ' ' || t[p] == '\n' || t[p] == '\r' || t[p] == '\t')) ++p;
    }
    static bool fail(std::string& error, const char* what, size_t p) {
        error = std::string(what) + " at " + std::to_string(p);
        return false;
    }
    static void utf8(std::string& out, uint32_t c) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    static bool hex4(const std::string& t, size_t p, uint32_t& v) {
        if (p + 4 > t.size())
            return false;
        v = 0;
        for (size_t i = p; i < p + 4; ++i) {
            char c = t[i];
            v <<= 4;
            if (c >= '0' && c <= '9')
                v |= static_cast<uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f')
                v |= static_cast<uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                v |= static_cast<uint32_t>(c - 'A' + 10);
            else
                return false;
        }
        return true;
    }
    static bool string(const std::string& t, size_t& p, std::string& out, std::string& error) {
        if (t[p] != '"')
            return fail(error, "expected a string", p);
        ++p;
        while (p < t.size() && t[p] != '"') {
            unsigned char c = static_cast<unsigned char>(t[p]);
            if (c < 0x20)
                return fail(error, "control character in a string", p);
            if (c != '\\') {
                out += t[p++];
                continue;
            }
            if (++p >= t.size())
                break;
            char e = t[p++];
            switch (e) {
                case '"':
                    out += '"';
                    break;
                case '\\':
                    out += '\\';
                    break;
                case '/':
                    out += '/';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u': {
                    uint32_t v;
                    if (!hex4(t, p, v))
                        return fail(error, "bad \\u escape", p);
                    p += 4;
                    if (v >= 0xD800 && v < 0xDC00 && p + 6 <= t.size() && t[p] == '\\' &&
                        t[p + 1] == 'u') {
                        uint32_t lo;
                        if (hex4(t, p + 2, lo) && lo >= 0xDC00 && lo < 0xE000) {
                            v = 0x10000 + ((v - 0xD800) << 10) + (lo - 0xDC00);
                            p += 6;
                        }
                    }
                    utf8(out, v);
                    break;
                }
                default:
                    return fail(error, "bad escape", p);
            }
        }
        if (p >= t.size())
            return fail(error, "unterminated string", p);
        ++p;
        return true;
    }
    static bool value(const std::string& t, size_t& p, mini_json& out, std::string& error,
                      int depth) {
        if (depth > 64)
            return fail(error, "nested too deep", p);
        space(t, p);
        if (p >= t.size())
            return fail(error, "unexpected end", p);
        char c = t[p];
        if (c == '{') {
            out.type = kind::object;
            ++p;
            space(t, p);
            if (p < t.size() && t[p] == '}') {
                ++p;
                return true;
            }
            for (;;) {
                space(t, p);
                if (p >= t.size())
                    return fail(error, "unexpected end", p);
                std::string key;
                if (!string(t, p, key, error))
                    return false;
                space(t, p);
                if (p >= t.size() || t[p] != ':')
                    return fail(error, "expected ':'", p);
                ++p;
                mini_json v;
                if (!value(t, p, v, error, depth + 1))
                    return false;
                out.members[key] = std::move(v);
                space(t, p);
                if (p < t.size() && t[p] == ',') {
                    ++p;
                    continue;
                }
                if (p < t.size() && t[p] == '}') {
                    ++p;
                    return true;
                }
                return fail(error, "expected ',' or '}'", p);
            }
        }
        if (c == '[') {
            out.type = kind::array;
            ++p;
            space(t, p);
            if (p < t.size() && t[p] == ']') {
                ++p;
                return true;
            }
            for (;;) {
                mini_json v;
                if (!value(t, p, v, error, depth + 1))
                    return false;
                out.items.push_back(std::move(v));
                space(t, p);
                if (p < t.size() && t[p] == ',') {
                    ++p;
                    continue;
                }
                if (p < t.size() && t[p] == ']') {
                    ++p;
                    return true;
                }
                return fail(error, "expected ',' or ']'", p);
            }
        }
        if (c == '"') {
            out.type = kind::string;
            return string(t, p, out.s, error);
        }
        if (t.compare(p, 4, "true") == 0 || t.compare(p, 5, "false") == 0) {
            out.type = kind::boolean;
            out.b = t[p] == 't';
            p += out.b ? 4 : 5;
            return true;
        }
        if (t.compare(p, 4, "null") == 0) {
            p += 4;
            return true;
        }
        size_t start = p;
        if (p < t.size() && t[p] == '-')
            ++p;
        if (p >= t.size() || !(t[p] >= '0' && t[p] <= '9'))
            return fail(error, "bad value", start);
        while (p < t.size() && ((t[p] >= '0' && t[p] <= '9') || t[p] == '.' || t[p] == 'e' ||
                                t[p] == 'E' || t[p] == '+' || t[p] == '-'))
            ++p;
        out.type = kind::number;
        out.n = std::strtod(t.substr(start, p - start).c_str(), nullptr);
        return true;
    }
};
