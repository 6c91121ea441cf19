// The dispatcher, and the ping command it answers itself.
#include "host/dispatch.h"

#include <utility>

#include "desktop/commands.h"
#include "protocol/reply.h"
#include "protocol/version.h"
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
  return protocol::ok_reply({{"installed", true}, {"version", protocol::kHostVersion}});
}

}  // namespace

json::Value handle_request(protocol::Request request, System& system) {
  return std::visit(
      Overloaded{
          [](protocol::Ping) { return handle_ping(); },
          [&](protocol::GetLastVaultPath) { return desktop::handle_get_last_vault_path(system); },
          [&](protocol::Unlock& unlock) {
            return vault::handle_unlock(system, std::move(unlock.path), std::move(unlock.password));
          },
          [&](protocol::TryLiveSession) { return desktop::handle_try_live_session(system); },
      },
      request);
}

}  // namespace quarn::host
