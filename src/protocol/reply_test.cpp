// The reply envelopes as they are written.
#include "protocol/reply.h"

#include <gtest/gtest.h>

#include "json/serialize.h"
#include "protocol/version.h"

namespace quarn::protocol {
namespace {

using json::to_compact_json;

TEST(Replies, EnvelopesSerialiseWithDataOrErrorBeforeOk) {
  EXPECT_EQ(to_compact_json(ok_reply({{"path", "x"}})), R"({"data":{"path":"x"},"ok":true})");
  EXPECT_EQ(to_compact_json(ok_reply(nullptr)), R"({"data":null,"ok":true})");
  EXPECT_EQ(to_compact_json(error_reply("Mot de passe incorrect.\t\xC3\xA9")),
            "{\"error\":\"Mot de passe incorrect.\\t\xC3\xA9\",\"ok\":false}");
  EXPECT_EQ(to_compact_json(no_session_reply()), R"({"error":"NO_SESSION","ok":false})");
}

TEST(Version, IsTheOneThePingReplyCarries) { EXPECT_STREQ(kHostVersion, "2.0.0"); }

}  // namespace
}  // namespace quarn::protocol
