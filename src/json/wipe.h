// Overwriting the texts of a JSON value that may hold secrets, as the value is released.
#pragma once

#include "json/value.h"

namespace quarn::json {

// Overwrites with zeros every string of `value` (object keys excepted) and releases the value's
// memory in the same walk; `value` is null afterwards.
void wipe_and_release(Value& value);

}  // namespace quarn::json
