// The strict grammar as a SAX driver, for readers that build their own result while parsing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "json/value.h"

namespace quarn::json {

// Arrays and objects may be nested this deep, and no deeper.
inline constexpr int kMaxDepth = 127;

// What a handler implements; each call returns false to stop the parse as a failure:
//   null(), boolean(bool), number_unsigned(uint64_t), number_integer(int64_t) (negatives only),
//   number_float(double) (fractions, exponents, integers beyond 64 bits, and -0),
//   string(std::string&), start_object(), key(std::string&), end_object(), start_array(),
//   end_array().
template <class Handler>
class StrictSax {
 public:
  using number_integer_t = Value::number_integer_t;
  using number_unsigned_t = Value::number_unsigned_t;
  using number_float_t = Value::number_float_t;
  using string_t = Value::string_t;
  using binary_t = Value::binary_t;

  explicit StrictSax(Handler& handler) : handler_(handler) {}

  bool null() { return handler_.null(); }
  bool boolean(bool b) { return handler_.boolean(b); }
  bool number_unsigned(number_unsigned_t v) { return handler_.number_unsigned(v); }
  bool number_integer(number_integer_t v) {
    // The lexer gives only negative literals as signed; a zero here was written "-0", which is a
    // floating-point value.
    if (v == 0) return handler_.number_float(-0.0);
    return handler_.number_integer(v);
  }
  bool number_float(number_float_t v, const string_t&) { return handler_.number_float(v); }
  bool string(string_t& s) { return handler_.string(s); }
  bool binary(binary_t&) { return false; }
  bool start_object(std::size_t) { return enter() && handler_.start_object(); }
  bool key(string_t& k) { return handler_.key(k); }
  bool end_object() {
    --depth_;
    return handler_.end_object();
  }
  bool start_array(std::size_t) { return enter() && handler_.start_array(); }
  bool end_array() {
    --depth_;
    return handler_.end_array();
  }
  template <class Exception>
  bool parse_error(std::size_t, const std::string&, const Exception&) {
    return false;
  }

 private:
  bool enter() { return ++depth_ <= kMaxDepth; }

  Handler& handler_;
  int depth_ = 0;
};

// Runs `handler` over `text` in the strict grammar. True when the whole text was one JSON value
// and the handler accepted every event.
template <class Handler>
bool sax_parse_strict(std::string_view text, Handler& handler) {
  // The library would skip a leading byte-order mark; the host refuses it. No JSON text can
  // start with 0xEF otherwise.
  if (!text.empty() && static_cast<unsigned char>(text.front()) == 0xEF) return false;
  // The library's lexer takes a NUL byte for the end of input, so "1\0x" would pass as "1". A raw
  // NUL is never part of a valid text (inside strings it must be escaped).
  if (text.find('\0') != std::string_view::npos) return false;
  StrictSax<Handler> sax(handler);
  return Value::sax_parse(text.data(), text.data() + text.size(), &sax, Value::input_format_t::json,
                          /*strict=*/true, /*ignore_comments=*/false);
}

}  // namespace quarn::json
