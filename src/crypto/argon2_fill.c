/* The reference Argon2's fill_segment, chosen by what the processor offers: its optimised source
 * is built three times (SSE2, AVX2, AVX-512F), and the widest that the processor and the system
 * support runs. The derivation is the whole cost of an unlock, and AVX2 halves it. */
#include "argon2_fill.h"

#include "core.h"

void quarn_fill_segment_sse2(const argon2_instance_t *instance, argon2_position_t position);
void quarn_fill_segment_avx2(const argon2_instance_t *instance, argon2_position_t position);
void quarn_fill_segment_avx512f(const argon2_instance_t *instance, argon2_position_t position);

typedef void (*FillSegment)(const argon2_instance_t *, argon2_position_t);

int quarn_argon2_fill_supported(enum QuarnArgon2Fill fill) {
  /* GCC's checks include the system's support of the wider registers (XGETBV). */
  __builtin_cpu_init();
  switch (fill) {
    case QUARN_ARGON2_FILL_SSE2:
      return __builtin_cpu_supports("sse2");
    case QUARN_ARGON2_FILL_AVX2:
      return __builtin_cpu_supports("avx2");
    case QUARN_ARGON2_FILL_AVX512F:
      return __builtin_cpu_supports("avx512f");
    default:
      return 1;
  }
}

/* One lane, no threads, one derivation at a time: plain statics are enough. */
static enum QuarnArgon2Fill in_use = QUARN_ARGON2_FILL_WIDEST;
static FillSegment chosen = 0;

void quarn_argon2_use_fill(enum QuarnArgon2Fill fill) {
  if (fill == QUARN_ARGON2_FILL_WIDEST) {
    fill = quarn_argon2_fill_supported(QUARN_ARGON2_FILL_AVX512F) ? QUARN_ARGON2_FILL_AVX512F
           : quarn_argon2_fill_supported(QUARN_ARGON2_FILL_AVX2)  ? QUARN_ARGON2_FILL_AVX2
                                                                  : QUARN_ARGON2_FILL_SSE2;
  }
  in_use = fill;
  chosen = fill == QUARN_ARGON2_FILL_AVX512F ? quarn_fill_segment_avx512f
           : fill == QUARN_ARGON2_FILL_AVX2  ? quarn_fill_segment_avx2
                                             : quarn_fill_segment_sse2;
}

enum QuarnArgon2Fill quarn_argon2_fill_in_use(void) {
  if (chosen == 0) quarn_argon2_use_fill(QUARN_ARGON2_FILL_WIDEST);
  return in_use;
}

void fill_segment(const argon2_instance_t *instance, argon2_position_t position) {
  if (chosen == 0) quarn_argon2_use_fill(QUARN_ARGON2_FILL_WIDEST);
  chosen(instance, position);
}
