// The strict JSON grammar shared by requests, the session file and the live-session answer.
#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "json/sax_strict.h"
#include "json/value.h"

namespace quarn::json {

// Keys of the outermost object that may appear there only once: a repeat fails the parse instead
// of replacing the earlier value. Every other repeated key keeps its last value.
struct UniqueKeys {
  std::span<const std::string_view> top_level;
};

// Parses one JSON text (RFC 8259, UTF-8, no byte-order mark, JSON white space around the value,
// arrays and objects nested at most kMaxDepth deep, nothing after the value). The last of a
// repeated key wins, except for `unique` keys. Returns nothing on any failure.
std::optional<Value> parse_strict(std::string_view text, UniqueKeys unique = {});

}  // namespace quarn::json
