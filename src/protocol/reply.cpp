// Reply builders: a fresh object with "ok" and either "data" or "error".
#include "protocol/reply.h"

#include <utility>

namespace quarn::protocol {

inline constexpr const char* kNoSession = "NO_SESSION";

json::Value ok_reply(json::Value data) {
  json::Value reply = json::Value::object();
  reply["ok"] = true;
  reply["data"] = std::move(data);
  return reply;
}

json::Value error_reply(std::string message) {
  json::Value reply = json::Value::object();
  reply["ok"] = false;
  reply["error"] = std::move(message);
  return reply;
}

json::Value no_session_reply() { return error_reply(kNoSession); }

}  // namespace quarn::protocol
