#include "dates_map.h"

#include "ole_date.h"
#include "ole_variant.h"
#include "tk_log.h"
#include "udb_record.h"
#include "udb_schema.h"

dates_map::dates_map(std::u16string table, const udb_schema& schema, bool only_dates)
    : types_map(std::move(table)) {
    tk_trace(2, "dates_map::ctor(size=%d)", static_cast<int>(schema.size()));
    for (size_t i = 0; i < schema.size(); ++i) {
        const udb_column& column = schema[i];
        tk_trace(1, "Field #%d has type %d", static_cast<int>(i), column.vartype());
        const bool is_date = column.vartype() == VT_DATE;
        if (only_dates && !is_date) {
            tk_trace(1, "Field #%d has not a date type", static_cast<int>(i));
            continue;
        }
        tk_trace(1, "Add map entry for field #%d", static_cast<int>(i));
        entry e;
        e.column = static_cast<int32_t>(i);
        e.name = column.name();
        e.kind = kind_char19;
        e.current_kind = is_date ? kind_datetime : kind_char19;
        e.seen = false;
        add(std::move(e));
    }
}

int32_t dates_map::kind_of_text(const std::u16string& text) {
    const int32_t kind = ole_date(std::u16string_view(text)).date_kind();
    return kind >= ole_date::kind_date_time && kind <= ole_date::kind_time ? kind : 0;
}

void dates_map::add_rec_stat(const udb_record& record) {
    tk_trace(1, "dates_map::add_rec_stat(map size=%d)", static_cast<int>(size()));
    std::vector<entry>& list = mutable_entries();
    for (size_t position = 0; position < list.size(); ++position) {
        entry& e = list[position];
        tk_trace(1, "Process %d item, n_field=%d", static_cast<int>(position), e.column);
        if (static_cast<size_t>(e.column) >= record.size()) continue;
        const udb_field& field = record[static_cast<size_t>(e.column)];
        if (field.is_empty()) continue;

        int32_t k = 0;
        if (field.vartype() == VT_DATE) {
            // The text form of a date value is ole_date's own print of its calendar record, so
            // its kind is the record's: no text needs to be made per row.
            // A calendar record that is no valid date prints a text of its own: judge that.
            const ole_date date(field.systemtime());
            if (date.is_valid()) {
                const int32_t kind = date.date_kind();
                k = kind >= ole_date::kind_date_time && kind <= ole_date::kind_time ? kind : 0;
                if (tk_log::wants(1)) {
                    tk_wtrace(1, u"Got string representation: '%s'", field.to_wstring().c_str());
                }
            } else {
                const std::u16string text = field.to_wstring();
                tk_wtrace(1, u"Got string representation: '%s'", text.c_str());
                k = kind_of_text(text);
            }
        } else {
            const std::u16string text = field.to_wstring();
            tk_wtrace(1, u"Got string representation: '%s'", text.c_str());
            if (text.empty()) continue;
            k = kind_of_text(text);
        }

        if (!e.seen) {
            if (k == kind_datetime) {
                tk_trace(1, "got datetime");
                e.kind = kind_datetime;
            } else if (k == kind_date) {
                tk_trace(1, "got date");
                e.kind = kind_date;
            } else if (k == kind_time) {
                tk_trace(1, "got time");
                e.kind = kind_time;
            }
            e.seen = true;
            continue;
        }
        if (e.kind == kind_char19) {
            tk_trace(1, "skip mapping CHAR(19)");
            continue;
        }
        if ((e.kind == kind_datetime && k == kind_time) || (e.kind == kind_date && k == kind_time) ||
            (e.kind == kind_time && k != kind_time)) {
            tk_trace(1, "switch to char(19)");
            e.kind = kind_char19;
        }
        if (e.kind == kind_date && k == kind_datetime) {
            tk_trace(1, "switch to datetime");
            e.kind = kind_datetime;
        }
    }
    tk_trace(1, "End of dates_map::add_rec_stat");
}
