// fake-desktop: plays the desktop application's live-session side on a loopback port.
//
//   fake-desktop --state-dir DIR [--token TOKEN] [--behaviour NAME] [--answer TEXT] [--count N]
//
// Listens on 127.0.0.1 at a port that the system picks, writes DIR/session.json with that port
// and TOKEN (creating DIR when needed), prints the port on its own line, and serves N connections
// (0, the default: until it is stopped) as the behaviour says (default "answer"). The answer is
// TEXT when given; otherwise a small list of entries when the query carries TOKEN, and a refusal
// when it does not. SIGINT and SIGTERM remove session.json and end the program (between
// connections).
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "fake_desktop/fake_desktop.h"
#include "json/parse.h"
#include "json/serialize.h"
#include "platform/arguments.h"

namespace {

using quarn::fake_desktop::Behaviour;

// Set by SIGINT and SIGTERM; the serving loop looks at it between connections.
volatile std::sig_atomic_t stop_requested = 0;

extern "C" void request_stop(int) { stop_requested = 1; }

// How long one wait for a connection lasts before the loop looks at stop_requested again.
constexpr int kAcceptSliceMs = 100;

std::string sample_entries() {
  quarn::json::Value entries = quarn::json::Value::array();
  entries.push_back({{"id", "7f3c"},
                     {"last_modified", 1718000000},
                     {"password", "correct horse battery staple"},
                     {"title", "Messagerie"},
                     {"url", "https://mail.example.org"},
                     {"username", "alice"}});
  entries.push_back({{"id", "a91e"},
                     {"last_modified", 1718003600},
                     {"password", "p\xC3\xA2te-\xC3\xA0-cr\xC3\xAApes"},
                     {"title", "Banque"},
                     {"url", "https://banque.example.fr"},
                     {"username", "alice.martin"}});
  quarn::json::Value data = quarn::json::Value::object();
  data["entries"] = std::move(entries);
  quarn::json::Value answer = quarn::json::Value::object();
  answer["data"] = std::move(data);
  answer["ok"] = true;
  return quarn::json::to_compact_json(answer);
}

std::string answer_for(std::string_view query, const std::string& token) {
  const auto parsed = quarn::json::parse_strict(query);
  const bool known = parsed && parsed->is_object() && parsed->value("cmd", "") == "get_entries" &&
                     parsed->contains("token") && (*parsed)["token"] == token;
  return known ? sample_entries() : "{\"error\":\"BAD_TOKEN\",\"ok\":false}";
}

int usage() {
  std::fputs(
      "usage: fake-desktop --state-dir DIR [--token TOKEN] [--behaviour NAME] [--answer TEXT] "
      "[--count N]\n"
      "behaviours: answer two-lines no-line-feed no-line-feed-keep-open silent close-at-once "
      "oversized slow\n",
      stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string state_dir;
  std::string token = "demo-token";
  Behaviour behaviour = Behaviour::kAnswer;
  std::optional<std::string> fixed_answer;
  long count = 0;
  const std::vector<std::string> args = quarn::platform::program_arguments(argc, argv);
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool has_value = i + 1 < args.size();
    if (arg == "--state-dir" && has_value) {
      state_dir = args[++i];
    } else if (arg == "--token" && has_value) {
      token = args[++i];
    } else if (arg == "--behaviour" && has_value) {
      const auto named = quarn::fake_desktop::behaviour_from_name(args[++i]);
      if (!named) return usage();
      behaviour = *named;
    } else if (arg == "--answer" && has_value) {
      fixed_answer = args[++i];
    } else if (arg == "--count" && has_value) {
      count = std::strtol(args[++i].c_str(), nullptr, 10);
    } else {
      return usage();
    }
  }
  if (state_dir.empty()) return usage();

  std::error_code ignored;
  std::filesystem::create_directories(quarn::platform::file_path(state_dir), ignored);
  auto listener = quarn::fake_desktop::Listener::open();
  if (!listener) {
    std::perror("fake-desktop: listen");
    return 1;
  }
  const std::filesystem::path session_path = quarn::platform::file_path(state_dir) / "session.json";
  std::signal(SIGINT, request_stop);
  std::signal(SIGTERM, request_stop);
  if (!quarn::fake_desktop::write_session_file(state_dir, listener->port(), token)) {
    std::perror("fake-desktop: session.json");
    return 1;
  }
  std::printf("%u\n", static_cast<unsigned>(listener->port()));
  std::fflush(stdout);

  const quarn::fake_desktop::AnswerFn answer = [&](std::string_view query) {
    return fixed_answer ? *fixed_answer : answer_for(query, token);
  };
  for (long served = 0; (count == 0 || served < count) && !stop_requested;) {
    if (listener->serve_one(behaviour, answer, kAcceptSliceMs).accepted) ++served;
  }
  std::filesystem::remove(session_path, ignored);
  return 0;
}
