// Writing vault files: container layout, sealing, KEM key pair and encapsulation.
#include "vault_writer/vault_writer.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "crypto/hkdf.h"
#include "crypto/password_key.h"
#include "platform/real_system.h"
#include "vault_writer/payload.h"
#include "vault_writer/sealing.h"

extern "C" {
#include "api.h"
}

namespace quarn::vault_writer {
namespace {

// Written here on its own rather than taken from the host, so that a wrong label on either side
// shows up as a vault that does not open.
constexpr std::string_view kFinalKeyLabel = "QuarnVault-v2-final-key";

void append_array(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

[[noreturn]] void library_failure() { std::abort(); }

// The password key with its working area from the system, as the host takes it.
crypto::SymmetricKey password_key_of(std::string_view password, const crypto::Salt& salt) {
  platform::RealSystem system;
  return crypto::derive_password_key(bytes_of(password), salt, system);
}

}  // namespace

std::vector<std::uint8_t> serialize_v1(const V1Fields& fields) {
  std::vector<std::uint8_t> out;
  append_array(out, fields.salt);
  append_array(out, fields.payload_nonce);
  append_string(out, fields.payload_ciphertext);
  return out;
}

std::vector<std::uint8_t> serialize_v2(const V2Fields& fields) {
  std::vector<std::uint8_t> out = {'Q', 'U', 0x02};
  append_array(out, fields.salt);
  append_string(out, fields.kem_ciphertext);
  append_string(out, fields.wrapped_secret_key);
  append_array(out, fields.secret_key_nonce);
  append_array(out, fields.payload_nonce);
  append_string(out, fields.payload_ciphertext);
  return out;
}

crypto::Salt random_salt() {
  crypto::Salt salt;
  fill_random(salt);
  return salt;
}

crypto::Nonce random_nonce() {
  crypto::Nonce nonce;
  fill_random(nonce);
  return nonce;
}

KemKeyPair kem_keypair() {
  KemKeyPair pair{std::vector<std::uint8_t>(kKemPublicKeySize),
                  std::vector<std::uint8_t>(kKemSecretKeySize)};
  if (PQCLEAN_MLKEM1024_CLEAN_crypto_kem_keypair(pair.public_key.data(), pair.secret_key.data()) !=
      0) {
    library_failure();
  }
  return pair;
}

KemEncapsulation kem_encapsulate(std::span<const std::uint8_t, kKemPublicKeySize> public_key) {
  KemEncapsulation result{std::vector<std::uint8_t>(kKemCiphertextSize), {}};
  if (PQCLEAN_MLKEM1024_CLEAN_crypto_kem_enc(result.ciphertext.data(), result.shared_secret.data(),
                                             public_key.data()) != 0) {
    library_failure();
  }
  return result;
}

crypto::SymmetricKey final_key(const crypto::SymmetricKey& password_key,
                               std::span<const std::uint8_t, kKemSharedSecretSize> shared_secret) {
  std::vector<std::uint8_t> ikm(password_key.bytes.begin(), password_key.bytes.end());
  ikm.insert(ikm.end(), shared_secret.begin(), shared_secret.end());
  crypto::SymmetricKey key;
  if (!crypto::hkdf_sha256(ikm, {}, bytes_of(kFinalKeyLabel), key.bytes)) library_failure();
  return key;
}

V1Vault seal_v1(std::string_view password, std::span<const std::uint8_t> payload,
                std::optional<crypto::Salt> salt) {
  V1Vault vault;
  vault.fields.salt = salt.value_or(random_salt());
  vault.password_key = password_key_of(password, vault.fields.salt);
  vault.fields.payload_nonce = random_nonce();
  vault.fields.payload_ciphertext = seal(vault.password_key, vault.fields.payload_nonce, payload);
  return vault;
}

V2Vault seal_v2(std::string_view password, std::span<const std::uint8_t> payload,
                std::optional<crypto::Salt> salt) {
  V2Vault vault;
  V2Fields& f = vault.fields;
  f.salt = salt.value_or(random_salt());
  vault.password_key = password_key_of(password, f.salt);

  vault.kem = kem_keypair();
  KemEncapsulation encapsulation =
      kem_encapsulate(std::span(vault.kem.public_key).first<kKemPublicKeySize>());
  vault.shared_secret = encapsulation.shared_secret;
  vault.final_key = final_key(vault.password_key, vault.shared_secret);

  f.kem_ciphertext = std::move(encapsulation.ciphertext);
  f.secret_key_nonce = random_nonce();
  f.wrapped_secret_key = seal(vault.password_key, f.secret_key_nonce, vault.kem.secret_key);
  f.payload_nonce = random_nonce();
  f.payload_ciphertext = seal(vault.final_key, f.payload_nonce, payload);
  return vault;
}

}  // namespace quarn::vault_writer
