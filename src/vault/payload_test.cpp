// Tests of payload decoding and of the entry objects built from it.
#include "vault/payload.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "base/bytes.h"
#include "json/serialize.h"
#include "testing/allocation_probe.h"
#include "vault/entries.h"
#include "vault_writer/payload.h"

namespace quarn::vault {
namespace {

using Pair = vault_writer::Entry;

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes raw(std::string_view bytes) { return to_bytes(bytes); }

Bytes u64(std::uint64_t value) {
  Bytes out;
  append_le(out, value);
  return out;
}

// A text string: its length, then its bytes (not checked here, so bad UTF-8 can be written).
Bytes text(std::string_view bytes) {
  Bytes out;
  vault_writer::append_string(out, bytes);
  return out;
}

// The vault writer's payload of `pairs`, with the entry count field set to `count`, which may
// differ from the pairs present.
Bytes payload(std::uint64_t count, const std::vector<Pair>& pairs,
              std::uint32_t header_word = 0x01020304) {
  Bytes out = vault_writer::encode_payload(pairs, header_word);
  store_le(std::span(out).subspan(4, 8), count);
  return out;
}

Bytes payload(const std::vector<Pair>& pairs) { return payload(pairs.size(), pairs); }

// One pair as it stands in the table.
Bytes encode(const Pair& p) {
  const Bytes alone = payload({p});
  return Bytes(alone.begin() + 12, alone.end());
}

// `bytes` without its last `count` bytes.
Bytes cut(Bytes bytes, std::size_t count) {
  bytes.resize(bytes.size() - count);
  return bytes;
}

VaultPayload decode(const Bytes& plaintext) {
  auto decoded = decode_vault_payload(plaintext);
  if (!decoded.ok()) {
    ADD_FAILURE() << "decoding failed: " << decoded.error();
    return {};
  }
  return std::move(decoded).value();
}

std::string reply_text(const Bytes& plaintext) {
  return json::to_compact_json(build_entries_data(decode(plaintext)));
}

const Pair kFull{"k1", "id-1", "Title", "alice", "s3cr\xC3\xA9t \"q\"", "https://a.example", 42};

TEST(DecodeVaultPayload, ReadsHeaderWordAndEveryFieldInOrder) {
  const VaultPayload decoded = decode(payload(1, {kFull}, 0xDDCCBBAA));
  EXPECT_EQ(decoded.header_word, 0xDDCCBBAAu);
  ASSERT_EQ(decoded.entries.size(), 1u);
  EXPECT_EQ(decoded.entries[0],
            (VaultEntry{"id-1", "Title", "alice", "s3cr\xC3\xA9t \"q\"", "https://a.example", 42}));
}

TEST(DecodeVaultPayload, FailsWithTheDecoderMessage) {
  const std::string kEnd = "io error: unexpected end of file";
  const std::string kShort = "io error: ";
  const Bytes pair_prefix =
      payload(1, {}) + text("k") + text("i") + text("t") + text("u") + text("p");
  const struct {
    const char* name;
    Bytes plaintext;
    std::string message;
  } cases[] = {
      {"empty", {}, kEnd},
      {"11 bytes", cut(payload(0, {}), 1), kEnd},
      {"count 1, no pair", payload(1, {}), kEnd},
      {"count 2, one pair", payload(2, {kFull}), kEnd},
      {"count 2^64-1, one pair", payload(std::numeric_limits<std::uint64_t>::max(), {kFull}), kEnd},
      {"length prefix cut", payload(1, {}) + text("k") + Bytes(7, 0), kEnd},
      {"last_modified cut", cut(payload(1, {kFull}), 1), kEnd},
      {"text longer than the rest", pair_prefix + u64(10) + raw("abcd"), kShort},
      {"text length 2^64-1", payload(1, {}) + u64(std::numeric_limits<std::uint64_t>::max()),
       kShort},
      {"title 0xFF", payload({{"k", "i", "\xFF", "", "", "", 0}}),
       "string is not valid utf8: invalid utf-8 sequence of 1 bytes from index 0"},
      {"url cut inside a sequence", payload({{"k", "i", "t", "u", "p", "ab\xE2\x82", 0}}),
       "string is not valid utf8: incomplete utf-8 byte sequence from index 2"},
      {"key overlong E0 80", payload({{"\xE0\x80", "", "", "", "", "", 0}}),
       "string is not valid utf8: invalid utf-8 sequence of 1 bytes from index 0"},
      {"id surrogate ED A0 80", payload({{"k", "x\xED\xA0\x80", "", "", "", "", 0}}),
       "string is not valid utf8: invalid utf-8 sequence of 1 bytes from index 1"},
      {"username F0 90 80 41", payload({{"k", "", "", "\xC3\xA9\xF0\x90\x80\x41", "", "", 0}}),
       "string is not valid utf8: invalid utf-8 sequence of 3 bytes from index 2"},
      {"password E2 82 41", payload({{"k", "", "", "", "\xE2\x82\x41", "", 0}}),
       "string is not valid utf8: invalid utf-8 sequence of 2 bytes from index 0"},
      {"password F4 90", payload({{"k", "", "", "", "ok\xF4\x90", "", 0}}),
       "string is not valid utf8: invalid utf-8 sequence of 1 bytes from index 2"},
      // The first failure ends the decoding, even when the input is also cut short later.
      {"bad text before a cut", payload(2, {{"k", "", "\xC0\xAF", "", "", "", 0}}),
       "string is not valid utf8: invalid utf-8 sequence of 1 bytes from index 0"},
      {"bad second pair", payload({kFull, {"k2", "\x80", "", "", "", "", 0}}),
       "string is not valid utf8: invalid utf-8 sequence of 1 bytes from index 0"},
  };
  for (const auto& c : cases) {
    auto decoded = decode_vault_payload(c.plaintext);
    ASSERT_FALSE(decoded.ok()) << c.name;
    EXPECT_EQ(decoded.error(), c.message) << c.name;
  }
}

TEST(DecodeVaultPayload, EmptyTableGivesEmptyEntriesArray) {
  ASSERT_EQ(payload(0, {}).size(), 12u);
  EXPECT_EQ(reply_text(payload(0, {})), R"({"entries":[]})");
}

TEST(DecodeVaultPayload, PairOfEmptyTextsTakes56Bytes) {
  const Bytes plaintext = payload({{"", "", "", "", "", "", 7}});
  ASSERT_EQ(plaintext.size(), 12u + 56u);
  EXPECT_EQ(reply_text(plaintext),
            R"({"entries":[{"id":"","last_modified":7,"password":"","title":"","url":"",)"
            R"("username":""}]})");
}

TEST(BuildEntriesData, WritesSixMembersInKeyOrder) {
  EXPECT_EQ(reply_text(payload({kFull, {"k2", "", "", "", "", "", 18446744073709551615u}})),
            R"({"entries":[{"id":"id-1","last_modified":42,"password":"s3cr)"
            "\xC3\xA9"
            R"(t \"q\"","title":"Title","url":"https://a.example","username":"alice"},)"
            R"({"id":"","last_modified":18446744073709551615,"password":"","title":"","url":"",)"
            R"("username":""}]})");
}

TEST(DecodeVaultPayload, LaterPairWithEqualKeyReplacesTheEarlierInItsPlace) {
  const Pair first{"same", "a", "first", "", "", "", 1};
  const Pair other{"other", "b", "other", "", "", "", 2};
  const Pair later{"same", "c", "later", "", "", "", 3};
  const VaultPayload decoded = decode(payload({first, other, later}));
  ASSERT_EQ(decoded.entries.size(), 2u);
  EXPECT_EQ(decoded.entries[0], (VaultEntry{"c", "later", "", "", "", 3}));
  EXPECT_EQ(decoded.entries[1], (VaultEntry{"b", "other", "", "", "", 2}));
}

TEST(DecodeVaultPayload, KeysDifferingOnlyInBytesAreDistinct) {
  // Same id under different keys, including keys equal up to a prefix or a NUL.
  const VaultPayload decoded = decode(payload({{"k", "dup", "1", "", "", "", 1},
                                               {"k ", "dup", "2", "", "", "", 2},
                                               {std::string("k\0", 2), "dup", "3", "", "", "", 3},
                                               {"K", "dup", "4", "", "", "", 4}}));
  ASSERT_EQ(decoded.entries.size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(decoded.entries[i].title, std::to_string(i + 1));
}

TEST(DecodeVaultPayload, BytesAfterTheLastPairAreIgnored) {
  const Bytes plaintext = payload({kFull});
  EXPECT_EQ(decode(plaintext + text("\xFF") + raw("junk")), decode(plaintext));
  EXPECT_EQ(decode(payload(0, {}) + encode(kFull)), decode(payload(0, {})));
}

TEST(DecodeVaultPayload, TableGrowsPastTheInitialReservation) {
  std::vector<Pair> pairs;
  for (std::size_t i = 0; i < kMaxReservedEntries + 100; ++i) {
    pairs.push_back({"key" + std::to_string(i), "id" + std::to_string(i), "", "", "", "", i});
  }
  const VaultPayload decoded = decode(payload(pairs));
  ASSERT_EQ(decoded.entries.size(), pairs.size());
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    ASSERT_EQ(decoded.entries[i].id, pairs[i].id);
    ASSERT_EQ(decoded.entries[i].last_modified, i);
  }
}

TEST(DecodeVaultPayload, UntrustedCountsAndLengthsDoNotDriveReservations) {
  const std::size_t bound = 6898 * sizeof(VaultEntry);
  const Bytes cases[] = {
      payload(std::numeric_limits<std::uint64_t>::max(), {}),
      payload(1'000'000, {}),
      payload(1'000'000, {}) + text("k") + u64(1ull << 30) + raw("abc"),
  };
  for (const Bytes& plaintext : cases) {
    testing::AllocationProbe probe;
    auto decoded = decode_vault_payload(plaintext);
    EXPECT_FALSE(decoded.ok());
    EXPECT_LE(probe.largest(), bound);
  }
}

}  // namespace
}  // namespace quarn::vault
