// Locating the state folder and reading last_vault.txt and session.json.
#include "desktop/state_files.h"

#include <limits>
#include <utility>

#include "base/utf8.h"
#include "desktop/unicode_space.h"
#include "json/parse.h"

namespace quarn::desktop {
namespace {

constexpr std::string_view kStateFolderName = ".quarn";
constexpr std::string_view kLastVaultFile = "last_vault.txt";
constexpr std::string_view kSessionFile = "session.json";

constexpr std::string_view kPort = "port";
constexpr std::string_view kToken = "token";
// The largest state file read; both hold a line or two. Anything larger, or anything that is not a
// regular file (a pipe, a device), is read as missing.
constexpr std::uint64_t kMaxStateFileSize = 64 * 1024;

// A session names each of these once; the value tree would otherwise keep the last one.
constexpr std::string_view kSessionMembers[] = {kPort, kToken};

// The text of a state file when it can be read whole and is UTF-8.
std::optional<std::string> read_utf8_file(System& system, std::string_view name) {
  auto bytes = system.read_file(system.join_path(state_dir(system), name), kMaxStateFileSize);
  if (!bytes) return std::nullopt;
  std::string text(text_of(bytes.value()));
  if (!is_valid_utf8(text)) return std::nullopt;
  return text;
}

// A port is an integer written without fraction or exponent: the parser holds those unsigned.
std::optional<std::uint16_t> port_of(const json::Value& v) {
  if (!v.is_number_unsigned()) return std::nullopt;
  const auto n = v.get<std::uint64_t>();
  if (n > std::numeric_limits<std::uint16_t>::max()) return std::nullopt;
  return static_cast<std::uint16_t>(n);
}

std::optional<SessionInfo> session_of(const json::Value* port, const json::Value* token) {
  if (port == nullptr || token == nullptr || !token->is_string()) return std::nullopt;
  const auto number = port_of(*port);
  if (!number) return std::nullopt;
  return SessionInfo{*number, token->get<std::string>()};
}

}  // namespace

std::string state_dir(System& system) {
  return system.join_path(system.profile_folder().value_or("."), kStateFolderName);
}

std::string read_last_vault_path(System& system) {
  const auto text = read_utf8_file(system, kLastVaultFile);
  if (!text) return "";
  return std::string(trim_unicode_space(*text));
}

std::optional<SessionInfo> parse_session_info(std::string_view text) {
  if (!is_valid_utf8(text)) return std::nullopt;
  const auto value = json::parse_strict(text, json::UniqueKeys{kSessionMembers});
  if (!value) return std::nullopt;
  if (value->is_array()) {
    const auto& elements = value->get_ref<const json::Value::array_t&>();
    if (elements.size() != 2) return std::nullopt;
    return session_of(&elements[0], &elements[1]);
  }
  if (!value->is_object()) return std::nullopt;
  const auto& members = value->get_ref<const json::Value::object_t&>();
  const auto member = [&members](std::string_view key) -> const json::Value* {
    const auto found = members.find(std::string(key));
    return found == members.end() ? nullptr : &found->second;
  };
  return session_of(member(kPort), member(kToken));
}

std::optional<SessionInfo> read_session_info(System& system) {
  const auto text = read_utf8_file(system, kSessionFile);
  if (!text) return std::nullopt;
  return parse_session_info(*text);
}

}  // namespace quarn::desktop
