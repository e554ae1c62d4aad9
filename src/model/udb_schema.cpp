#include "udb_schema.h"

#include <utility>

#include "tk_exception.h"
#include "tk_log.h"
#include "tk_text.h"

udb_schema::udb_schema(bool b_owner) : m_b_owner(b_owner) {}

udb_schema::udb_schema(udb_schema&& other) noexcept
    : m_columns(std::move(other.m_columns)), m_b_owner(other.m_b_owner) {
    other.m_columns.clear();
}

udb_schema& udb_schema::operator=(udb_schema&& other) noexcept {
    if (this != &other) {
        release();
        m_columns = std::move(other.m_columns);
        m_b_owner = other.m_b_owner;
        other.m_columns.clear();
    }
    return *this;
}

udb_schema::~udb_schema() {
    release();
}

void udb_schema::release() noexcept {
    if (m_b_owner) {
        for (udb_column* column : m_columns) {
            delete column;
        }
    }
    m_columns.clear();
}

void udb_schema::add(std::unique_ptr<udb_column> column) {
    TK_ASSERT(m_b_owner && column != nullptr);
    // Reserve first so that push_back cannot throw after the column left the unique_ptr.
    m_columns.reserve(m_columns.size() + 1);
    m_columns.push_back(column.release());
}

void udb_schema::add_borrowed(udb_column& column) {
    TK_ASSERT(!m_b_owner);
    m_columns.push_back(&column);
}

void udb_schema::clear() {
    release();
}

bool udb_schema::find_field(const std::u16string& name) const {
    tk_wtrace(1, u"udb_schema::find_field(%s)", name.c_str());
    for (const udb_column* column : m_columns) {
        tk_wtrace(1, u"Processing %s", column->name().c_str());
        if (tk_equal_nocase(column->name(), name)) {
            return true;
        }
    }
    return false;
}

const udb_column* udb_schema::find_column(const std::u16string& name) const {
    for (const udb_column* column : m_columns) {
        if (tk_equal_nocase(column->name(), name)) {
            return column;
        }
    }
    return nullptr;
}

const udb_column* udb_schema::lookup(const std::u16string& name) const {
    const udb_column* column = find_column(name);
    TK_ASSERT(column != nullptr);
    return column;
}

udb_column& udb_schema::get_field(const std::u16string& name) {
    return const_cast<udb_column&>(*lookup(name));
}

const udb_column& udb_schema::get_field(const std::u16string& name) const {
    return *lookup(name);
}

int32_t udb_schema::get_field_size(const std::u16string& name) const {
    tk_wtrace(1, u"udb_schema::get_field_size(%s)", name.c_str());
    return lookup(name)->size();
}

VARTYPE udb_schema::get_field_type(const std::u16string& name) const {
    tk_wtrace(1, u"udb_schema::get_field_type(%s)", name.c_str());
    return lookup(name)->vartype();
}

bool udb_schema::is_field_auto(const std::u16string& name) const {
    tk_wtrace(1, u"udb_schema::is_field_auto(%s)", name.c_str());
    return lookup(name)->b_auto();
}
