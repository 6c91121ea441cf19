// A bcrypt.dll planted beside the host (a Downloads folder, say) is never loaded into it, and the
// host still unlocks a vault with the system's own. Windows takes a file beside the program for
// any DLL that is not one of its KnownDLLs; Wine prefers its own DLL unless WINEDLLOVERRIDES
// says "bcrypt=n,b", which CTest sets for this test. The control shows, in either case, that a
// program loading the DLL the ordinary way takes the planted file, so that the first test could
// see a host that did.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "testing/host_process.h"
#include "testing/temp_folder.h"
#include "vault_writer/payload.h"
#include "vault_writer/vault_writer.h"

namespace quarn::testing {
namespace {

namespace fs = std::filesystem;

const char* const kMarker = "planted-dll-loaded";

// The planted DLL and a program copied into a fresh folder together.
class PlantedDll : public ::testing::Test {
 protected:
  std::string plant_beside(const std::string& program, const std::string& name) {
    fs::copy_file(QUARN_PLANTED_DLL, folder_.path() / "bcrypt.dll");
    fs::copy_file(program, folder_.path() / name);
    return folder_.file(name);
  }

  bool planted_dll_loaded() const { return fs::exists(folder_.path() / kMarker); }

  TempFolder folder_{"quarn-planted"};
};

TEST_F(PlantedDll, NotLoadedByTheHostWhichUnlocksWithTheSystemOne) {
  const std::vector<vault_writer::Entry> entries = {
      {"k", "p1", "Planted", "u", "pw", "https://example.com", 5}};
  const auto vault = vault_writer::seal_v1("planted", vault_writer::encode_payload(entries));
  const std::string path = folder_.write("v1.vault", vault_writer::serialize_v1(vault.fields));
  const std::string host = plant_beside(host_path(), "quarn-host.exe");

  const std::string request =
      nlohmann::json{{"cmd", "unlock"}, {"path", path}, {"password", "planted"}}.dump();
  const HostRun run = run_program(host, frame(request));
  EXPECT_FALSE(planted_dll_loaded());
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(unframe(run.stdout_bytes),
            R"({"data":{"entries":[{"id":"p1","last_modified":5,"password":"pw",)"
            R"("title":"Planted","url":"https://example.com","username":"u"}]},"ok":true})");
  EXPECT_EQ(run.stderr_bytes, "");
}

TEST_F(PlantedDll, TakenByAProgramThatLoadsItTheOrdinaryWay) {
  const std::string probe = plant_beside(QUARN_PLAIN_LOAD_PROBE, "probe.exe");
  const HostRun run = run_program(probe, "");
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_TRUE(planted_dll_loaded());
}

}  // namespace
}  // namespace quarn::testing
