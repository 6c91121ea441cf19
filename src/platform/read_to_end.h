// The part of a whole-file read that is the same on every system: the buffer, its growth, the cap
// and the want of memory. Each system's files.cpp gives it the one call that reads.
#pragma once

#include <algorithm>
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
// is never doubled just to see the end. At most max_size + 1 bytes are ever read: one byte past
// the cap is enough to know the file is over it (OsError::too_large()). OsError::no_memory() when
// the buffer cannot be had.
template <typename ReadSome>
Result<Bytes, OsError> read_to_end(std::uint64_t expected_size, std::uint64_t max_size,
                                   ReadSome read_some) {
  if (expected_size > max_size) return fail(OsError::too_large());
  // How much more may be asked for, one byte past the cap included.
  const auto allowance = [max_size](std::size_t used) {
    return static_cast<std::uint64_t>(used) > max_size
               ? std::uint64_t{0}
               : max_size - static_cast<std::uint64_t>(used) + 1;
  };
  Bytes bytes;
  try {
    if (expected_size > 0) bytes.reserve(static_cast<std::size_t>(expected_size));
    std::uint8_t probe[8192];
    for (;;) {
      const std::size_t used = bytes.size();
      if (used > max_size) return fail(OsError::too_large());
      const std::size_t spare = bytes.capacity() - used;
      if (spare == 0) {
        const auto ask =
            static_cast<std::size_t>(std::min<std::uint64_t>(sizeof probe, allowance(used)));
        const Result<std::size_t, OsError> got = read_some(probe, ask);
        if (!got) return fail(got.error());
        if (got.value() == 0) return bytes;
        bytes.insert(bytes.end(), probe, probe + got.value());
        continue;
      }
      const auto ask = static_cast<std::size_t>(std::min<std::uint64_t>(spare, allowance(used)));
      bytes.resize(used + ask);
      const Result<std::size_t, OsError> got = read_some(bytes.data() + used, ask);
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
