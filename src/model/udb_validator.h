// udb_validator: the generic name validator, from which the MySQL validators derive.
//
// It decides whether a table, column or index name is acceptable at the destination and makes a
// safe name when it is not. Its rules: a maximum length (0: no limit), forbidden characters,
// reserved names (refused outright, compared ignoring case) and the names in use (a safe name must
// not repeat one, compared ignoring case). The derived classes fill the lists in their
// constructors; callers add to them as they go (a replaced name goes into the names in use, every
// name finally used into the reserved names) so that no two columns end with the same name.
//
// get_safe_name: a name longer than the limit L is cut to L - 1 characters and forbidden
// characters become "_"; when that is still refused or in use, the name (cut to L - 6 characters
// when it is longer than L - 5) gets five digits 00000, 00001, ... up to 99999; running out is an
// assertion failure (tk_mail_assertion).
//
// Owned by whoever builds it (a table creator holds one per table); not shared between threads.
// Not copyable.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "t_names_map.h"

class udb_validator {
public:
    // Trace "udb_validator::ctor" at level 2.
    explicit udb_validator(int32_t max_length);
    udb_validator(const udb_validator&) = delete;
    udb_validator& operator=(const udb_validator&) = delete;
    virtual ~udb_validator();

    // True unless the name is too long, reserved or holds a forbidden character. Traces
    // "udb_validator::is_acceptable(%s)" and the reason of a refusal (level 1).
    virtual bool is_acceptable(const std::u16string& name);
    // True when the name is among the names in use. Traces "udb_validator::is_duplicated(%s)" and
    // "Processing %s" per name (level 1).
    virtual bool is_duplicated(const std::u16string& name);
    // A name that is acceptable and not in use. Trace "udb_validator::get_safe_name(%s)" (level 1).
    virtual std::u16string get_safe_name(const std::u16string& name);

    // Remembers source -> safe name. Trace "udb_validator::add_mapped_pair(%s,%s)" (level 1).
    void add_mapped_pair(const std::u16string& source, const std::u16string& safe);
    void add_forbidden_char(char16_t c) { m_forbidden.push_back(c); }
    void add_reserved_name(std::u16string name) { m_reserved.push_back(std::move(name)); }
    void add_name_in_use(std::u16string name) { m_in_use.push_back(std::move(name)); }

    int32_t max_length() const { return m_max_length; }
    const t_names_map& mapped_pairs() const { return m_mapped; }
    const std::vector<char16_t>& forbidden_chars() const { return m_forbidden; }
    const std::vector<std::u16string>& reserved_names() const { return m_reserved; }
    const std::vector<std::u16string>& names_in_use() const { return m_in_use; }

private:
    int32_t m_max_length;
    t_names_map m_mapped;
    std::vector<char16_t> m_forbidden;
    std::vector<std::u16string> m_reserved;
    std::vector<std::u16string> m_in_use;
};
