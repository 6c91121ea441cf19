// Wiping through a volatile pointer to memset, which the compiler must call as written even
// though the memory is about to be released.
#include "base/wipe.h"

#include <cstring>

namespace quarn {
namespace {

void* (*const volatile g_memset)(void*, int, std::size_t) = std::memset;

void wipe_raw(void* data, std::size_t size) {
  if (size > 0) g_memset(data, 0, size);
}

}  // namespace

void wipe(std::span<std::uint8_t> bytes) { wipe_raw(bytes.data(), bytes.size()); }

void wipe_and_release(Bytes& buffer) {
  wipe_raw(buffer.data(), buffer.capacity());
  Bytes().swap(buffer);
}

void wipe_and_release(std::string& text) {
  // The characters past size() are overwritten by the resize, the rest by the wipe.
  text.resize(text.capacity());
  wipe_raw(text.data(), text.size());
  std::string().swap(text);
}

}  // namespace quarn
