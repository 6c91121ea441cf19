// parse_vault_container over arbitrary file bytes.
//
// Properties: decoding succeeds exactly when the fields of the detected version are all present,
// byte strings hold exactly their declared bytes, and no allocation exceeds the reservation cap
// (run with -malloc_limit_mb=1: an allocation above 1 MiB stops the fuzzer).
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/bytes.h"
#include "testing/fuzz_check.h"
#include "vault/container.h"

using namespace quarn;
using testing::check;

namespace {

// Walks the layout independently: returns the byte strings' spans, or false when cut short.
bool fields_present(const std::uint8_t* data, std::size_t size, std::size_t offset,
                    const int* layout, std::size_t fields) {
  for (std::size_t i = 0; i < fields; ++i) {
    if (layout[i] > 0) {
      if (size - offset < static_cast<std::size_t>(layout[i])) return false;
      offset += static_cast<std::size_t>(layout[i]);
    } else {
      if (size - offset < 8) return false;
      const auto length = load_le<std::uint64_t>({data + offset, 8});
      offset += 8;
      if (size - offset < length) return false;
      offset += static_cast<std::size_t>(length);
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto container = vault::parse_vault_container({data, size});
  const bool v2 = size >= 3 && data[0] == 'Q' && data[1] == 'U' && data[2] == 2;
  static constexpr int kV1[] = {16, 12, 0};
  static constexpr int kV2[] = {16, 0, 0, 12, 12, 0};
  const bool complete =
      v2 ? fields_present(data, size, 3, kV2, 6) : fields_present(data, size, 0, kV1, 3);
  check(container.ok() == complete);
  if (!container) return 0;
  if (v2) {
    const auto* vault = std::get_if<vault::EncryptedVaultV2>(&container.value());
    check(vault != nullptr && std::memcmp(vault->salt.data(), data + 3, 16) == 0);
    check(19 + 8 + vault->kem_ciphertext.size() <= size);
  } else {
    const auto* vault = std::get_if<vault::EncryptedVault>(&container.value());
    check(vault != nullptr && std::memcmp(vault->salt.data(), data, 16) == 0);
    check(36 + vault->payload_ciphertext.size() <= size);
  }
  return 0;
}
