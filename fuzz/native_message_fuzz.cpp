// read_native_message over arbitrary input bytes, served in arbitrary read sizes.
//
// Properties: a message is returned only when its whole body was present, its length never
// exceeds the limit, and no byte beyond the frame is consumed.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "host/framing.h"

using namespace quarn;

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
    std::uint32_t length = 0;
    for (int i = 3; i >= 0; --i) length = length << 8 | data[i];
    const bool complete = length <= host::MAX_NATIVE_MESSAGE_LEN && size - 4 >= length;
    if (body.ok() != complete) std::abort();
    if (body.ok() && (body.value().size() != length ||
                      (length > 0 && std::memcmp(body.value().data(), data + 4, length) != 0) ||
                      position != 4 + length)) {
      std::abort();
    }
    if (length > host::MAX_NATIVE_MESSAGE_LEN && position != 4) std::abort();
  } else if (body.ok()) {
    std::abort();
  }
  return 0;
}
