// The JSON value of the host: requests, replies, the session file and the live-session answer.
#pragma once

#include <nlohmann/json.hpp>

namespace quarn::json {

// nlohmann's default value: objects are std::map (ascending byte order of keys, each key once),
// numbers are uint64 (non-negative integers), int64 (negative integers) or double (the rest,
// -0 included). Storing a key that is present replaces its value.
using Value = nlohmann::json;

}  // namespace quarn::json
