// Shortest round-trip decimal text of a double, in the two layouts the host writes.
#pragma once

#include <string>

namespace quarn::json {

// As the serialiser writes a finite number: plain notation for decimal exponents from -5 to 16,
// exponent notation beyond, always with a decimal point or an exponent ("1.5", "100.0", "1e16",
// "1.5e-7", "-0.0").
std::string format_float_json(double value);

// Plain decimal notation, never an exponent, always with a decimal point ("1.5", "100.0",
// "10000000000000000.0", "0.00000015"); used when describing a value in a message.
std::string format_float_plain(double value);

}  // namespace quarn::json
