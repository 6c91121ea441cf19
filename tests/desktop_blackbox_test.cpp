// Black-box tests of get_last_vault_path and try_live_session: the built host against state
// folders in a temporary HOME and a fake desktop application on loopback.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "fake_desktop/fake_desktop.h"
#include "platform/arguments.h"
#include "platform/loopback.h"
#include "platform/profile.h"
#include "platform/test_os.h"
#include "testing/host_process.h"
#include "testing/temp_folder.h"

namespace quarn::testing {
namespace {

namespace fs = std::filesystem;
using fake_desktop::Behaviour;
using Clock = std::chrono::steady_clock;

constexpr const char* kGetLastVaultPath = R"({"cmd":"get_last_vault_path"})";
constexpr const char* kTryLiveSession = R"({"cmd":"try_live_session"})";
constexpr const char* kNoSession = R"({"error":"NO_SESSION","ok":false})";

std::string path_reply(const std::string& json_path) {
  return R"({"data":{"path":)" + json_path + R"(},"ok":true})";
}

std::string query_line(const std::string& json_token) {
  return R"({"cmd":"get_entries","token":)" + json_token + "}\n";
}

// A temporary home folder, open to every user so that the host can run under another id. Where
// the profile cannot be chosen through the environment, it is this process's own profile, whose
// state folder is emptied first and goes with the object (the tests take turns at it).
class TempHome {
 public:
  TempHome() : variable_(platform::profile_variable()) {
    if (variable_.empty()) {
      path_ = platform::profile_folder().value_or(".");
      std::error_code ignored;
      fs::remove_all(platform::file_path(state_dir()), ignored);
    } else {
      folder_.emplace("quarn-home");
      path_ = folder_->path().string();
    }
  }
  TempHome(const TempHome&) = delete;
  TempHome& operator=(const TempHome&) = delete;
  ~TempHome() {
    if (folder_) return;
    std::error_code ignored;
    fs::remove_all(platform::file_path(state_dir()), ignored);
  }
  const std::string& path() const { return path_; }
  std::string state_dir() const { return path_ + "/.quarn"; }

  // Writes `name` in the state folder (relative to `under`, the home by default).
  void write_state(const std::string& name, const std::string& bytes,
                   const std::string& under = "") const {
    const fs::path file =
        platform::file_path(path_ + "/" + (under.empty() ? "" : under + "/") + ".quarn/" + name);
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
  }

  HostOptions options() const {
    HostOptions options;
    if (!variable_.empty()) options.env_set[variable_] = path_;
    options.timeout_ms = 10000;
    return options;
  }

 private:
  std::string variable_;
  std::optional<TempFolder> folder_;
  std::string path_;
};

// A connection of the test's own to a loopback port.
std::unique_ptr<LoopbackConnection> connect_to(std::uint16_t port) {
  auto connection = platform::connect_loopback(port, {1000, 1000, 1000, 5000});
  return connection ? std::move(connection).value() : nullptr;
}

long elapsed_ms(Clock::time_point since) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

// How long the host takes to start, answer ping and end: the yardstick for "at once".
long host_round_trip_ms() {
  const auto start = Clock::now();
  EXPECT_EQ(call_host(R"({"cmd":"ping"})"),
            R"({"data":{"installed":true,"version":"2.0.0"},"ok":true})");
  return elapsed_ms(start);
}

// ---- get_last_vault_path ----

TEST(GetLastVaultPath, AnswersTheTrimmedContentOrEmpty) {
  struct Case {
    const char* what;
    std::optional<std::string> content;  // nothing: no file at all
    std::string json_path;
  };
  const Case cases[] = {
      {"no state folder", std::nullopt, R"("")"},
      {"outer white space", "  /home/alice/Coffres/perso.qvault\r\n",
       R"("/home/alice/Coffres/perso.qvault")"},
      {"Unicode white space", "\xE3\x80\x80\xC2\xA0/v/\xC3\xA9t\xC3\xA9.qvault\xE2\x80\xA9\n",
       "\"/v/\xC3\xA9t\xC3\xA9.qvault\""},
      {"byte-order mark kept", "\xEF\xBB\xBF/v/a.qvault\n", "\"\xEF\xBB\xBF/v/a.qvault\""},
      {"two lines", "/v/one\r\n/v/two\n", R"("/v/one\r\n/v/two")"},
      {"quotes and backslashes", "C:\\Coffres\\\"x\".qvault", R"("C:\\Coffres\\\"x\".qvault")"},
      {"not UTF-8", "/v/caf\xE9.qvault\n", R"("")"},
      {"empty file", "", R"("")"},
  };
  for (const auto& c : cases) {
    TempHome home;
    if (c.content) home.write_state("last_vault.txt", *c.content);
    EXPECT_EQ(call_host(kGetLastVaultPath, home.options()), path_reply(c.json_path)) << c.what;
  }
}

TEST(GetLastVaultPath, FolderInPlaceOfTheFileGivesEmpty) {
  TempHome home;
  fs::create_directories(home.state_dir() + "/last_vault.txt");
  EXPECT_EQ(call_host(kGetLastVaultPath, home.options()), path_reply(R"("")"));
}

TEST(StateFolder, AccountHomeWhenHomeIsUnusable) {
  const auto nobody = platform::find_account("nobody");
  if (!platform::is_superuser() || !nobody || nobody->home.empty() || nobody->home[0] != '/' ||
      fs::exists(nobody->home + "/.quarn")) {
    GTEST_SKIP() << "needs root and a user 'nobody' without a state folder";
  }
  const int nobody_uid = nobody->uid;
  // Decoys: a state folder in the current directory and one under the relative HOME.
  TempHome cwd;
  cwd.write_state("last_vault.txt", "/v/decoy-cwd.qvault");
  cwd.write_state("last_vault.txt", "/v/decoy-relative.qvault", "relative");
  for (const std::optional<std::string>& home :
       {std::optional<std::string>(), std::optional<std::string>(""),
        std::optional<std::string>("relative")}) {
    HostOptions options;
    options.working_dir = cwd.path();
    options.run_as_uid = nobody_uid;
    if (home) {
      options.env_set["HOME"] = *home;
    } else {
      options.env_unset = {"HOME"};
    }
    EXPECT_EQ(call_host(kGetLastVaultPath, options), path_reply(R"("")"))
        << "HOME=" << home.value_or("<unset>");
  }
}

// ---- try_live_session ----

constexpr const char* kOwnersUnknown =
    "this system does not name who owns a loopback peer, so the host talks to none";

// The fake application serving one connection on a thread, at a fresh port; with an `owner`, its
// sockets belong to that user (root on Linux only: check `ok()`).
class DesktopThread {
 public:
  DesktopThread(Behaviour behaviour, std::string answer, std::optional<int> owner = std::nullopt)
      : answer_(std::move(answer)) {
    const auto open = [this] {
      if (auto opened = fake_desktop::Listener::open()) listener_.emplace(std::move(*opened));
    };
    if (!owner) {
      open();
    } else if (!platform::as_owner(*owner, open)) {
      return;  // ok() says so
    }
    if (!listener_) {
      ADD_FAILURE() << "no listener";
      return;
    }
    thread_ = std::thread([this, behaviour, owner] {
      const auto serve = [&] {
        exchange_ = listener_->serve_one(behaviour, [this](auto) { return answer_; });
      };
      // Sockets take the user of whoever accepts them, so the accepting thread is that user too.
      if (owner) {
        (void)platform::as_owner(*owner, serve);
      } else {
        serve();
      }
    });
  }
  ~DesktopThread() { (void)finish(); }

  bool ok() const { return listener_.has_value(); }
  std::uint16_t port() const { return listener_ ? listener_->port() : 0; }

  // What the connection carried. A host that never connected leaves the thread waiting, so a
  // connection of our own, closed at once, releases it; it comes after any connection of the
  // host's in the queue.
  const fake_desktop::Exchange& finish() {
    if (thread_.joinable()) {
      connect_to(port());
      thread_.join();
    }
    return exchange_;
  }

 private:
  std::optional<fake_desktop::Listener> listener_;
  std::string answer_;
  fake_desktop::Exchange exchange_;
  std::thread thread_;
};

// One exchange: the fake application at a fresh port, named in session.json under `home`.
struct LiveRun {
  std::string reply;
  fake_desktop::Exchange exchange;
  long elapsed_ms = 0;
};

LiveRun run_live(const TempHome& home, Behaviour behaviour, const std::string& answer,
                 const std::string& token = "tok") {
  LiveRun run;
  DesktopThread desktop(behaviour, answer);
  EXPECT_TRUE(fake_desktop::write_session_file(home.state_dir(), desktop.port(), token));
  const auto start = Clock::now();
  run.reply = call_host(kTryLiveSession, home.options());
  run.elapsed_ms = elapsed_ms(start);
  run.exchange = desktop.finish();
  return run;
}

TEST(StateFolder, CurrentDirectoryWhenThereIsNoProfileFolder) {
  if (!platform::loopback_peer_owners_are_known()) GTEST_SKIP() << kOwnersUnknown;
  const auto uid = platform::unknown_user_id();
  if (!platform::is_superuser() || !uid) GTEST_SKIP() << "needs root and a free user id";
  TempHome cwd;
  cwd.write_state("last_vault.txt", " /v/from-cwd.qvault\n");
  // The application runs as the host's user: the host talks to no other.
  DesktopThread desktop(Behaviour::kAnswer, R"(["cwd"])", *uid);
  ASSERT_TRUE(desktop.ok());
  ASSERT_TRUE(fake_desktop::write_session_file(cwd.state_dir(), desktop.port(), "cwd"));

  HostOptions options;
  options.env_unset = {"HOME"};
  options.working_dir = cwd.path();
  options.run_as_uid = *uid;
  options.timeout_ms = 10000;
  EXPECT_EQ(call_host(kGetLastVaultPath, options), path_reply(R"("/v/from-cwd.qvault")"));
  EXPECT_EQ(call_host(kTryLiveSession, options), R"(["cwd"])");
  EXPECT_EQ(desktop.finish().received, query_line(R"("cwd")"));
}

TEST(TryLiveSession, RelaysTheAnswerReserialised) {
  if (!platform::loopback_peer_owners_are_known()) GTEST_SKIP() << kOwnersUnknown;
  const std::string deep = std::string(127, '[') + std::string(127, ']');
  struct Case {
    const char* what;
    Behaviour behaviour;
    std::string answer;
    std::string reply;
  };
  const Case cases[] = {
      {"keys sorted, last repeat kept, numbers in the host's forms", Behaviour::kAnswer,
       R"({"z":1,"data":{"y":-0,"b":18446744073709551616,"n":-9223372036854775809},)"
       R"("a":"\u00e9\/","z":2})",
       "{\"a\":\"\xC3\xA9/\",\"data\":{\"b\":1.8446744073709552e19,\"n\":-9.223372036854776e18,"
       "\"y\":-0.0},\"z\":2}"},
      {"carriage return before the line feed", Behaviour::kAnswer, "{\"b\":1,\"a\":2}\r",
       R"({"a":2,"b":1})"},
      {"Unicode white space around", Behaviour::kAnswer, "\xC2\xA0 [1]\xE3\x80\x80", "[1]"},
      {"only the first of two lines", Behaviour::kTwoLines, R"(["first"])", R"(["first"])"},
      {"no line feed, then closed", Behaviour::kNoLineFeed, R"({"entries":[]})",
       R"({"entries":[]})"},
      {"bare string", Behaviour::kAnswer, R"("bonjour")", R"("bonjour")"},
      {"bare number", Behaviour::kAnswer, "42", "42"},
      {"null", Behaviour::kAnswer, "null", "null"},
      {"127 levels of nesting", Behaviour::kAnswer, deep, deep},
      {"small pieces, each within the receive limit", Behaviour::kSlow,
       R"({"data":{"entries":[{"id":"1","title":"Banque"}]},"ok":true})",
       R"({"data":{"entries":[{"id":"1","title":"Banque"}]},"ok":true})"},
  };
  for (const auto& c : cases) {
    TempHome home;
    const LiveRun run = run_live(home, c.behaviour, c.answer);
    EXPECT_EQ(run.reply, c.reply) << c.what;
    EXPECT_EQ(run.exchange.received, query_line(R"("tok")")) << c.what;
  }
}

TEST(TryLiveSession, ReadsAtMost65536Bytes) {
  if (!platform::loopback_peer_owners_are_known()) GTEST_SKIP() << kOwnersUnknown;
  // A string of exactly 65536 bytes, quotes included, is read whole and nothing after it; one
  // byte more and the value is cut.
  const std::string fits = "\"" + std::string(65534, 'x') + "\"";
  const std::string too_long = "\"" + std::string(65535, 'x') + "\"";
  TempHome home;
  const std::string reply = run_live(home, Behaviour::kNoLineFeedKeepOpen, fits + "more").reply;
  EXPECT_TRUE(reply == fits) << reply.size() << " bytes: " << reply.substr(0, 40);
  EXPECT_EQ(run_live(home, Behaviour::kAnswer, too_long).reply, kNoSession);
  EXPECT_EQ(run_live(home, Behaviour::kOversized, "").reply, kNoSession);
}

TEST(TryLiveSession, NoSessionForABadAnswer) {
  if (!platform::loopback_peer_owners_are_known()) GTEST_SKIP() << kOwnersUnknown;
  struct Case {
    const char* what;
    Behaviour behaviour;
    std::string answer;
  };
  const Case cases[] = {
      {"closed at once", Behaviour::kCloseAtOnce, ""},
      {"closed without a byte", Behaviour::kNoLineFeed, ""},
      {"empty line", Behaviour::kAnswer, ""},
      {"white space only", Behaviour::kAnswer, " \t\xC2\xA0\r"},
      {"text after the value", Behaviour::kAnswer, R"({"ok":true} x)"},
      {"two values", Behaviour::kAnswer, "{}{}"},
      {"not UTF-8", Behaviour::kAnswer, "\"caf\xE9\""},
      {"byte-order mark", Behaviour::kAnswer, "\xEF\xBB\xBF{}"},
      {"128 levels of nesting", Behaviour::kAnswer, std::string(128, '[') + std::string(128, ']')},
      {"not JSON", Behaviour::kAnswer, "OK"},
  };
  for (const auto& c : cases) {
    TempHome home;
    const LiveRun run = run_live(home, c.behaviour, c.answer);
    EXPECT_EQ(run.reply, kNoSession) << c.what;
    EXPECT_TRUE(run.exchange.accepted) << c.what;
  }
}

TEST(TryLiveSession, EachReceiveWaitsAbout800Ms) {
  if (!platform::loopback_peer_owners_are_known()) GTEST_SKIP() << kOwnersUnknown;
  const long baseline = host_round_trip_ms();
  struct Case {
    const char* what;
    Behaviour behaviour;
    std::string answer;
  };
  const Case cases[] = {
      {"accepts and says nothing", Behaviour::kSilent, ""},
      {"no line feed, kept open", Behaviour::kNoLineFeedKeepOpen, R"({"a":1})"},
  };
  for (const auto& c : cases) {
    TempHome home;
    const LiveRun run = run_live(home, c.behaviour, c.answer);
    EXPECT_EQ(run.reply, kNoSession) << c.what;
    // The host sent its query and nothing more, and kept the connection until its limit ran out.
    EXPECT_EQ(run.exchange.received, query_line(R"("tok")")) << c.what;
    EXPECT_GE(run.elapsed_ms, 800) << c.what;
    EXPECT_LT(run.elapsed_ms - baseline, 800 + 400) << c.what;
  }
}

// A state file is a line or two: a pipe in its place, or a file over 64 KiB, reads as missing, and
// at once (a pipe with no writer used to keep the host waiting for ever).
TEST(StateFiles, PipesAndOversizedFilesReadAsMissing) {
  constexpr std::size_t kCap = 64 * 1024;
  const auto padded = [](std::string text, std::size_t size) {
    text.resize(size, ' ');
    return text;
  };
  {
    TempHome home;
    home.write_state("last_vault.txt", padded("/v/at-cap.qvault", kCap));
    EXPECT_EQ(call_host(kGetLastVaultPath, home.options()), path_reply(R"("/v/at-cap.qvault")"));
    home.write_state("last_vault.txt", padded("/v/over-cap.qvault", kCap + 1));
    EXPECT_EQ(call_host(kGetLastVaultPath, home.options()), path_reply(R"("")"));
  }
  if (!platform::loopback_peer_owners_are_known()) GTEST_SKIP() << kOwnersUnknown;
  for (const std::size_t size : {kCap, kCap + 1}) {
    TempHome home;
    DesktopThread desktop(Behaviour::kAnswer, "[]");
    home.write_state(
        "session.json",
        padded(R"({"port":)" + std::to_string(desktop.port()) + R"(,"token":"tok"})", size));
    const bool read = size <= kCap;
    EXPECT_EQ(call_host(kTryLiveSession, home.options()), read ? "[]" : kNoSession) << size;
    EXPECT_EQ(desktop.finish().received, read ? query_line(R"("tok")") : "") << size;
  }
  TempHome home;
  fs::create_directories(home.state_dir());
  if (!platform::make_fifo(home.state_dir() + "/last_vault.txt") ||
      !platform::make_fifo(home.state_dir() + "/session.json")) {
    GTEST_SKIP() << "this system has no named pipes at file paths";
  }
  EXPECT_EQ(call_host(kGetLastVaultPath, home.options()), path_reply(R"("")"));
  EXPECT_EQ(call_host(kTryLiveSession, home.options()), kNoSession);
}

// A peer that sends a byte at a time, each within the receive limit, is cut off by the limit on
// the whole exchange (the 30-odd bytes here would otherwise take over 12 s).
TEST(TryLiveSession, TheWholeExchangeEndsWithinAboutTwoSeconds) {
  if (!platform::loopback_peer_owners_are_known()) GTEST_SKIP() << kOwnersUnknown;
  const long baseline = host_round_trip_ms();
  TempHome home;
  const LiveRun run = run_live(home, Behaviour::kTrickle, R"({"entries":["a","b","c","d"]})");
  EXPECT_EQ(run.reply, kNoSession);
  EXPECT_EQ(run.exchange.received, query_line(R"("tok")"));
  EXPECT_GE(run.elapsed_ms, 1800);
  EXPECT_LT(run.elapsed_ms - baseline, 2000 + 1500);
}

// The token is for the desktop application alone: a port held by another user of the machine
// (left behind in a stale session file, say) gets nothing, and its answer is not relayed.
TEST(TryLiveSession, APortHeldByAnotherUserGetsNoToken) {
  const auto other = platform::unknown_user_id();
  if (!other) GTEST_SKIP() << "needs a free user id";
  DesktopThread desktop(Behaviour::kAnswer, R"({"forged":true})", *other);
  if (!desktop.ok()) GTEST_SKIP() << "needs root on Linux to listen as another user";
  TempHome home;
  ASSERT_TRUE(fake_desktop::write_session_file(home.state_dir(), desktop.port(), "secret"));
  EXPECT_EQ(call_host(kTryLiveSession, home.options()), kNoSession);
  EXPECT_EQ(desktop.finish().received, "");
}

// Where the owner of the port cannot be found, the host hands nothing to whoever is there.
TEST(TryLiveSession, APeerWhoseOwnerIsUnknownGetsNoToken) {
  if (platform::loopback_peer_owners_are_known()) {
    GTEST_SKIP() << "this system names every loopback peer's owner";
  }
  TempHome home;
  const LiveRun run = run_live(home, Behaviour::kAnswer, R"({"forged":true})", "secret");
  EXPECT_EQ(run.reply, kNoSession);
  EXPECT_EQ(run.exchange.received, "");
}

TEST(TryLiveSession, QueryCarriesTheTokenEscaped) {
  if (!platform::loopback_peer_owners_are_known()) GTEST_SKIP() << kOwnersUnknown;
  struct Case {
    std::string token;
    std::string json_token;
  };
  const Case cases[] = {
      {"a\"b\\c", R"("a\"b\\c")"},
      {"", R"("")"},
      {"two\nlines\t", R"("two\nlines\t")"},
      {"cl\xC3\xA9/\x7F", "\"cl\xC3\xA9/\x7F\""},
  };
  for (const auto& c : cases) {
    TempHome home;
    const LiveRun run = run_live(home, Behaviour::kAnswer, "true", c.token);
    EXPECT_EQ(run.reply, "true") << c.json_token;
    EXPECT_EQ(run.exchange.received, query_line(c.json_token));
  }
}

TEST(TryLiveSession, SessionFileFormsAndFaults) {
  if (!platform::loopback_peer_owners_are_known()) GTEST_SKIP() << kOwnersUnknown;
  // Each session text names the port through "{}"; a fake application listens there.
  struct Case {
    std::optional<std::string> session;  // nothing: no session file
    bool valid;
  };
  const Case cases[] = {
      {R"({"pid":7,"port":{},"token":"tok"})", true},
      {R"([{},"tok"])", true},
      {std::nullopt, false},
      {"", false},
      {"\xEF\xBB\xBF{\"port\":{},\"token\":\"tok\"}", false},
      {R"({"port":{},"port":{},"token":"tok"})", false},
      {R"({"port":"{}","token":"tok"})", false},
      {R"({"port":{}.0,"token":"tok"})", false},
      {R"({"port":{},"token":7})", false},
      {R"([{},"tok",1])", false},
      {R"({"port":{},"token":"tok"} x)", false},
  };
  for (const auto& c : cases) {
    TempHome home;
    DesktopThread desktop(Behaviour::kAnswer, "[]");
    std::string text = c.session.value_or("");
    for (auto at = text.find("{}"); at != std::string::npos; at = text.find("{}", at)) {
      text.replace(at, 2, std::to_string(desktop.port()));
    }
    if (c.session) home.write_state("session.json", text);
    EXPECT_EQ(call_host(kTryLiveSession, home.options()), c.valid ? "[]" : kNoSession) << text;
    // An invalid session must not even reach the application.
    EXPECT_EQ(desktop.finish().received, c.valid ? query_line(R"("tok")") : "") << text;
  }
}

TEST(TryLiveSession, FailsAtOnceWhenNobodyListens) {
  const long baseline = host_round_trip_ms();
  std::uint16_t stale = 0;
  {
    auto gone = fake_desktop::Listener::open();
    ASSERT_TRUE(gone);
    stale = gone->port();
  }
  for (const std::uint16_t port : {stale, std::uint16_t{0}}) {
    TempHome home;
    ASSERT_TRUE(fake_desktop::write_session_file(home.state_dir(), port, "tok"));
    const auto start = Clock::now();
    EXPECT_EQ(call_host(kTryLiveSession, home.options()), kNoSession) << port;
    EXPECT_LT(elapsed_ms(start) - baseline, 300) << port;
  }
}

TEST(TryLiveSession, GivesUpConnectingAfterAbout400Ms) {
  // A listener whose one-place queue is taken leaves further connection requests unanswered.
  auto listener = fake_desktop::Listener::open(/*backlog=*/0);
  ASSERT_TRUE(listener);
  const auto filler = connect_to(listener->port());
  ASSERT_NE(filler, nullptr);

  const long baseline = host_round_trip_ms();
  TempHome home;
  ASSERT_TRUE(fake_desktop::write_session_file(home.state_dir(), listener->port(), "tok"));
  const auto start = Clock::now();
  EXPECT_EQ(call_host(kTryLiveSession, home.options()), kNoSession);
  const long elapsed = elapsed_ms(start);
  EXPECT_GE(elapsed, 400);
  EXPECT_LT(elapsed - baseline, 400 + 300);
}

}  // namespace
}  // namespace quarn::testing
