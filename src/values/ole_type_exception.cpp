#include "ole_type_exception.h"

ole_type_exception::ole_type_exception()
    : tk_exception("The operating type is not supported yet", 1) {}

ole_type_exception::~ole_type_exception() = default;
