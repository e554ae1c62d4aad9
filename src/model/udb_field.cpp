#include "udb_field.h"

#include "tk_log.h"

udb_field::udb_field() {
    tk_trace(1, "udb_field::empty ctor");
}

udb_field::udb_field(std::u16string name, int32_t size, const ole_variant& value)
    : ole_variant(value), m_size(size), m_name(std::move(name)) {
    tk_trace(1, "udb_field::ctor #2");
    tk_wtrace(1, u"name=%s, size=%d", m_name.c_str(), static_cast<int>(m_size));
}

udb_field::udb_field(std::u16string name, int32_t size, ole_variant&& value)
    : ole_variant(std::move(value)), m_size(size), m_name(std::move(name)) {
    tk_trace(1, "udb_field::ctor #2");
    tk_wtrace(1, u"name=%s, size=%d", m_name.c_str(), static_cast<int>(m_size));
}

udb_field::~udb_field() = default;

VARTYPE udb_field::get_type() const {
    return vartype();
}
