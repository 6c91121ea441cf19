// parse_request: the request grammar on top of the strict JSON value, with its exact error texts.
#include "protocol/request.h"

#include <cstdio>
#include <optional>
#include <string_view>

#include "json/float_text.h"
#include "json/parse.h"
#include "json/wipe.h"

namespace quarn::protocol {
namespace {

using json::Value;
using Error = std::string;

constexpr std::string_view kExpectedRequest = "internally tagged enum Request";
constexpr std::string_view kExpectedVariant = "variant identifier";
constexpr std::string_view kExpectedString = "a string";

// `\u{hex}`, the escape of a control character that has no short form.
std::string code_point_escape(unsigned code_point) {
  char escaped[12];
  std::snprintf(escaped, sizeof escaped, "\\u{%x}", code_point);
  return escaped;
}

// A string quoted with backslash escapes for '"', '\\' and the control characters: C0, DEL and
// C1 (U+0080 to U+009F, the two bytes C2 80 to C2 9F in the UTF-8 text).
std::string quote_for_message(const std::string& s) {
  std::string out = "\"";
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    const auto b = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\0':
        out += "\\0";
        break;
      default:
        if (b < 0x20 || b == 0x7F) {
          out += code_point_escape(b);
        } else if (b == 0xC2 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) <= 0x9F) {
          // The text is valid UTF-8, so 0xC2 begins a character and the next byte continues it.
          out += code_point_escape(static_cast<unsigned char>(s[++i]));
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

// How a value is named in "invalid type" messages.
std::string describe(const Value& v) {
  switch (v.type()) {
    case Value::value_t::boolean:
      return v.get<bool>() ? "boolean `true`" : "boolean `false`";
    case Value::value_t::number_unsigned:
      return "integer `" + std::to_string(v.get<std::uint64_t>()) + "`";
    case Value::value_t::number_integer:
      return "integer `" + std::to_string(v.get<std::int64_t>()) + "`";
    case Value::value_t::number_float:
      return "floating point `" + json::format_float_plain(v.get<double>()) + "`";
    case Value::value_t::string:
      return "string " + quote_for_message(v.get_ref<const std::string&>());
    case Value::value_t::array:
      return "sequence";
    case Value::value_t::object:
      return "map";
    default:
      return "null";
  }
}

Error invalid_type(const Value& v, std::string_view expected) {
  return "invalid type: " + describe(v) + ", expected " + std::string(expected);
}

Error missing_field(std::string_view name) { return "missing field `" + std::string(name) + "`"; }

enum class Command { kPing, kGetLastVaultPath, kUnlock, kTryLiveSession };

Result<Command, Error> decode_command(const Value& v) {
  if (!v.is_string()) return fail(invalid_type(v, kExpectedVariant));
  const auto& name = v.get_ref<const std::string&>();
  if (name == "ping") return Command::kPing;
  if (name == "get_last_vault_path") return Command::kGetLastVaultPath;
  if (name == "unlock") return Command::kUnlock;
  if (name == "try_live_session") return Command::kTryLiveSession;
  return fail("unknown variant `" + name +
              "`, expected one of `ping`, `get_last_vault_path`, `unlock`, `try_live_session`");
}

Request request_without_fields(Command command) {
  switch (command) {
    case Command::kPing:
      return Ping{};
    case Command::kGetLastVaultPath:
      return GetLastVaultPath{};
    case Command::kTryLiveSession:
      return TryLiveSession{};
    case Command::kUnlock:
      break;
  }
  return Ping{};  // not reached: unlock has fields
}

// Copies of the two strings; the password's copy goes straight into a SecretText.
Request unlock_request(const Value& path, const Value& password) {
  return Unlock{path.get<std::string>(), SecretText(password.get<std::string>())};
}

Result<Request, Error> decode_object(const Value::object_t& object) {
  const auto cmd = object.find("cmd");
  if (cmd == object.end()) return fail(missing_field("cmd"));
  auto command = decode_command(cmd->second);
  if (!command) return fail(std::move(command.error()));
  if (command.value() != Command::kUnlock) return request_without_fields(command.value());

  // Members in ascending key order: "password" is checked before "path", and any wrong type is
  // reported before any absence.
  const Value* password = nullptr;
  const Value* path = nullptr;
  for (const auto& [key, value] : object) {
    if (key != "password" && key != "path") continue;
    if (!value.is_string()) return fail(invalid_type(value, kExpectedString));
    (key == "path" ? path : password) = &value;
  }
  if (path == nullptr) return fail(missing_field("path"));
  if (password == nullptr) return fail(missing_field("password"));
  return unlock_request(*path, *password);
}

Result<Request, Error> decode_array(const Value::array_t& array) {
  if (array.empty()) return fail(missing_field("cmd"));
  auto command = decode_command(array.front());
  if (!command) return fail(std::move(command.error()));
  const std::size_t fields = array.size() - 1;
  if (command.value() != Command::kUnlock) {
    if (fields > 0) {
      return fail("invalid length " + std::to_string(fields) + ", expected 0 elements in sequence");
    }
    return request_without_fields(command.value());
  }
  const auto short_unlock = [](std::size_t n) {
    return "invalid length " + std::to_string(n) +
           ", expected struct variant Request::Unlock with 2 elements";
  };
  if (fields < 1) return fail(short_unlock(0));
  if (!array[1].is_string()) return fail(invalid_type(array[1], kExpectedString));
  if (fields < 2) return fail(short_unlock(1));
  if (!array[2].is_string()) return fail(invalid_type(array[2], kExpectedString));
  if (fields > 2) {
    return fail("invalid length " + std::to_string(fields) + ", expected 2 elements in sequence");
  }
  return unlock_request(array[1], array[2]);
}

}  // namespace

Result<Request, std::string> parse_request(ByteView body) {
  Value value = json::parse_strict(text_of(body)).value_or(Value(nullptr));
  Result<Request, Error> request = fail(Error());
  if (value.is_object()) {
    request = decode_object(value.get_ref<const Value::object_t&>());
  } else if (value.is_array()) {
    request = decode_array(value.get_ref<const Value::array_t&>());
  } else {
    request = fail(invalid_type(value, kExpectedRequest));
  }
  json::wipe_and_release(value);
  return request;
}

}  // namespace quarn::protocol
