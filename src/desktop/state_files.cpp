// Locating the state folder and reading last_vault.txt and session.json.
#include "desktop/state_files.h"

#include <limits>
#include <utility>

#include "desktop/unicode_space.h"
#include "json/sax_strict.h"
#include "json/utf8.h"
#include "platform/files.h"
#include "platform/home.h"

namespace quarn::desktop {
namespace {

inline constexpr std::string_view kStateFolderName = ".quarn";
inline constexpr std::string_view kLastVaultFile = "last_vault.txt";
inline constexpr std::string_view kSessionFile = "session.json";

// The bytes of a file when it can be read whole and is UTF-8.
std::optional<std::string> read_utf8_file(const std::string& path) {
  auto bytes = platform::read_whole_file(path);
  if (!bytes || !json::is_valid_utf8(bytes.value())) return std::nullopt;
  return std::move(bytes).value();
}

// Builds a SessionInfo straight from the parse events, so that a member given twice is caught
// (a value tree would keep only the last one). Returning false ends the parse as a failure.
class SessionReader {
 public:
  bool null() { return scalar(Kind::kOther); }
  bool boolean(bool) { return scalar(Kind::kOther); }
  bool number_unsigned(std::uint64_t v) {
    if (v > std::numeric_limits<std::uint16_t>::max()) return scalar(Kind::kOther);
    port_value_ = static_cast<std::uint16_t>(v);
    return scalar(Kind::kPort);
  }
  bool number_integer(std::int64_t) { return scalar(Kind::kOther); }
  bool number_float(double) { return scalar(Kind::kOther); }
  bool string(std::string& s) {
    string_value_ = &s;
    return scalar(Kind::kToken);
  }
  bool start_object() { return open(Form::kObject); }
  bool start_array() { return open(Form::kArray); }
  bool key(std::string& k) {
    if (depth_ > 1) return true;  // inside a skipped member
    if (k == "port") {
      if (std::exchange(seen_port_, true)) return false;
      slot_ = Slot::kPort;
    } else if (k == "token") {
      if (std::exchange(seen_token_, true)) return false;
      slot_ = Slot::kToken;
    } else {
      slot_ = Slot::kSkip;
    }
    return true;
  }
  bool end_object() { return close(); }
  bool end_array() { return close(); }

  // The session, once the parse has accepted the whole text.
  std::optional<SessionInfo> take() {
    if (!complete_) return std::nullopt;
    return std::move(info_);
  }

 private:
  enum class Form { kNone, kObject, kArray };
  enum class Slot { kPort, kToken, kSkip };
  enum class Kind { kPort, kToken, kOther };

  // The slot that the next value at the top level of the container fills.
  Slot next_slot() const {
    if (form_ == Form::kObject) return slot_;
    return elements_ == 0 ? Slot::kPort : Slot::kToken;
  }

  bool scalar(Kind kind) {
    if (depth_ == 0) return false;  // a bare value is not a session
    if (depth_ > 1) return true;    // inside a skipped member
    if (form_ == Form::kArray && elements_ >= 2) return false;
    switch (next_slot()) {
      case Slot::kSkip:
        break;
      case Slot::kPort:
        if (kind != Kind::kPort) return false;
        info_.port = port_value_;
        break;
      case Slot::kToken:
        if (kind != Kind::kToken) return false;
        info_.token = std::move(*string_value_);
        break;
    }
    ++elements_;
    return true;
  }

  bool open(Form form) {
    if (depth_ == 0) {
      form_ = form;
    } else if (depth_ == 1) {
      // A container is only ever a skipped member's value.
      if (form_ == Form::kArray || next_slot() != Slot::kSkip) return false;
      ++elements_;
    }
    ++depth_;
    return true;
  }

  bool close() {
    if (--depth_ > 0) return true;
    complete_ = form_ == Form::kObject ? (seen_port_ && seen_token_) : elements_ == 2;
    return complete_;
  }

  Form form_ = Form::kNone;
  int depth_ = 0;
  std::size_t elements_ = 0;  // values at the top level of the container
  Slot slot_ = Slot::kSkip;
  bool seen_port_ = false;
  bool seen_token_ = false;
  bool complete_ = false;
  std::uint16_t port_value_ = 0;
  std::string* string_value_ = nullptr;
  SessionInfo info_;
};

}  // namespace

std::string join_path(std::string_view left, std::string_view right) {
  std::string path(left);
  if (!path.empty() && path.back() != '/') path += '/';
  path += right;
  return path;
}

std::string state_dir() {
  return join_path(platform::profile_folder().value_or("."), kStateFolderName);
}

std::string read_last_vault_path(std::string_view dir) {
  const auto text = read_utf8_file(join_path(dir, kLastVaultFile));
  if (!text) return "";
  return std::string(trim_unicode_space(*text));
}

std::string read_last_vault_path() { return read_last_vault_path(state_dir()); }

std::optional<SessionInfo> parse_session_info(std::string_view text) {
  if (!json::is_valid_utf8(text)) return std::nullopt;
  SessionReader reader;
  if (!json::sax_parse_strict(text, reader)) return std::nullopt;
  return reader.take();
}

std::optional<SessionInfo> read_session_info(std::string_view dir) {
  const auto text = read_utf8_file(join_path(dir, kSessionFile));
  if (!text) return std::nullopt;
  return parse_session_info(*text);
}

std::optional<SessionInfo> read_session_info() { return read_session_info(state_dir()); }

}  // namespace quarn::desktop
