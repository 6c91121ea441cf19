// Vault entries from JSON text, and synthetic entries.
#include "vault_writer/entries_json.h"

#include <nlohmann/json.hpp>

namespace quarn::vault_writer {

Result<std::vector<Entry>, std::string> parse_entries_json(std::string_view text) {
  nlohmann::json doc;
  try {
    doc = nlohmann::json::parse(text);
  } catch (const nlohmann::json::exception& e) {
    return fail(std::string("entries JSON: ") + e.what());
  }
  if (!doc.is_array()) return fail(std::string("entries JSON: expected an array of objects"));

  std::vector<Entry> entries;
  for (std::size_t i = 0; i < doc.size(); ++i) {
    const auto& item = doc[i];
    const std::string where = "entry " + std::to_string(i) + ": ";
    if (!item.is_object()) return fail(where + "expected an object");
    Entry entry;
    bool has_key = false;
    for (const auto& [name, value] : item.items()) {
      std::string* field = name == "key"        ? &entry.key
                           : name == "id"       ? &entry.id
                           : name == "title"    ? &entry.title
                           : name == "username" ? &entry.username
                           : name == "password" ? &entry.password
                           : name == "url"      ? &entry.url
                                                : nullptr;
      if (field != nullptr) {
        if (!value.is_string()) return fail(where + "\"" + name + "\" must be a string");
        *field = value.get<std::string>();
        has_key = has_key || name == "key";
      } else if (name == "last_modified") {
        if (!value.is_number_unsigned()) {
          return fail(where + "\"last_modified\" must be an unsigned integer");
        }
        entry.last_modified = value.get<std::uint64_t>();
      } else {
        return fail(where + "unknown member \"" + name + "\"");
      }
    }
    if (!has_key) entry.key = entry.id;
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::vector<Entry> synthetic_entries(std::size_t count) {
  std::vector<Entry> entries;
  entries.reserve(count);
  for (std::size_t i = 1; i <= count; ++i) {
    const std::string n = std::to_string(i);
    Entry e;
    e.id = "entry-" + n;
    e.key = e.id;
    e.title = "Compte " + n;
    e.username = "user" + n + "@example.com";
    e.password = "mot-de-passe-" + n + "-\xc3\xa9t\xc3\xa9";
    e.url = "https://site" + n + ".example.com/login";
    e.last_modified = 1700000000000 + i;
    entries.push_back(std::move(e));
  }
  return entries;
}

}  // namespace quarn::vault_writer
