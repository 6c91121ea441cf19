// Float layouts over the shortest digits that std::to_chars finds.
#include "json/float_text.h"

#include <array>
#include <charconv>
#include <cstdlib>
#include <string_view>

namespace quarn::json {
namespace {

// value = 0.digits × 10^point, with digits the shortest that read back as the same double.
struct Decimal {
  bool negative = false;
  std::string digits;
  int point = 0;
};

Decimal shortest_decimal(double value) {
  std::array<char, 64> buffer{};
  const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                       std::chars_format::scientific);
  std::string_view text(buffer.data(), static_cast<std::size_t>(end - buffer.data()));
  Decimal d;
  if (text.front() == '-') {
    d.negative = true;
    text.remove_prefix(1);
  }
  const std::size_t e = text.find('e');
  for (char c : text.substr(0, e)) {
    if (c != '.') d.digits.push_back(c);
  }
  int exponent = 0;
  std::string_view exp_text = text.substr(e + 1);
  if (exp_text.front() == '+') exp_text.remove_prefix(1);
  std::from_chars(exp_text.data(), exp_text.data() + exp_text.size(), exponent);
  d.point = exponent + 1;
  return d;
}

std::string plain(const Decimal& d) {
  const int length = static_cast<int>(d.digits.size());
  std::string out = d.negative ? "-" : "";
  if (d.point <= 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-d.point), '0');
    out += d.digits;
  } else if (d.point >= length) {
    out += d.digits;
    out.append(static_cast<std::size_t>(d.point - length), '0');
    out += ".0";
  } else {
    out += d.digits.substr(0, static_cast<std::size_t>(d.point));
    out += '.';
    out += d.digits.substr(static_cast<std::size_t>(d.point));
  }
  return out;
}

}  // namespace

std::string format_float_json(double value) {
  const Decimal d = shortest_decimal(value);
  if (d.point > -5 && d.point <= 16) return plain(d);
  std::string out = d.negative ? "-" : "";
  out += d.digits.front();
  if (d.digits.size() > 1) {
    out += '.';
    out += d.digits.substr(1);
  }
  out += 'e';
  out += std::to_string(d.point - 1);
  return out;
}

std::string format_float_plain(double value) { return plain(shortest_decimal(value)); }

}  // namespace quarn::json
