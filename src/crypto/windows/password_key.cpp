// derive_password_key through the reference Argon2 (the optimised build of its sources), its
// 64 MiB working area taken straight from VirtualAlloc.
#include "crypto/password_key.h"

#include <argon2.h>
#include <windows.h>

#include <cstdlib>

namespace quarn::crypto {
namespace {

constexpr std::uint32_t kPasses = 4;         // t
constexpr std::uint32_t kMemoryKib = 65536;  // m: 64 MiB
constexpr std::uint32_t kLanes = 1;          // p

// Page-aligned memory: the heap's 16-byte alignment would split every 64-byte block access of
// the vector code across two cache lines. Argon2 wipes the area itself before it frees it.
int allocate_pages(std::uint8_t** memory, std::size_t size) {
  *memory = static_cast<std::uint8_t*>(
      VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
  return *memory != nullptr ? ARGON2_OK : ARGON2_MEMORY_ALLOCATION_ERROR;
}

void free_pages(std::uint8_t* memory, std::size_t) { VirtualFree(memory, 0, MEM_RELEASE); }

}  // namespace

SymmetricKey derive_password_key(std::span<const std::uint8_t> password, const Salt& salt) {
  // With these fixed parameters the only failures left are a password of 4 GiB or more, which a
  // request cannot carry, and the 64 MiB working area not being available; both end the process.
  if (password.size() > ARGON2_MAX_PWD_LENGTH) std::abort();
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
  context.allocate_cbk = allocate_pages;
  context.free_cbk = free_pages;
  context.flags = ARGON2_DEFAULT_FLAGS;  // the password stays the caller's to wipe
  if (argon2_ctx(&context, Argon2_id) != ARGON2_OK) std::abort();
  return key;
}

}  // namespace quarn::crypto
