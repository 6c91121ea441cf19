/* PQClean's source of random bytes, for the key pairs that the tools make, from the system's
 * preferred generator. The host itself only decapsulates and never asks for random bytes. */
#include <stddef.h>
#include <stdint.h>
/* clang-format off */
#include <windows.h>
#include <bcrypt.h>
/* clang-format on */

#include "randombytes.h"

int randombytes(uint8_t *output, size_t n) {
  while (n > 0) {
    const ULONG piece = n > 0x40000000u ? 0x40000000u : (ULONG)n;
    if (BCryptGenRandom(NULL, output, piece, BCRYPT_USE_SYSTEM_PREFERRED_RNG) < 0) return -1;
    output += piece;
    n -= piece;
  }
  return 0;
}
