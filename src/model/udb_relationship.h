// udb_relationship: one foreign key, from the child table's columns to the parent (referenced)
// table's columns.
//
// A plain copyable record. The dump reader fills it from the dump's metadata; the database keeps
// a list of them (udb_database::relationships) and the destinations create them. child_info and
// parent_info are free text that a source may fill; the MySQL writers never read them.
// child_fields and parent_fields have the same length and order.
#pragma once

#include <string>
#include <vector>

struct udb_relationship {
    std::u16string name;  // constraint name
    std::u16string child_info;
    std::u16string child_table;
    std::u16string parent_table;
    std::u16string parent_info;
    std::vector<std::u16string> child_fields;
    std::vector<std::u16string> parent_fields;
};
