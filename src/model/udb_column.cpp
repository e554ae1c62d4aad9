#include "udb_column.h"

#include "tk_log.h"

udb_column::udb_column(int32_t size, std::u16string name, VARTYPE vartype, bool b_not_null,
                       bool b_auto, const ole_variant& default_value, int32_t flags)
    : m_size(size),
      m_name(std::move(name)),
      m_vartype(vartype),
      m_b_auto(b_auto),
      m_b_not_null(b_not_null),
      m_default_value(default_value),
      m_flags(flags) {
    tk_wtrace(2, u"Got field '%s', vartype=%d, size=%d, b_not_null=%d", m_name.c_str(),
              static_cast<int>(m_vartype), static_cast<int>(m_size), m_b_not_null ? 1 : 0);
}

udb_column::udb_column(const udb_column& other) = default;
udb_column& udb_column::operator=(const udb_column& other) = default;
udb_column::~udb_column() = default;

void udb_column::set_default_value(const ole_variant& value) {
    m_default_value = value;
}
