// The entry objects of the unlock reply, built by moving the payload's texts into the JSON tree.
#include "vault/entries.h"

#include <utility>
#include <vector>

namespace quarn::vault {
namespace {

json::Value entry_object(VaultEntry&& entry) {
  json::Value::object_t members;
  members.emplace("id", std::move(entry.id));
  members.emplace("last_modified", entry.last_modified);
  members.emplace("password", std::move(entry.password));
  members.emplace("title", std::move(entry.title));
  members.emplace("url", std::move(entry.url));
  members.emplace("username", std::move(entry.username));
  return json::Value(std::move(members));
}

}  // namespace

json::Value build_entries_data(VaultPayload&& payload) {
  // Taken over here, so the records are released as soon as the array is complete.
  std::vector<VaultEntry> records = std::move(payload.entries);
  json::Value::array_t entries;
  entries.reserve(records.size());
  for (VaultEntry& record : records) entries.push_back(entry_object(std::move(record)));
  json::Value data = json::Value::object();
  data["entries"] = json::Value(std::move(entries));
  return data;
}

}  // namespace quarn::vault
