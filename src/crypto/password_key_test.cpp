// Tests of derive_password_key against keys computed by independent Argon2id implementations,
// with every build of the fill routine this processor runs, and of its working area.
#include "crypto/password_key.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "crypto/argon2_fill.h"
#include "testing/scripted_system.h"
#include "testing/vectors.h"

namespace quarn::crypto {
namespace {

using testing::to_hex;

Salt salt_of(std::string_view text) {
  Salt salt{};
  EXPECT_EQ(text.size(), salt.size());
  std::copy_n(text.begin(), std::min(text.size(), salt.size()), salt.begin());
  return salt;
}

struct Case {
  const char* name;
  std::string password;  // raw UTF-8 bytes
  const char* salt;      // 16 ASCII characters, used as the salt bytes
  const char* key;       // expected 32-byte key, hex
};

// Expected keys were computed with the reference Argon2 implementation (Debian's argon2
// 0~20171227), independently of libsodium:
//   printf '%s' "$PASSWORD" | argon2 "$SALT" -id -t 4 -m 16 -p 1 -l 32 -r
// The argon2 command refuses an empty password, so that key came from the same library
// (libargon2.so.1) through Python ctypes:
//   argon2id_hash_raw(t_cost=4, m_cost=65536, parallelism=1, pwd=b"", pwdlen=0,
//                     salt=b"QuarnTestSalt-01", saltlen=16, hash, hashlen=32)
const Case kCases[] = {
    {"empty", "", "QuarnTestSalt-01",
     "56971573e9950c15455efc89d70446add68c6564769949a5ddeeea159f60b4e6"},
    {"ascii", "correct horse battery staple", "QuarnTestSalt-01",
     "8d2f7af46fd79b72442491d9bd693440b182fe31a8bd8741b94f9b10d5f5b276"},
    {"other_salt", "correct horse battery staple", "QuarnTestSalt-02",
     "8d268f8cc9094384835f90850d9f5e70a2751e946949d326d18d88b718ef112a"},
    {"trailing_space", "correct horse battery staple ", "QuarnTestSalt-01",
     "eac8ed3156e70055bb509a21a91e758a2fb748bc0300274e63e41e13b0cc9a62"},
    // "mot de passe café" with é precomposed (NFC, C3 A9) and decomposed (NFD, 65 CC 81).
    {"nfc", "mot de passe caf\xc3\xa9", "QuarnTestSalt-01",
     "cc945542017df447bbbe6b84266b16f58f0982f57752f4ff66e590d89d5b5715"},
    {"nfd", "mot de passe cafe\xcc\x81", "QuarnTestSalt-01",
     "123ac9f32de2924428adba93202a85399fa1d44c5872b1a25bb1e08a95e7172c"},
};

// Pins one build of the fill routine for a test, and goes back to the widest after it.
class PinnedFill {
 public:
  explicit PinnedFill(QuarnArgon2Fill fill) { quarn_argon2_use_fill(fill); }
  PinnedFill(const PinnedFill&) = delete;
  PinnedFill& operator=(const PinnedFill&) = delete;
  ~PinnedFill() { quarn_argon2_use_fill(QUARN_ARGON2_FILL_WIDEST); }
};

struct Fill {
  const char* name;
  QuarnArgon2Fill fill;
};
const Fill kFills[] = {
    {"sse2", QUARN_ARGON2_FILL_SSE2},
    {"avx2", QUARN_ARGON2_FILL_AVX2},
    {"avx512f", QUARN_ARGON2_FILL_AVX512F},
};

TEST(PasswordKeyTest, MatchesReferenceArgon2id) {
  testing::ScriptedSystem memory;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const auto password = bytes_of(c.password);
    const SymmetricKey key = derive_password_key(password, salt_of(c.salt), memory);
    EXPECT_EQ(to_hex(key.bytes), c.key);
  }
  // One 64 MiB area a derivation, each given back.
  EXPECT_EQ(memory.areas_acquired, std::vector<std::size_t>(std::size(kCases), 64u << 20));
  EXPECT_EQ(memory.areas_released, memory.areas_acquired);
}

TEST(PasswordKeyTest, EveryBuildOfTheFillRoutineGivesTheSameKeys) {
  testing::ScriptedSystem memory;
  int builds_run = 0;
  for (const Fill& f : kFills) {
    if (!quarn_argon2_fill_supported(f.fill)) continue;
    SCOPED_TRACE(f.name);
    const PinnedFill pinned(f.fill);
    ASSERT_EQ(quarn_argon2_fill_in_use(), f.fill);
    ++builds_run;
    for (const Case& c : {kCases[0], kCases[4]}) {
      SCOPED_TRACE(c.name);
      EXPECT_EQ(to_hex(derive_password_key(bytes_of(c.password), salt_of(c.salt), memory).bytes),
                c.key);
    }
  }
  // SSE2 is part of x86-64 itself.
  EXPECT_GE(builds_run, 1);
}

}  // namespace
}  // namespace quarn::crypto
