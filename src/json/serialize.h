// to_compact_json: the one serialiser of JSON values to text.
#pragma once

#include <string>

#include "json/value.h"

namespace quarn::json {

// Compact JSON text: no white space, object keys in ascending byte order, only '"', '\\' and
// bytes below 0x20 escaped (all other bytes copied unchanged), integers in plain decimal, finite
// floats in their shortest round-trip form with a decimal point or an exponent, others as null.
std::string to_compact_json(const Value& value);

}  // namespace quarn::json
