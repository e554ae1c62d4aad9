// ole_type_exception: a value conversion that the value type does not support or that fails
// (out of range, text that is not a number or date).
//
// A tk_exception of level 1 with the text "The operating type is not supported yet". Thrown by
// value by ole_variant::change_type and ole_variant::from_string, caught by reference; a plain
// copyable value that may cross threads.
#pragma once

#include "tk_exception.h"

class ole_type_exception : public tk_exception {
public:
    ole_type_exception();
    ~ole_type_exception() override;
};
