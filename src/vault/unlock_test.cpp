// The unlock command over a scripted system: what it asks of the system, and every failure that
// comes from the file rather than from the vault's contents.
#include "vault/unlock.h"

#include <gtest/gtest.h>

#include <string>

#include "json/serialize.h"
#include "testing/scripted_system.h"
#include "vault_writer/payload.h"
#include "vault_writer/vault_writer.h"

namespace quarn::vault {
namespace {

using testing::ScriptedSystem;

constexpr std::size_t kDerivationMemory = std::size_t{64} << 20;
constexpr std::size_t kMaxVaultFileSize = std::size_t{64} << 20;

std::string unlock(ScriptedSystem& system, const std::string& path,
                   const std::string& password = "pw") {
  return json::to_compact_json(handle_unlock(system, path, SecretText(std::string(password))));
}

TEST(HandleUnlock, FailuresOfTheFileBecomeTheirReplies) {
  struct Case {
    const char* what;
    OsError read_error;
    std::string reply;
  };
  const Case cases[] = {
      {"permission", OsError{13},
       R"j({"error":"Erreur de lecture : scripted error 13 (os error 13)","ok":false})j"},
      {"a folder", OsError{21},
       R"j({"error":"Erreur de lecture : scripted error 21 (os error 21)","ok":false})j"},
      {"no memory for the bytes", OsError::no_memory(),
       R"({"error":"Erreur de lecture : out of memory","ok":false})"},
      {"a pipe or a device", OsError::not_a_file(),
       R"({"error":"Erreur de lecture : le chemin ne désigne pas un fichier ordinaire.","ok":false})"},
      {"over the cap", OsError::too_large(),
       R"({"error":"Erreur de lecture : fichier trop volumineux (limite 67108864 octets).","ok":false})"},
  };
  for (const auto& c : cases) {
    ScriptedSystem system;
    system.add_unreadable("/v/a.qv", c.read_error, 4096);
    EXPECT_EQ(unlock(system, "/v/a.qv"), c.reply) << c.what;
  }
}

TEST(HandleUnlock, NothingIsReadWhenThePathDoesNotExist) {
  ScriptedSystem system;
  EXPECT_EQ(unlock(system, "/v/missing.qv"), R"({"error":"NOT_FOUND","ok":false})");
  EXPECT_EQ(system.queried_paths, std::vector<std::string>{"/v/missing.qv"});
  EXPECT_TRUE(system.reads.empty());
  EXPECT_TRUE(system.heap_requests.empty());
  EXPECT_TRUE(system.areas_acquired.empty());
}

TEST(HandleUnlock, OneQueryGivesTheSizeForTheHeapAndTheReadIsCapped) {
  const std::vector<vault_writer::Entry> entries = {{"k", "id", "t", "u", "p", "w", 9}};
  const Bytes file = vault_writer::serialize_v1(
      vault_writer::seal_v1("pw", vault_writer::encode_payload(entries)).fields);
  ScriptedSystem system;
  system.add_file("/v/a.qv", text_of(file));
  EXPECT_EQ(unlock(system, "/v/a.qv"),
            R"({"data":{"entries":[{"id":"id","last_modified":9,"password":"p","title":"t",)"
            R"("url":"w","username":"u"}]},"ok":true})");
  EXPECT_EQ(system.queried_paths.size(), 1u);
  ASSERT_EQ(system.reads.size(), 1u);
  EXPECT_EQ(system.reads[0].max_size, kMaxVaultFileSize);
  EXPECT_EQ(system.heap_requests, std::vector<std::size_t>{8 * file.size()});
  // The derivation's working area comes from the system once and goes back before the reply.
  EXPECT_EQ(system.areas_acquired, std::vector<std::size_t>{kDerivationMemory});
  EXPECT_EQ(system.areas_released, std::vector<std::size_t>{kDerivationMemory});
}

TEST(HandleUnlock, AWrongPasswordStillGivesTheWorkingAreaBack) {
  const std::vector<vault_writer::Entry> entries = {{"k", "id", "t", "u", "p", "w", 9}};
  const Bytes file = vault_writer::serialize_v2(
      vault_writer::seal_v2("pw", vault_writer::encode_payload(entries)).fields);
  ScriptedSystem system;
  system.add_file("/v/b.qv", text_of(file));
  EXPECT_EQ(unlock(system, "/v/b.qv", "not pw"),
            R"({"error":"Mot de passe incorrect.","ok":false})");
  EXPECT_EQ(system.areas_acquired, std::vector<std::size_t>{kDerivationMemory});
  EXPECT_EQ(system.areas_released, std::vector<std::size_t>{kDerivationMemory});
}

TEST(HandleUnlock, AHugeFileReadiesTheHeapForTheCapOnly) {
  ScriptedSystem system;
  system.add_unreadable("/v/huge.qv", OsError::too_large(), std::uint64_t{20} << 30);
  (void)unlock(system, "/v/huge.qv");
  EXPECT_EQ(system.heap_requests, std::vector<std::size_t>{8 * kMaxVaultFileSize});
}

TEST(HandleUnlock, AFileTooShortForItsContainerIsInvalid) {
  ScriptedSystem system;
  system.add_file("/v/short.qv", "QU\x02");
  EXPECT_EQ(unlock(system, "/v/short.qv"),
            R"({"error":"Coffre invalide ou corrompu.","ok":false})");
}

}  // namespace
}  // namespace quarn::vault
