// The built host against a hostile environment and a hostile end: no word on standard error when
// memory runs out, no OpenSSL configuration read, no core file and no debugger of the same user.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "platform/test_os.h"
#include "testing/host_process.h"
#include "testing/temp_folder.h"
#include "vault_writer/payload.h"
#include "vault_writer/vault_writer.h"

namespace quarn::testing {
namespace {

namespace fs = std::filesystem;

#if defined(QUARN_SANITIZED)
constexpr bool kSanitized = true;  // the sanitizers own memory limits and crash signals
#else
constexpr bool kSanitized = false;
#endif

std::string unlock_request(const std::string& path, const std::string& password) {
  return nlohmann::json{{"cmd", "unlock"}, {"path", path}, {"password", password}}.dump();
}

const std::vector<vault_writer::Entry> kEntries = {
    {"k", "id-1", "Banque", "alice", "s3cr\xC3\xA8t", "https://banque.example", 7}};
const std::string kReply =
    R"({"data":{"entries":[{"id":"id-1","last_modified":7,"password":"s3cr)"
    "\xC3\xA8"
    R"(t","title":"Banque","url":"https://banque.example","username":"alice"}]},"ok":true})";

TEST(Hardening, RunningOutOfMemoryEndsTheProcessWithoutAWord) {
  if (kSanitized) GTEST_SKIP() << "the sanitizers report allocation failures themselves";
  // One 48 MiB password (the vault stays under the cap on vault files): the file is read whole,
  // and the copies that follow do not fit.
  TempFolder folder("quarn-memory");
  const std::vector<vault_writer::Entry> entries = {
      {"k", "id", "t", "u", std::string(48u << 20, 'p'), "w", 1}};
  const Bytes file = vault_writer::serialize_v1(
      vault_writer::seal_v1("pw", vault_writer::encode_payload(entries)).fields);
  const std::string path = folder.write("huge.qv", file);

  HostOptions options;
  options.memory_limit = file.size() + (std::size_t{60} << 20);
  const HostRun run = run_host(frame(unlock_request(path, "pw")), options);
  EXPECT_FALSE(run.timed_out);
  EXPECT_EQ(run.stdout_bytes, "");
  EXPECT_EQ(run.stderr_bytes, "");
  EXPECT_NE(run.exit_status, 0);
}

TEST(Hardening, OpenSslReadsNoConfiguration) {
  TempFolder folder("quarn-openssl");
  const std::string vault = folder.write(
      "v2.qv", vault_writer::serialize_v2(
                   vault_writer::seal_v2("pw", vault_writer::encode_payload(kEntries)).fields));
  const std::string marker = folder.file("marker");
  const std::string loads_a_provider = folder.write("provider.cnf", std::string(R"(
openssl_conf = openssl_init
[openssl_init]
providers = provider_section
[provider_section]
marker = marker_section
default = default_section
[marker_section]
module = )") + QUARN_MARKER_PROVIDER + R"(
activate = 1
[default_section]
activate = 1
)");
  // Asks every algorithm to come from a FIPS provider that is not there.
  const std::string no_algorithms = folder.write("fips-only.cnf", R"(
openssl_conf = openssl_init
[openssl_init]
alg_section = algorithms
[algorithms]
default_properties = fips=yes
)");
  const std::string garbage = folder.write("garbage.cnf", "[[[ openssl_conf = \n\x01\xFF = =\n");

  for (const std::string& configuration : {loads_a_provider, no_algorithms, garbage}) {
    fs::remove(marker);
    HostOptions options;
    options.env_set = {{"OPENSSL_CONF", configuration},
                       {"OPENSSL_MODULES", folder.path().string()},
                       {"QUARN_TEST_MARKER", marker}};
    EXPECT_EQ(call_host(unlock_request(vault, "pw"), options), kReply) << configuration;
    EXPECT_EQ(call_host(unlock_request(vault, "wrong"), options),
              R"({"error":"Mot de passe incorrect.","ok":false})")
        << configuration;
    EXPECT_FALSE(fs::exists(marker)) << "the provider module was loaded with " << configuration;
  }
}

TEST(Hardening, ATracerThatHeldTheHostBeforeStartGetsNothing) {
  TempFolder folder("quarn-traced");
  const std::string vault = folder.write(
      "v1.qv", vault_writer::serialize_v1(
                   vault_writer::seal_v1("pw", vault_writer::encode_payload(kEntries)).fields));
  const std::string request = frame(unlock_request(vault, "pw"));
  // The control: the same start, stopped and continued, without a tracer.
  const auto untraced = platform::run_stopped_then_traced(host_path(), request, false);
  ASSERT_TRUE(untraced);
  EXPECT_EQ(unframe(untraced->stdout_bytes), kReply);
  EXPECT_EQ(untraced->unread_input, 0u);

  const auto traced = platform::run_stopped_then_traced(host_path(), request, true);
  if (!traced) GTEST_SKIP() << "this system does not let a process trace its own child";
  EXPECT_FALSE(traced->timed_out);
  EXPECT_EQ(traced->stdout_bytes, "");
  EXPECT_NE(traced->exit_status, 0);
  // Not a byte of the request, password included, was read into the traced process.
  EXPECT_EQ(traced->unread_input, request.size());
}

TEST(Hardening, ACrashDuringAnUnlockLeavesNoCoreAndNoDebuggerCanAttach) {
  const auto pattern = platform::core_file_name_pattern();
  if (!pattern) {
    GTEST_SKIP() << "core files do not go to the crashing process's folder here "
                    "(/proc/sys/kernel/core_pattern names a pipe or a folder)";
  }
  TempFolder vaults("quarn-crash-vault");
  const std::string vault = vaults.write(
      "v2.qv", vault_writer::serialize_v2(
                   vault_writer::seal_v2("pw", vault_writer::encode_payload(kEntries)).fields));
  // The host's working folder, where a core file would land; open to the other user too.
  TempFolder work("quarn-crash");
  fs::permissions(work.path(), fs::perms::all);

  HostOptions options;
  options.working_dir = work.path().string();
  options.allow_core_file = true;
  // The system hands a process that is not dumpable to root; seen from another user only.
  if (platform::is_superuser()) options.run_as_uid = 65534;
  std::optional<int> owner;
  std::optional<std::string> no_new_privs;
  std::optional<std::string> seccomp;
  bool in_derivation = false;
  options.while_running = [&](int pid) {
    // The derivation's 64 MiB working area shows that the password is being used.
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < give_up) {
      const auto resident = platform::resident_memory(pid);
      if (!resident) break;
      if (*resident >= (std::size_t{64} << 20)) {
        in_derivation = true;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    owner = platform::process_table_owner(pid);
    no_new_privs = platform::process_status_field(pid, "NoNewPrivs");
    seccomp = platform::process_status_field(pid, "Seccomp");
    if (!kSanitized) platform::crash_process(pid);
  };
  const HostRun run = run_host(frame(unlock_request(vault, "pw")), options);
  ASSERT_TRUE(in_derivation) << "the host ended before it was seen deriving the key";
  EXPECT_EQ(owner, 0) << "the host's process entry is not root's: it is dumpable";
  // Confined while it holds the password: no privileges to gain, and a seccomp filter (mode 2).
  EXPECT_EQ(no_new_privs, "1");
  EXPECT_EQ(seccomp, "2");
  if (kSanitized) return;
  EXPECT_EQ(run.exit_status, 128 + 11);
  EXPECT_EQ(run.stdout_bytes, "");
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(work.path())) {
    left.push_back(entry.path().filename().string());
  }
  EXPECT_TRUE(left.empty()) << "core pattern \"" << *pattern << "\": " << left.front();
}

}  // namespace
}  // namespace quarn::testing
