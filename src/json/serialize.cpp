// to_compact_json: the host's own output rules, independent of the library's dump().
#include "json/serialize.h"

#include <cmath>
#include <string_view>

#include "json/float_text.h"

namespace quarn::json {
namespace {

// The text is laid out twice: once to count its bytes, once into a buffer of exactly that size,
// so a large reply is never copied while it grows.
struct CountingSink {
  std::size_t size = 0;
  void put(char) { ++size; }
  void put(std::string_view s) { size += s.size(); }
};

struct StringSink {
  std::string& out;
  void put(char c) { out += c; }
  void put(std::string_view s) { out.append(s); }
};

bool needs_escape(unsigned char b) { return b < 0x20 || b == '"' || b == '\\'; }

template <class Sink>
void write_escape(Sink& out, unsigned char b) {
  static constexpr char kHex[] = "0123456789abcdef";
  switch (b) {
    case '"':
      out.put("\\\"");
      break;
    case '\\':
      out.put("\\\\");
      break;
    case 0x08:
      out.put("\\b");
      break;
    case 0x09:
      out.put("\\t");
      break;
    case 0x0A:
      out.put("\\n");
      break;
    case 0x0C:
      out.put("\\f");
      break;
    case 0x0D:
      out.put("\\r");
      break;
    default: {
      const char escaped[] = {'\\', 'u', '0', '0', kHex[b >> 4], kHex[b & 0x0F]};
      out.put(std::string_view(escaped, sizeof escaped));
    }
  }
}

template <class Sink>
void write_string(Sink& out, std::string_view s) {
  out.put('"');
  // Copy the runs between escapes in one piece; most text has no escape at all.
  std::size_t run_start = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (!needs_escape(b)) continue;
    out.put(s.substr(run_start, i - run_start));
    write_escape(out, b);
    run_start = i + 1;
  }
  out.put(s.substr(run_start));
  out.put('"');
}

template <class Sink>
void write_value(Sink& out, const Value& v) {
  switch (v.type()) {
    case Value::value_t::null:
      out.put("null");
      break;
    case Value::value_t::boolean:
      out.put(v.get<bool>() ? "true" : "false");
      break;
    case Value::value_t::number_unsigned:
      out.put(std::to_string(v.get<std::uint64_t>()));
      break;
    case Value::value_t::number_integer:
      out.put(std::to_string(v.get<std::int64_t>()));
      break;
    case Value::value_t::number_float: {
      const double d = v.get<double>();
      if (std::isfinite(d)) {
        out.put(format_float_json(d));
      } else {
        out.put("null");
      }
      break;
    }
    case Value::value_t::string:
      write_string(out, v.get_ref<const std::string&>());
      break;
    case Value::value_t::array: {
      out.put('[');
      bool first = true;
      for (const Value& element : v.get_ref<const Value::array_t&>()) {
        if (!first) out.put(',');
        first = false;
        write_value(out, element);
      }
      out.put(']');
      break;
    }
    case Value::value_t::object: {
      out.put('{');
      bool first = true;
      for (const auto& [key, member] : v.get_ref<const Value::object_t&>()) {
        if (!first) out.put(',');
        first = false;
        write_string(out, key);
        out.put(':');
        write_value(out, member);
      }
      out.put('}');
      break;
    }
    case Value::value_t::binary:
    case Value::value_t::discarded:
      out.put("null");
      break;
  }
}

}  // namespace

std::size_t compact_json_size(const Value& value) {
  CountingSink counter;
  write_value(counter, value);
  return counter.size;
}

std::string to_compact_json(const Value& value, std::size_t size) {
  std::string text;
  text.reserve(size);
  StringSink sink{text};
  write_value(sink, value);
  return text;
}

std::string to_compact_json(const Value& value) {
  return to_compact_json(value, compact_json_size(value));
}

}  // namespace quarn::json
