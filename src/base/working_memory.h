// Large working memory asked of the system for one computation: the 64 MiB area of the password
// key derivation. The System of the host provides it; crypto sees only this interface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace quarn {

class WorkingMemory {
 public:
  virtual ~WorkingMemory() = default;

  // `size` bytes of writable memory, aligned to at least 4096 bytes, in one piece, its content
  // unspecified. Ends the process when the memory cannot be had, as every allocation failure
  // does.
  virtual std::span<std::uint8_t> acquire_working_area(std::size_t size) = 0;

  // Gives back an area that acquire_working_area returned, whole.
  virtual void release_working_area(std::span<std::uint8_t> area) = 0;
};

// An area held for one scope, released when it goes.
class WorkingArea {
 public:
  WorkingArea(WorkingMemory& memory, std::size_t size)
      : memory_(memory), area_(memory.acquire_working_area(size)) {}
  WorkingArea(const WorkingArea&) = delete;
  WorkingArea& operator=(const WorkingArea&) = delete;
  ~WorkingArea() { memory_.release_working_area(area_); }

  std::span<std::uint8_t> bytes() const { return area_; }

 private:
  WorkingMemory& memory_;
  std::span<std::uint8_t> area_;
};

}  // namespace quarn
