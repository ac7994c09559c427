// The frame checkpoint: a hash of every pixel and palette entry, made for
// speed, since a timedemo hashes every frame. Two running sums per lane (a
// Fletcher sum: the second weighs each word by its place) catch a changed
// pixel and a moved one; a final mix spreads them over 32 bits.
#include <string.h>

#include "platform/record/record.h"

namespace {

// 64 bytes a step as two vectors of four 64-bit lanes: plain SSE2 pairs on
// any x86-64, one AVX2 register each where the processor has it.
typedef uint64_t Lanes __attribute__((vector_size(32)));
const int LANES = 8;

struct Sums {
  uint64_t first[LANES];
  uint64_t second[LANES];
};

#if defined(__x86_64__) && !defined(__clang__) && !defined(__SANITIZE_ADDRESS__)
__attribute__((target_clones("avx2", "default")))
#endif
void add_bytes(Sums *s, const uint8_t *bytes, size_t count) {
  Lanes a0, a1, b0, b1;
  memcpy(&a0, s->first, 32);
  memcpy(&a1, s->first + 4, 32);
  memcpy(&b0, s->second, 32);
  memcpy(&b1, s->second + 4, 32);
  size_t i = 0;
  for (; i + 64 <= count; i += 64) {
    Lanes w0, w1;
    memcpy(&w0, bytes + i, 32);
    memcpy(&w1, bytes + i + 32, 32);
    a0 += w0;
    a1 += w1;
    b0 += a0;
    b1 += a1;
  }
  memcpy(s->first, &a0, 32);
  memcpy(s->first + 4, &a1, 32);
  memcpy(s->second, &b0, 32);
  memcpy(s->second + 4, &b1, 32);
  for (; i < count; i++) {
    s->first[0] += (uint64_t)bytes[i] + 1;
    s->second[0] += s->first[0];
  }
}

uint64_t mix(uint64_t h, uint64_t v) {
  h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
  h ^= h >> 31;
  h *= 0xBF58476D1CE4E5B9ull;
  h ^= h >> 29;
  return h;
}

}  // namespace

uint32_t record_frame_hash(const uint8_t *pixels, int32_t pitch, int32_t width,
                           int32_t height, const uint8_t palette[1024]) {
  Sums s = {};
  if (pixels && width > 0 && height > 0) {
    if (pitch == width) {
      add_bytes(&s, pixels, (size_t)width * (size_t)height);
    } else {
      for (int32_t y = 0; y < height; y++) {
        add_bytes(&s, pixels + (ptrdiff_t)y * pitch, (size_t)width);
      }
    }
  }
  uint64_t h = mix((uint64_t)(uint32_t)width, (uint64_t)(uint32_t)height);
  for (int l = 0; l < LANES; l++) h = mix(mix(h, s.first[l]), s.second[l]);
  Sums p = {};
  if (palette) add_bytes(&p, palette, 1024);
  for (int l = 0; l < LANES; l++) h = mix(mix(h, p.first[l]), p.second[l]);
  return (uint32_t)(h ^ (h >> 32));
}
