// The live-session answer: arbitrary bytes arriving in arbitrary pieces, read as one line and
// parsed as one JSON value.
//
// Properties: the line is at most 65536 bytes, holds a line feed only at its end, is a prefix of
// what arrived, and no receive asks for more than the buffer or the rest of the allowance; a
// parsed value re-serialises to text that parses back to the same value.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "base/bytes.h"
#include "desktop/live_session.h"
#include "json/parse.h"
#include "json/serialize.h"
#include "testing/fuzz_check.h"

using namespace quarn;
using testing::check;

namespace {}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  // The first two bytes choose the piece sizes and whether the stream fails or ends after the
  // last byte; the rest is what the application sends.
  const unsigned piece_seed = data[0];
  const bool fails_at_end = (data[1] & 1) != 0;
  const std::string_view sent = text_of({data + 2, size - 2});
  std::size_t position = 0;
  unsigned piece = piece_seed | 1;
  auto receive = [&](std::span<char> buffer) -> Received {
    check(!buffer.empty() && buffer.size() <= desktop::kAnswerBufferSize);
    if (position == sent.size()) {
      return {fails_at_end ? Received::Kind::kFailed : Received::Kind::kEnd};
    }
    piece = piece * 73 + 41;
    const std::size_t n =
        std::min({buffer.size(), sent.size() - position, std::size_t{piece % 97 + 1}});
    std::memcpy(buffer.data(), sent.data() + position, n);
    position += n;
    return {Received::Kind::kData, n};
  };
  const auto line = desktop::read_answer_line(receive);
  check(position <= desktop::kMaxAnswerBytes);
  if (!line) return 0;
  check(!line->empty() && line->size() <= desktop::kMaxAnswerBytes);
  check(sent.substr(0, line->size()) == *line);
  const auto feed = line->find('\n');
  check(feed == std::string::npos || feed == line->size() - 1);

  const auto value = desktop::parse_answer_line(*line);
  if (!value) return 0;
  const auto again = json::parse_strict(json::to_compact_json(*value));
  check(again.has_value() && *again == *value);
  return 0;
}
