// The cryptography of an unlock: the password key derivation (the host's, and libsodium's as the
// comparison), the payload cipher, the KEM decapsulation and the hybrid unwrap.
#include <benchmark/benchmark.h>
#include <sodium.h>

#include <cstdint>
#include <string_view>
#include <vector>

#include "crypto/hybrid_key.h"
#include "crypto/mlkem.h"
#include "crypto/password_key.h"
#include "crypto/sealed.h"
#include "platform/real_system.h"
#include "vault_writer/vault_writer.h"

namespace {

using namespace quarn;

constexpr std::string_view kPassword = "correct horse battery staple";
const crypto::Salt kSalt{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

// The host's derivation, its working area from the system as in an unlock.
void BM_DerivePasswordKey(benchmark::State& state) {
  platform::RealSystem system;
  for (auto _ : state)
    benchmark::DoNotOptimize(crypto::derive_password_key(bytes_of(kPassword), kSalt, system));
}
BENCHMARK(BM_DerivePasswordKey)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_DerivePasswordKey_Libsodium(benchmark::State& state) {
  if (sodium_init() < 0) state.SkipWithError("sodium_init failed");
  std::uint8_t key[32];
  for (auto _ : state) {
    if (crypto_pwhash_argon2id(key, sizeof key, kPassword.data(), kPassword.size(), kSalt.data(), 4,
                               std::size_t{64} << 20, crypto_pwhash_argon2id_ALG_ARGON2ID13) != 0) {
      state.SkipWithError("crypto_pwhash_argon2id failed");
    }
    benchmark::DoNotOptimize(key);
  }
}
BENCHMARK(BM_DerivePasswordKey_Libsodium)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_DecryptSealed(benchmark::State& state) {
  const crypto::SymmetricKey key{{7}};
  const crypto::Nonce nonce{9};
  const std::vector<std::uint8_t> plaintext(static_cast<std::size_t>(state.range(0)), 0x5A);
  const auto sealed = vault_writer::seal(key, nonce, plaintext);
  for (auto _ : state) {
    auto opened = crypto::decrypt_sealed(key, nonce, sealed);
    if (!opened) state.SkipWithError("did not open");
    benchmark::DoNotOptimize(opened);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_DecryptSealed)->Arg(1 << 10)->Arg(1 << 20)->Arg(16 << 20);

void BM_KemDecapsulate(benchmark::State& state) {
  const auto pair = vault_writer::kem_keypair();
  const auto encapsulation = vault_writer::kem_encapsulate(
      std::span<const std::uint8_t, 1568>(pair.public_key.data(), 1568));
  for (auto _ : state) {
    benchmark::DoNotOptimize(crypto::kem_decapsulate(
        std::span<const std::uint8_t, 1568>(encapsulation.ciphertext.data(), 1568),
        std::span<const std::uint8_t, 3168>(pair.secret_key.data(), 3168)));
  }
}
BENCHMARK(BM_KemDecapsulate)->Unit(benchmark::kMicrosecond);

void BM_UnwrapHybridKey(benchmark::State& state) {
  const std::vector<std::uint8_t> payload(12, 0);
  const auto vault = vault_writer::seal_v2(kPassword, payload, kSalt);
  for (auto _ : state) {
    auto key =
        crypto::unwrap_hybrid_key(vault.password_key, vault.fields.kem_ciphertext,
                                  vault.fields.wrapped_secret_key, vault.fields.secret_key_nonce);
    if (!key) state.SkipWithError("did not unwrap");
    benchmark::DoNotOptimize(key);
  }
}
BENCHMARK(BM_UnwrapHybridKey)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
