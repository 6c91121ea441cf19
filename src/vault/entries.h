// build_entries_data: the reply data of a successful unlock, {"entries": [...]}.
#pragma once

#include "json/value.h"
#include "vault/payload.h"

namespace quarn::vault {

// {"entries": [{"id", "last_modified", "password", "title", "url", "username"}, ...]}, one object
// per entry in the payload's order. Consumes the payload: its texts are moved into the tree.
json::Value build_entries_data(VaultPayload&& payload);

}  // namespace quarn::vault
