#include "udb_record.h"

#include "tk_exception.h"
#include "tk_log.h"
#include "tk_text.h"

udb_record::udb_record() = default;
udb_record::~udb_record() = default;

void udb_record::add(std::unique_ptr<udb_field> field) {
    TK_ASSERT(field != nullptr);
    m_fields.push_back(std::move(field));
}

bool udb_record::find_field(const std::u16string& name) const {
    tk_wtrace(1, u"udb_record::find_field(%s)", name.c_str());
    for (const auto& field : m_fields) {
        tk_wtrace(1, u"Processing %s", field->name().c_str());
        if (tk_equal_nocase(field->name(), name)) {
            return true;
        }
    }
    return false;
}

udb_field* udb_record::get_field(const std::u16string& name) {
    for (const auto& field : m_fields) {
        if (tk_equal_nocase(field->name(), name)) {
            return field.get();
        }
    }
    return nullptr;
}

const udb_field* udb_record::get_field(const std::u16string& name) const {
    return const_cast<udb_record*>(this)->get_field(name);
}
