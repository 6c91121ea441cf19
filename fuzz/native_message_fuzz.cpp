// read_native_message over arbitrary input bytes, served in arbitrary read sizes.
//
// Properties: a message is returned only when its whole body was present, its length never
// exceeds the limit, and no byte beyond the frame is consumed.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/bytes.h"
#include "host/framing.h"
#include "testing/fuzz_check.h"

using namespace quarn;
using testing::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::size_t position = 0;
  auto source = [&](std::span<std::uint8_t> out) -> Result<Done, platform::StreamError> {
    const std::size_t n = std::min(out.size(), size - position);
    if (n > 0) std::memcpy(out.data(), data + position, n);
    position += n;
    if (n < out.size())
      return fail(platform::StreamError{platform::StreamError::Kind::kEndOfInput});
    return Done{};
  };
  auto body = host::read_native_message(source);
  if (size >= 4) {
    const auto length = load_le<std::uint32_t>({data, size});
    const bool complete = length <= host::MAX_NATIVE_MESSAGE_LEN && size - 4 >= length;
    check(body.ok() == complete);
    if (body.ok()) {
      check(body.value().size() == length && position == 4 + length);
      check(length == 0 || std::memcmp(body.value().data(), data + 4, length) == 0);
    }
    if (length > host::MAX_NATIVE_MESSAGE_LEN) check(position == 4);
  } else {
    check(!body.ok());
  }
  return 0;
}
