// Tests of the byte cursor: little-endian reads, and underruns that take nothing.
#include "vault/byte_cursor.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <vector>

namespace quarn::vault {
namespace {

TEST(ByteCursor, ReadsLittleEndianFieldsInOrder) {
  const std::vector<std::uint8_t> bytes = {0x04, 0x03, 0x02, 0x01, 0x88, 0x77, 0x66, 0x55, 0x44,
                                           0x33, 0x22, 0xF1, 0xA0, 0xA1, 0xB0, 0xB1, 0xB2};
  ByteCursor cursor(bytes);
  EXPECT_EQ(cursor.read_u32().value(), 0x01020304u);
  EXPECT_EQ(cursor.read_u64().value(), 0xF122334455667788u);
  EXPECT_EQ(cursor.read_array<2>().value(), (std::array<std::uint8_t, 2>{0xA0, 0xA1}));
  auto rest = cursor.read_bytes(3);
  ASSERT_TRUE(rest.ok());
  EXPECT_EQ(std::vector<std::uint8_t>(rest.value().begin(), rest.value().end()),
            (std::vector<std::uint8_t>{0xB0, 0xB1, 0xB2}));
  EXPECT_EQ(rest.value().data(), bytes.data() + 14);  // borrowed, not copied
  EXPECT_EQ(cursor.remaining(), 0u);
  EXPECT_TRUE(cursor.read_bytes(0).ok());
}

TEST(ByteCursor, UnderrunFailsAndLeavesThePositionAlone) {
  const std::vector<std::uint8_t> bytes(7, 0x01);
  ByteCursor cursor(bytes);
  EXPECT_FALSE(cursor.read_u64().ok());
  EXPECT_FALSE(cursor.read_array<8>().ok());
  EXPECT_FALSE(cursor.read_bytes(8).ok());
  EXPECT_FALSE(cursor.read_bytes(std::numeric_limits<std::uint64_t>::max()).ok());
  EXPECT_EQ(cursor.remaining(), 7u);
  EXPECT_EQ(cursor.read_u32().value(), 0x01010101u);
  EXPECT_FALSE(cursor.read_u32().ok());
  EXPECT_EQ(cursor.remaining(), 3u);
}

}  // namespace
}  // namespace quarn::vault
