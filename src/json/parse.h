// The strict JSON grammar shared by requests, the session file and the live-session answer.
#pragma once

#include <optional>
#include <string_view>

#include "json/sax_strict.h"
#include "json/value.h"

namespace quarn::json {

// Parses one JSON text (RFC 8259, UTF-8, no byte-order mark, JSON white space around the value,
// arrays and objects nested at most kMaxDepth deep, nothing after the value). The last of a
// repeated key wins. Returns nothing on any failure.
std::optional<Value> parse_strict(std::string_view text);

}  // namespace quarn::json
