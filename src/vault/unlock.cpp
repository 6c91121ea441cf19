// Placeholder until the vault subsystem lands.
#include "vault/unlock.h"

#include "json/reply.h"

namespace quarn::vault {

json::Value handle_unlock(std::string, std::string) {
  return json::error_reply("unlock n'est pas encore disponible");
}

}  // namespace quarn::vault
