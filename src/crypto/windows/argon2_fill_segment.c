/* The reference Argon2's fill_segment, chosen once by what the processor offers: its optimised
 * source is built three times (SSE2, AVX2, AVX-512F), and the widest the processor and the system
 * support runs. The derivation is the whole cost of an unlock, and AVX2 halves it. */
#include "core.h"

void quarn_fill_segment_sse2(const argon2_instance_t *instance, argon2_position_t position);
void quarn_fill_segment_avx2(const argon2_instance_t *instance, argon2_position_t position);
void quarn_fill_segment_avx512f(const argon2_instance_t *instance, argon2_position_t position);

typedef void (*FillSegment)(const argon2_instance_t *, argon2_position_t);

static FillSegment widest_fill_segment(void) {
  /* GCC's checks include the system's support of the wider registers (XGETBV). */
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f")) return quarn_fill_segment_avx512f;
  if (__builtin_cpu_supports("avx2")) return quarn_fill_segment_avx2;
  return quarn_fill_segment_sse2;
}

void fill_segment(const argon2_instance_t *instance, argon2_position_t position) {
  /* One lane, no threads: a plain static is enough. */
  static FillSegment chosen = 0;
  if (chosen == 0) chosen = widest_fill_segment();
  chosen(instance, position);
}
