// The unlock command end to end: vault files written to a temp folder, opened by the built host.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "base/bytes.h"
#include "platform/arguments.h"
#include "platform/test_os.h"
#include "testing/host_process.h"
#include "testing/temp_folder.h"
#include "vault_writer/entries_json.h"
#include "vault_writer/payload.h"
#include "vault_writer/vault_writer.h"

namespace quarn::testing {
namespace {

namespace fs = std::filesystem;
using vault_writer::Entry;

const std::string kWrongPassword = R"({"error":"Mot de passe incorrect.","ok":false})";
const std::string kInvalidVault = R"({"error":"Coffre invalide ou corrompu.","ok":false})";
const std::string kNotFound = R"({"error":"NOT_FOUND","ok":false})";
const std::string kEmptyEntries = R"({"data":{"entries":[]},"ok":true})";

std::string error_reply(const std::string& text) {
  return R"({"error":")" + text + R"(","ok":false})";
}

// The read error of a folder given as the vault.
std::string folder_read_error() {
  const platform::ExpectedError error = platform::folder_read_error();
  return error_reply("Erreur de lecture : " + error.description + " (os error " +
                     std::to_string(error.code) + ")");
}

// Master passwords with what a request's JSON escapes and what a C string would cut short.
const std::string kV1Password = "cl\xC3\xA9 \"ma\xC3\xAEtre\" \\ \t \xF0\x9F\x94\x90";
const std::string kV2Password =
    std::string("v2 \xE2\x80\x94 \x01 ") + std::string(1, '\0') + " apr\xC3\xA8s NUL";

// Several entries: non-ASCII text, characters the reply escapes, empty texts, both ends of
// last_modified, a key that comes back (its entry is replaced where it first stood) and two keys
// sharing one id (two entries).
const std::vector<Entry> kRichEntries = {
    {"gmail", "a1", "Messagerie", "alice@example.com", "old", "https://mail.example.com", 1},
    {"banque", "b2",
     "Banque \xE2\x80\x94 Cr\xC3\xA9"
     "dit Mutuel",
     "zo\xC3\xA9", "p\"a\\s\ts\x01\x1f\n/", "https://banque.example/connexion?a=1&b=2", 0},
    {"vide", "", "", "", "", "", UINT64_MAX},
    {"gmail", "a1", "Messagerie (nouvelle)", "alice@example.com", "new \xF0\x9F\x94\x91",
     "https://mail.example.com/u/0", 1700000000123},
    {"gmail-2", "a1", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", "", "\x7f", "", 42},
};

const std::string kRichReply =
    R"({"data":{"entries":[)"
    R"({"id":"a1","last_modified":1700000000123,"password":"new )"
    "\xF0\x9F\x94\x91"
    R"j(","title":"Messagerie (nouvelle)","url":"https://mail.example.com/u/0",)j"
    R"("username":"alice@example.com"},)"
    R"({"id":"b2","last_modified":0,"password":"p\"a\\s\ts\u0001\u001f\n/",)"
    R"("title":"Banque )"
    "\xE2\x80\x94 Cr\xC3\xA9"
    R"(dit Mutuel","url":"https://banque.example/connexion?a=1&b=2","username":"zo)"
    "\xC3\xA9"
    R"("},)"
    R"({"id":"","last_modified":18446744073709551615,"password":"","title":"","url":"",)"
    R"("username":""},)"
    R"({"id":"a1","last_modified":42,"password":")"
    "\x7f"
    R"(","title":")"
    "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"
    R"(","url":"","username":""})"
    R"(]},"ok":true})";

std::string unlock_request(const std::string& path, const std::string& password) {
  return nlohmann::json{{"cmd", "unlock"}, {"path", path}, {"password", password}}.dump();
}

std::string unlock(const std::string& path, const std::string& password,
                   const HostOptions& options = {}) {
  return call_host(unlock_request(path, password), options);
}

Bytes with_trailing_bytes(Bytes bytes) {
  const std::uint8_t extra[] = {0x00, 0xFF, 'Q', 'U', 0x02, 0x07};
  bytes.insert(bytes.end(), std::begin(extra), std::end(extra));
  return bytes;
}

// One folder per test process; each vault is sealed (one Argon2 derivation) the first time a test
// asks for it, since CTest runs every test in a process of its own.
class UnlockBlackBox : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { dir_ = std::make_unique<TempFolder>("quarn-unlock"); }

  static void TearDownTestSuite() {
    dir_.reset();
    rich_v1_.reset();
    rich_v2_.reset();
  }

  static std::string path_of(const std::string& name) { return dir_->file(name); }

  static std::string write_file(const std::string& name, ByteView bytes) {
    return dir_->write(name, bytes);
  }

  static const vault_writer::V1Vault& rich_v1() {
    if (!rich_v1_) {
      rich_v1_ = vault_writer::seal_v1(kV1Password,
                                       vault_writer::encode_payload(kRichEntries, 0xDEADBEEF));
    }
    return *rich_v1_;
  }

  static const vault_writer::V2Vault& rich_v2() {
    if (!rich_v2_) {
      rich_v2_ = vault_writer::seal_v2(kV2Password, vault_writer::encode_payload(kRichEntries, 7));
    }
    return *rich_v2_;
  }

  // The rich version-2 vault with its payload replaced, sealed under its final key.
  static vault_writer::V2Fields v2_with_payload(std::span<const std::uint8_t> payload) {
    vault_writer::V2Fields fields = rich_v2().fields;
    fields.payload_nonce = vault_writer::random_nonce();
    fields.payload_ciphertext =
        vault_writer::seal(rich_v2().final_key, fields.payload_nonce, payload);
    return fields;
  }

  // The rich version-1 vault with its payload replaced, sealed under its password key.
  static vault_writer::V1Fields v1_with_payload(std::span<const std::uint8_t> payload) {
    vault_writer::V1Fields fields = rich_v1().fields;
    fields.payload_nonce = vault_writer::random_nonce();
    fields.payload_ciphertext =
        vault_writer::seal(rich_v1().password_key, fields.payload_nonce, payload);
    return fields;
  }

 private:
  static std::unique_ptr<TempFolder> dir_;
  static std::optional<vault_writer::V1Vault> rich_v1_;
  static std::optional<vault_writer::V2Vault> rich_v2_;
};

std::unique_ptr<TempFolder> UnlockBlackBox::dir_;
std::optional<vault_writer::V1Vault> UnlockBlackBox::rich_v1_;
std::optional<vault_writer::V2Vault> UnlockBlackBox::rich_v2_;

TEST_F(UnlockBlackBox, BothVersionsReturnEveryMemberOfEveryEntry) {
  const std::string v1 = write_file("rich-v1.qv", vault_writer::serialize_v1(rich_v1().fields));
  EXPECT_EQ(unlock(v1, kV1Password), kRichReply);
  const std::string v2 = write_file("rich-v2.qv", vault_writer::serialize_v2(rich_v2().fields));
  EXPECT_EQ(unlock(v2, kV2Password), kRichReply);
}

TEST_F(UnlockBlackBox, AVaultTheDesktopApplicationHoldsOpenStillUnlocks) {
  const std::string v2 = write_file("held-v2.qv", vault_writer::serialize_v2(rich_v2().fields));
  const auto held = platform::FileHeldOpen::open(v2);
  ASSERT_TRUE(held.has_value());
  EXPECT_EQ(unlock(v2, kV2Password), kRichReply);
}

TEST_F(UnlockBlackBox, BytesAfterTheLastFieldChangeNothing) {
  const std::string v1 = write_file(
      "trailing-v1.qv", with_trailing_bytes(vault_writer::serialize_v1(rich_v1().fields)));
  EXPECT_EQ(unlock(v1, kV1Password), kRichReply);
  // Here the payload too has bytes after its last pair.
  const auto payload = with_trailing_bytes(vault_writer::encode_payload(kRichEntries));
  const std::string v2 = write_file(
      "trailing-v2.qv", with_trailing_bytes(vault_writer::serialize_v2(v2_with_payload(payload))));
  EXPECT_EQ(unlock(v2, kV2Password), kRichReply);
}

TEST_F(UnlockBlackBox, WrongPasswordsAreRefused) {
  const std::string v1 = write_file("rich-v1.qv", vault_writer::serialize_v1(rich_v1().fields));
  const std::string v2 = write_file("rich-v2.qv", vault_writer::serialize_v2(rich_v2().fields));
  struct Case {
    std::string path;
    std::string password;
  };
  const Case cases[] = {
      {v1, "wrong"},
      {v1, ""},
      // One byte short of the right one.
      {v2, kV2Password.substr(0, kV2Password.size() - 1)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(unlock(c.path, c.password), kWrongPassword) << c.path << " / " << c.password;
  }
}

TEST_F(UnlockBlackBox, AnEmptyPasswordOpensAVaultSealedUnderIt) {
  const std::vector<Entry> entries = {{"k", "id", "t", "u", "p", "w", 5}};
  const std::string path =
      write_file("empty-password.qv",
                 vault_writer::serialize_v1(
                     vault_writer::seal_v1("", vault_writer::encode_payload(entries)).fields));
  EXPECT_EQ(unlock(path, ""),
            R"({"data":{"entries":[{"id":"id","last_modified":5,"password":"p","title":"t",)"
            R"("url":"w","username":"u"}]},"ok":true})");
}

TEST_F(UnlockBlackBox, AVersionOneSaltMayBeginWithTheMagic) {
  crypto::Salt salt = vault_writer::random_salt();
  salt[0] = 'Q';
  salt[1] = 'U';
  salt[2] = 0x01;
  const std::vector<Entry> entries = {{"k", "id", "QU", "", "", "", 1}};
  const auto vault = vault_writer::seal_v1("pw", vault_writer::encode_payload(entries), salt);
  const auto bytes = vault_writer::serialize_v1(vault.fields);
  ASSERT_EQ(std::string(bytes.begin(), bytes.begin() + 3), "QU\x01");
  EXPECT_EQ(unlock(write_file("qu1-v1.qv", bytes), "pw"),
            R"({"data":{"entries":[{"id":"id","last_modified":1,"password":"","title":"QU",)"
            R"("url":"","username":""}]},"ok":true})");
}

// Each of these opens the wrapped secret key or the payload with the right password and still
// fails; the user sees the same text as for a wrong password, never the inner reason.
TEST_F(UnlockBlackBox, DamagedVersionTwoVaultsLookLikeAWrongPassword) {
  const auto& vault = rich_v2();
  vault_writer::V2Fields flipped = vault.fields;
  flipped.kem_ciphertext[700] ^= 0x10;

  vault_writer::V2Fields short_ciphertext = vault.fields;
  short_ciphertext.kem_ciphertext.pop_back();
  ASSERT_EQ(short_ciphertext.kem_ciphertext.size(), 1567u);

  vault_writer::V2Fields short_secret_key = vault.fields;
  short_secret_key.wrapped_secret_key =
      vault_writer::seal(vault.password_key, short_secret_key.secret_key_nonce,
                         std::span(vault.kem.secret_key).first(3167));

  vault_writer::V2Fields under_password_key = vault.fields;
  under_password_key.payload_ciphertext =
      vault_writer::seal(vault.password_key, under_password_key.payload_nonce,
                         vault_writer::encode_payload(kRichEntries));

  const std::pair<const char*, const vault_writer::V2Fields*> cases[] = {
      {"kem-bit-flipped.qv", &flipped},
      {"kem-1567.qv", &short_ciphertext},
      {"secret-key-3167.qv", &short_secret_key},
      {"payload-under-password-key.qv", &under_password_key},
  };
  for (const auto& [name, fields] : cases) {
    EXPECT_EQ(unlock(write_file(name, vault_writer::serialize_v2(*fields)), kV2Password),
              kWrongPassword)
        << name;
  }
}

TEST_F(UnlockBlackBox, AnEmptyEntryTableGivesAnEmptyArray) {
  const std::string path = write_file(
      "empty-table.qv", vault_writer::serialize_v2(
                            v2_with_payload(vault_writer::encode_payload(std::vector<Entry>{}))));
  EXPECT_EQ(unlock(path, kV2Password), kEmptyEntries);
}

TEST_F(UnlockBlackBox, AVaultLargerThanOneMebibyteUnlocks) {
  // Long table keys take room in the file and none in the reply, which stays under the limit.
  std::vector<Entry> entries = vault_writer::synthetic_entries(2000);
  for (Entry& e : entries) e.key += std::string(600, 'k');
  const auto bytes =
      vault_writer::serialize_v2(v2_with_payload(vault_writer::encode_payload(entries)));
  ASSERT_GT(bytes.size(), 1048576u);

  // The expected text, built independently of the host's serialiser (objects sort their keys).
  nlohmann::json expected_entries = nlohmann::json::array();
  for (const Entry& e : entries) {
    expected_entries.push_back({{"id", e.id},
                                {"title", e.title},
                                {"username", e.username},
                                {"password", e.password},
                                {"url", e.url},
                                {"last_modified", e.last_modified}});
  }
  const std::string expected =
      nlohmann::json{{"ok", true}, {"data", {{"entries", expected_entries}}}}.dump();
  ASSERT_LT(expected.size(), 1048576u);

  const std::string reply = unlock(write_file("large.qv", bytes), kV2Password);
  ASSERT_EQ(reply.size(), expected.size());
  EXPECT_EQ(nlohmann::json::parse(reply)["data"]["entries"].size(), 2000u);
  EXPECT_EQ(reply.substr(0, 300), expected.substr(0, 300));
  EXPECT_TRUE(reply == expected) << "reply differs from the expected text";
}

// The browsers take no message over 1 MiB from a host; a longer reply is replaced by one that
// says so, with the length it would have had.
TEST_F(UnlockBlackBox, RepliesOverTheBrowsersLimitBecomeAnError) {
  const auto reply_for = [](const std::string& password) {
    return R"({"data":{"entries":[{"id":"i","last_modified":1,"password":")" + password +
           R"(","title":"t","url":"u","username":"n"}]},"ok":true})";
  };
  const std::size_t frame = reply_for("").size();
  for (const std::size_t reply_size :
       {std::size_t{1048576}, std::size_t{1048577}, std::size_t{3} << 20}) {
    const std::string password(reply_size - frame, 'x');
    const std::vector<Entry> entries = {{"k", "i", "t", "n", password, "u", 1}};
    const std::string path = write_file(
        "limit.qv",
        vault_writer::serialize_v1(v1_with_payload(vault_writer::encode_payload(entries))));
    const std::string reply = unlock(path, kV1Password);
    if (reply_size <= 1048576) {
      EXPECT_TRUE(reply == reply_for(password)) << reply.size() << " bytes";
    } else {
      EXPECT_EQ(reply, "{\"error\":\"R\xC3\xA9ponse trop volumineuse pour le navigateur : " +
                           std::to_string(reply_size) +
                           " octets (limite 1048576).\",\"ok\":false}");
    }
  }
}

// Payloads that open but do not decode: the decoder's own text is the error.
TEST_F(UnlockBlackBox, PayloadDecodingErrorsAreShownAsTheyAre) {
  using vault_writer::append_string;
  const auto append_u32 = [](Bytes& out, std::uint32_t value) { append_le(out, value); };
  const auto append_u64 = [](Bytes& out, std::uint64_t value) { append_le(out, value); };

  Bytes eleven_bytes;
  append_u32(eleven_bytes, 0);
  eleven_bytes.insert(eleven_bytes.end(), 7, 0);

  // Count 2, then one complete pair.
  Bytes one_of_two;
  append_u32(one_of_two, 0);
  append_u64(one_of_two, 2);
  for (const char* text : {"k", "id", "t", "u", "p", "w"}) append_string(one_of_two, text);
  append_u64(one_of_two, 9);

  // A key announced as 10 bytes with 4 left.
  Bytes long_text;
  append_u32(long_text, 0);
  append_u64(long_text, 1);
  append_u64(long_text, 10);
  for (char c : std::string("abcd")) long_text.push_back(static_cast<std::uint8_t>(c));

  // A count of 2^64 - 1 with a single pair: the count alone reserves nothing large.
  Bytes huge_count;
  append_u32(huge_count, 0);
  append_u64(huge_count, UINT64_MAX);
  for (const char* text : {"k", "id", "t", "u", "p", "w"}) append_string(huge_count, text);
  append_u64(huge_count, 9);

  const std::vector<Entry> bad_title = {{"k", "id", "\xFF", "u", "p", "w", 1}};
  const std::vector<Entry> bad_url = {{"k", "id", "t", "u", "p", "ab\xE2\x82", 1}};

  struct Case {
    const char* name;
    Bytes payload;
    std::string reply;
  };
  const Case cases[] = {
      {"eleven-bytes.qv", eleven_bytes, error_reply("io error: unexpected end of file")},
      {"one-of-two.qv", one_of_two, error_reply("io error: unexpected end of file")},
      {"huge-count.qv", huge_count, error_reply("io error: unexpected end of file")},
      {"long-text.qv", long_text, error_reply("io error: ")},
      {"bad-title.qv", vault_writer::encode_payload(bad_title),
       error_reply("string is not valid utf8: invalid utf-8 sequence of 1 bytes from index 0")},
      {"bad-url.qv", vault_writer::encode_payload(bad_url),
       error_reply("string is not valid utf8: incomplete utf-8 byte sequence from index 2")},
  };
  for (const auto& c : cases) {
    const std::string path =
        write_file(c.name, vault_writer::serialize_v1(v1_with_payload(c.payload)));
    EXPECT_EQ(unlock(path, kV1Password), c.reply) << c.name;
  }
}

// Failures found before any key is derived.
TEST_F(UnlockBlackBox, FilesThatCannotBeReadOrSplit) {
  const std::string empty = write_file("empty.qv", {});
  const std::string dir = path_of("folder.qv");
  ASSERT_TRUE(fs::create_directory(dir));

  // A container with every field in place, then the same cut by one byte.
  vault_writer::V2Fields fields;
  fields.kem_ciphertext.assign(1568, 0xAB);
  fields.wrapped_secret_key.assign(3184, 0xCD);
  fields.payload_ciphertext.assign(40, 0xEF);
  auto cut_v2 = vault_writer::serialize_v2(fields);
  cut_v2.pop_back();

  Bytes cut_v1(35, 0);  // the length prefix is one byte short
  Bytes forged_length(28, 0);
  append_le<std::uint64_t>(forged_length, UINT64_MAX);
  forged_length.insert(forged_length.end(), 100, 0);

  struct Case {
    std::string path;
    std::string reply;
  };
  const Case cases[] = {
      {path_of("missing.qv"), kNotFound},
      {"", kNotFound},
      // A NUL names nothing: the name before it must not be opened instead.
      {empty + std::string(1, '\0'), kNotFound},
      {empty + std::string(1, '\0') + "more", kNotFound},
      {dir + std::string(1, '\0'), kNotFound},
      {std::string(1, '\0'), kNotFound},
      {empty + "/inner", kNotFound},
      {dir, folder_read_error()},
      {empty, kInvalidVault},
      {write_file("magic-only.qv", Bytes{'Q', 'U', 2}), kInvalidVault},
      {write_file("cut-v1.qv", cut_v1), kInvalidVault},
      {write_file("cut-v2.qv", cut_v2), kInvalidVault},
      {write_file("forged-length.qv", forged_length), kInvalidVault},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(unlock(c.path, "pw"), c.reply) << c.path;
  }
}

// Whatever a path names, the host answers at once and holds no more than the cap: a pipe nobody
// writes to, a device without end, a sparse file of many gigabytes.
TEST_F(UnlockBlackBox, OnlyRegularFilesUpToTheCapAreRead) {
  const std::string not_a_file =
      error_reply("Erreur de lecture : le chemin ne désigne pas un fichier ordinaire.");
  const std::string too_large =
      error_reply("Erreur de lecture : fichier trop volumineux (limite 67108864 octets).");
  const auto sparse = [](const std::string& path, std::uintmax_t size) {
    { std::ofstream(platform::file_path(path), std::ios::binary); }
    fs::resize_file(platform::file_path(path), size);
    return path;
  };
  struct Case {
    std::string path;
    std::string reply;
  };
  std::vector<Case> cases = {
      // At the cap the file is read (zeros split as a version-1 vault that does not open); one
      // byte more and it is not.
      {sparse(path_of("at-cap.qv"), std::uintmax_t{64} << 20), kWrongPassword},
      {sparse(path_of("over-cap.qv"), (std::uintmax_t{64} << 20) + 1), too_large},
      {sparse(path_of("huge.qv"), std::uintmax_t{20} << 30), too_large},
  };
  const std::string fifo = path_of("fifo.qv");
  if (platform::make_fifo(fifo)) {
    cases.push_back({fifo, not_a_file});
    // Through a link the same: what is opened is checked, not the name.
    fs::create_symlink(fifo, path_of("link-to-fifo.qv"));
    cases.push_back({path_of("link-to-fifo.qv"), not_a_file});
  }
  if (fs::exists("/dev/zero")) cases.push_back({"/dev/zero", not_a_file});
  HostOptions options;
  options.timeout_ms = 10000;
  for (const auto& c : cases) {
    EXPECT_EQ(unlock(c.path, "pw", options), c.reply) << c.path;
  }
}

TEST_F(UnlockBlackBox, ASocketExistsButCannotBeOpened) {
  const std::string path = path_of("socket.qv");
  const auto socket = platform::SocketFile::bind(path);
  if (!socket) GTEST_SKIP() << "this system has no socket files";
  EXPECT_EQ(unlock(path, "pw"),
            error_reply("Erreur de lecture : No such device or address (os error 6)"));
}

TEST_F(UnlockBlackBox, AnUnreadableFileIsAReadError) {
  // Root reads any file, so as root the host runs as an unprivileged user for this case (the
  // temporary folder lets every user reach the file).
  if (!platform::permissions_can_deny_reading()) {
    GTEST_SKIP() << "file permissions here cannot keep the owner from reading";
  }
  HostOptions options;
  if (platform::is_superuser()) options.run_as_uid = 65534;
  const std::string path = write_file("unreadable.qv", Bytes(64, 0));
  fs::permissions(path, fs::perms::none);
  EXPECT_EQ(unlock(path, "pw", options),
            error_reply("Erreur de lecture : Permission denied (os error 13)"));
}

TEST_F(UnlockBlackBox, ARelativePathIsResolvedInTheHostsWorkingFolder) {
  write_file("relative-empty.qv", {});
  ASSERT_TRUE(fs::create_directory(path_of("relative-folder")));
  HostOptions options;
  options.working_dir = path_of("");
  EXPECT_EQ(unlock("relative-empty.qv", "pw", options), kInvalidVault);
  EXPECT_EQ(unlock("./relative-folder", "pw", options), folder_read_error());
  options.working_dir = "/";
  EXPECT_EQ(unlock("relative-empty.qv", "pw", options), kNotFound);
}

}  // namespace
}  // namespace quarn::testing
