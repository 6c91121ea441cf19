// Tests of the vault writer's entries JSON.
#include "vault_writer/entries_json.h"

#include <gtest/gtest.h>

namespace quarn::vault_writer {
namespace {

TEST(EntriesJsonTest, ReadsEveryFieldAndDefaultsTheKeyToTheId) {
  const auto parsed = parse_entries_json(R"([
    {"key": "k1", "id": "a", "title": "T", "username": "u", "password": "p\u00e9", "url": "w",
     "last_modified": 18446744073709551615},
    {"id": "b"}
  ])");
  ASSERT_TRUE(parsed.ok()) << parsed.error();
  const auto& e = parsed.value();
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(e[0].key, "k1");
  EXPECT_EQ(e[0].id, "a");
  EXPECT_EQ(e[0].title, "T");
  EXPECT_EQ(e[0].username, "u");
  EXPECT_EQ(e[0].password, "p\xc3\xa9");
  EXPECT_EQ(e[0].url, "w");
  EXPECT_EQ(e[0].last_modified, 18446744073709551615u);
  EXPECT_EQ(e[1].key, "b");
  EXPECT_EQ(e[1].title, "");
  EXPECT_EQ(e[1].last_modified, 0u);
}

TEST(EntriesJsonTest, RejectsWhatItCannotWrite) {
  const struct {
    const char* json;
    const char* error;
  } rows[] = {
      {R"({"id": "a"})", "entries JSON: expected an array of objects"},
      {R"([{"id": "a"}, 3])", "entry 1: expected an object"},
      {R"([{"title": 3}])", "entry 0: \"title\" must be a string"},
      {R"([{"last_modified": -1}])", "entry 0: \"last_modified\" must be an unsigned integer"},
      {R"([{"last_modified": 1.5}])", "entry 0: \"last_modified\" must be an unsigned integer"},
      {R"([{"tittle": "x"}])", "entry 0: unknown member \"tittle\""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.json);
    const auto parsed = parse_entries_json(row.json);
    ASSERT_FALSE(parsed.ok());
    EXPECT_EQ(parsed.error(), row.error);
  }
  const auto bad = parse_entries_json("[");
  ASSERT_FALSE(bad.ok());
  EXPECT_EQ(bad.error().rfind("entries JSON: ", 0), 0u) << bad.error();
}

}  // namespace
}  // namespace quarn::vault_writer
