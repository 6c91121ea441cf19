/* libsodium's Argon2id with the host's parameters, once, as a whole process: the yardstick of the
 * unlock targets in docs/performance.md. Prints nothing; exits 0 when the key was derived. */
#include <sodium.h>

int main(void) {
  static const char password[] = "correct horse battery staple";
  static const unsigned char salt[crypto_pwhash_argon2id_SALTBYTES] = {
      1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  unsigned char key[32];
  if (sodium_init() < 0) return 1;
  return crypto_pwhash_argon2id(key, sizeof key, password, sizeof password - 1, salt, 4,
                                (size_t)64 << 20, crypto_pwhash_argon2id_ALG_ARGON2ID13) != 0;
}
