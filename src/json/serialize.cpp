// to_compact_json: the host's own output rules, independent of the library's dump().
#include "json/serialize.h"

#include <cmath>

#include "json/float_text.h"

namespace quarn::json {
namespace {

void write_string(std::string& out, const std::string& s) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  for (char c : s) {
    const auto b = static_cast<unsigned char>(c);
    switch (b) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case 0x08:
        out += "\\b";
        break;
      case 0x09:
        out += "\\t";
        break;
      case 0x0A:
        out += "\\n";
        break;
      case 0x0C:
        out += "\\f";
        break;
      case 0x0D:
        out += "\\r";
        break;
      default:
        if (b < 0x20) {
          out += "\\u00";
          out += kHex[b >> 4];
          out += kHex[b & 0x0F];
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

void write_value(std::string& out, const Value& v) {
  switch (v.type()) {
    case Value::value_t::null:
      out += "null";
      break;
    case Value::value_t::boolean:
      out += v.get<bool>() ? "true" : "false";
      break;
    case Value::value_t::number_unsigned:
      out += std::to_string(v.get<std::uint64_t>());
      break;
    case Value::value_t::number_integer:
      out += std::to_string(v.get<std::int64_t>());
      break;
    case Value::value_t::number_float: {
      const double d = v.get<double>();
      out += std::isfinite(d) ? format_float_json(d) : "null";
      break;
    }
    case Value::value_t::string:
      write_string(out, v.get_ref<const std::string&>());
      break;
    case Value::value_t::array: {
      out += '[';
      bool first = true;
      for (const Value& element : v.get_ref<const Value::array_t&>()) {
        if (!first) out += ',';
        first = false;
        write_value(out, element);
      }
      out += ']';
      break;
    }
    case Value::value_t::object: {
      out += '{';
      bool first = true;
      for (const auto& [key, member] : v.get_ref<const Value::object_t&>()) {
        if (!first) out += ',';
        first = false;
        write_string(out, key);
        out += ':';
        write_value(out, member);
      }
      out += '}';
      break;
    }
    case Value::value_t::binary:
    case Value::value_t::discarded:
      out += "null";
      break;
  }
}

}  // namespace

std::string to_compact_json(const Value& value) {
  std::string out;
  write_value(out, value);
  return out;
}

}  // namespace quarn::json
