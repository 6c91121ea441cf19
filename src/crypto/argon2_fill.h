/* Which build of the reference Argon2's fill routine runs. Its optimised source is compiled once
 * per instruction set; the widest that the processor and the system support is chosen on first
 * use. Tests and benchmarks may pin one. */
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

enum QuarnArgon2Fill {
  QUARN_ARGON2_FILL_WIDEST = 0, /* the default: chosen by what the processor offers */
  QUARN_ARGON2_FILL_SSE2 = 1,
  QUARN_ARGON2_FILL_AVX2 = 2,
  QUARN_ARGON2_FILL_AVX512F = 3
};

/* Non-zero when this processor and system can run that build. */
int quarn_argon2_fill_supported(enum QuarnArgon2Fill fill);

/* Runs `fill` from now on (one the processor supports); QUARN_ARGON2_FILL_WIDEST chooses again. */
void quarn_argon2_use_fill(enum QuarnArgon2Fill fill);

/* The build that runs now (never QUARN_ARGON2_FILL_WIDEST). */
enum QuarnArgon2Fill quarn_argon2_fill_in_use(void);

#ifdef __cplusplus
}
#endif
