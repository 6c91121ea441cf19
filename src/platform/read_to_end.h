// The part of a whole-file read that is the same on every system: the buffer, its growth and the
// want of memory. Each system's files.cpp gives it the one call that reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <stdexcept>

#include "base/bytes.h"
#include "base/result.h"
#include "base/system.h"

namespace quarn::platform {

// Reads until end of file through `read_some(into, max)`, which returns how many bytes it stored
// (0 at end of file) or the system's error. The buffer starts at `expected_size`; when that is
// used up, a small probe read tells end of file from a file that grew, so an exactly-sized buffer
// is never doubled just to see the end. OsError::no_memory() when the buffer cannot be had.
template <typename ReadSome>
Result<Bytes, OsError> read_to_end(std::uint64_t expected_size, ReadSome read_some) {
  Bytes bytes;
  try {
    if (expected_size > 0) bytes.reserve(static_cast<std::size_t>(expected_size));
    std::uint8_t probe[8192];
    for (;;) {
      const std::size_t used = bytes.size();
      const std::size_t spare = bytes.capacity() - used;
      if (spare == 0) {
        const Result<std::size_t, OsError> got = read_some(probe, sizeof probe);
        if (!got) return fail(got.error());
        if (got.value() == 0) return bytes;
        bytes.insert(bytes.end(), probe, probe + got.value());
        continue;
      }
      bytes.resize(bytes.capacity());
      const Result<std::size_t, OsError> got = read_some(bytes.data() + used, spare);
      bytes.resize(used + (got ? got.value() : 0));
      if (!got) return fail(got.error());
      if (got.value() == 0) return bytes;
    }
  } catch (const std::bad_alloc&) {
    return fail(OsError::no_memory());
  } catch (const std::length_error&) {
    return fail(OsError::no_memory());
  }
}

}  // namespace quarn::platform
