// to_compact_json: the one serialiser of JSON values to text.
#pragma once

#include <cstddef>
#include <string>

#include "json/value.h"

namespace quarn::json {

// Compact JSON text: no white space, object keys in ascending byte order, only '"', '\\' and
// bytes below 0x20 escaped (all other bytes copied unchanged), integers in plain decimal, finite
// floats in their shortest round-trip form with a decimal point or an exponent, others as null.
std::string to_compact_json(const Value& value);

// The length in bytes of to_compact_json(value), found without writing the text.
std::size_t compact_json_size(const Value& value);

// to_compact_json(value) when its length is known already (compact_json_size).
std::string to_compact_json(const Value& value, std::size_t size);

}  // namespace quarn::json
