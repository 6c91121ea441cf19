// The dispatcher, and the ping command it answers itself.
#include "host/dispatch.h"

#include <utility>

#include "desktop/commands.h"
#include "json/reply.h"
#include "vault/unlock.h"

namespace quarn::host {
namespace {

template <class... F>
struct Overloaded : F... {
  using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

json::Value handle_ping() {
  return json::ok_reply({{"installed", true}, {"version", kHostVersion}});
}

}  // namespace

json::Value handle_request(Request request) {
  return std::visit(Overloaded{
                        [](Ping) { return handle_ping(); },
                        [](GetLastVaultPath) { return desktop::handle_get_last_vault_path(); },
                        [](Unlock& unlock) {
                          return vault::handle_unlock(std::move(unlock.path),
                                                      std::move(unlock.password));
                        },
                        [](TryLiveSession) { return desktop::handle_try_live_session(); },
                    },
                    request);
}

}  // namespace quarn::host
