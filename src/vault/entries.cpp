// The entry objects of the unlock reply, built by moving the payload's texts into the JSON tree.
#include "vault/entries.h"

#include <utility>
#include <vector>

#include "base/wipe.h"

namespace quarn::vault {
namespace {

json::Value entry_object(VaultEntry&& entry) {
  // Members in ascending key order, each placed at the end without a search.
  json::Value::object_t members;
  const auto add = [&members](const char* key, json::Value value) {
    members.emplace_hint(members.end(), key, std::move(value));
  };
  add("id", std::move(entry.id));
  add("last_modified", entry.last_modified);
  add("password", std::move(entry.password));
  add("title", std::move(entry.title));
  add("url", std::move(entry.url));
  add("username", std::move(entry.username));
  return json::Value(std::move(members));
}

}  // namespace

json::Value build_entries_data(VaultPayload&& payload) {
  // Taken over here, so the records are released as soon as the array is complete.
  std::vector<VaultEntry> records = std::move(payload.entries);
  json::Value::array_t entries;
  entries.reserve(records.size());
  for (VaultEntry& record : records) {
    entries.push_back(entry_object(std::move(record)));
    // A moved short text stays where it was; the password among them must not.
    for (std::string* text :
         {&record.id, &record.title, &record.username, &record.password, &record.url}) {
      wipe_and_release(*text);
    }
  }
  json::Value data = json::Value::object();
  data["entries"] = json::Value(std::move(entries));
  return data;
}

}  // namespace quarn::vault
