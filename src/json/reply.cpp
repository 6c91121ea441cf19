// Reply builders: a fresh object with "ok" and either "data" or "error".
#include "json/reply.h"

#include <utility>

namespace quarn::json {

Value ok_reply(Value data) {
  Value reply = Value::object();
  reply["ok"] = true;
  reply["data"] = std::move(data);
  return reply;
}

Value error_reply(std::string message) {
  Value reply = Value::object();
  reply["ok"] = false;
  reply["error"] = std::move(message);
  return reply;
}

Value no_session_reply() { return error_reply("NO_SESSION"); }

}  // namespace quarn::json
