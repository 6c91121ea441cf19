// Vault entries from JSON text, and synthetic entries for large test vaults.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "vault_writer/payload.h"

namespace quarn::vault_writer {

// Parses [{"key": .., "id": .., "title": .., "username": .., "password": .., "url": ..,
// "last_modified": N}, ...]. Every member is optional: texts default to "", last_modified to 0,
// and key to the entry's id. Unknown members and wrong types are errors (English text).
Result<std::vector<Entry>, std::string> parse_entries_json(std::string_view text);

// `count` distinct entries with plausible fields, numbered from 1.
std::vector<Entry> synthetic_entries(std::size_t count);

}  // namespace quarn::vault_writer
