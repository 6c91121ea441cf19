// derive_password_key through the reference Argon2 (its optimised fill routine, the build for the
// widest instruction set the processor offers), its working area from the system.
#include "crypto/password_key.h"

#include <argon2.h>

#include <cstdlib>

namespace quarn::crypto {
namespace {

constexpr std::uint32_t kPasses = 4;         // t
constexpr std::uint32_t kMemoryKib = 65536;  // m: 64 MiB
constexpr std::uint32_t kLanes = 1;          // p
static_assert(std::size_t{kMemoryKib} * 1024 == kPasswordKeyWorkingArea);

// Argon2's allocation callbacks take no context: the area acquired for the running derivation is
// handed over through this variable. One derivation at a time per thread.
thread_local std::span<std::uint8_t> current_area;

int hand_out_area(std::uint8_t** memory, std::size_t size) {
  *memory = size <= current_area.size() ? current_area.data() : nullptr;
  return *memory != nullptr ? ARGON2_OK : ARGON2_MEMORY_ALLOCATION_ERROR;
}

// Argon2 has overwritten the area with zeros by now; the WorkingArea gives it back.
void keep_area(std::uint8_t*, std::size_t) {}

}  // namespace

SymmetricKey derive_password_key(std::span<const std::uint8_t> password, const Salt& salt,
                                 WorkingMemory& memory) {
  // With these fixed parameters the only failures left are a password of 4 GiB or more, which a
  // request cannot carry, and the 64 MiB working area not being available; both end the process.
  if (password.size() > ARGON2_MAX_PWD_LENGTH) std::abort();
  const WorkingArea area(memory, kPasswordKeyWorkingArea);
  current_area = area.bytes();

  SymmetricKey key;
  argon2_context context{};
  context.out = key.bytes.data();
  context.outlen = static_cast<std::uint32_t>(key.bytes.size());
  context.pwd = const_cast<std::uint8_t*>(password.data());
  context.pwdlen = static_cast<std::uint32_t>(password.size());
  context.salt = const_cast<std::uint8_t*>(salt.data());
  context.saltlen = static_cast<std::uint32_t>(salt.size());
  context.t_cost = kPasses;
  context.m_cost = kMemoryKib;
  context.lanes = kLanes;
  context.threads = kLanes;
  context.version = ARGON2_VERSION_13;
  context.allocate_cbk = hand_out_area;
  context.free_cbk = keep_area;
  context.flags = ARGON2_DEFAULT_FLAGS;  // the password stays the caller's to wipe
  const int status = argon2_ctx(&context, Argon2_id);
  current_area = {};
  if (status != ARGON2_OK) std::abort();
  return key;
}

}  // namespace quarn::crypto
