// Deterministic randomness for the generated art and sounds: the same files
// come out of every build.
#ifndef QUILLFIRE_TOOLS_NOISE_H
#define QUILLFIRE_TOOLS_NOISE_H

#include <stdint.h>

struct Rng {
  uint32_t state;
};

// xorshift32; the state must not be 0.
inline uint32_t rng_next(Rng &rng) {
  uint32_t x = rng.state;
  x ^= x << 13;
  x ^= x >> 17;
  x ^= x << 5;
  rng.state = x;
  return x;
}

// 0 to 1.
inline float rng_unit(Rng &rng) {
  return (float)(rng_next(rng) >> 8) / 16777216.0f;
}

// A fixed value from 0 to 1 for each integer point, with no state.
inline float hash_unit(int32_t x, int32_t y, uint32_t seed) {
  uint32_t h = (uint32_t)x * 374761393u + (uint32_t)y * 668265263u + seed;
  h = (h ^ (h >> 13)) * 1274126177u;
  h ^= h >> 16;
  return (float)(h >> 8) / 16777216.0f;
}

// Smooth value noise from 0 to 1 with features about `scale` pixels wide.
float value_noise(float x, float y, float scale, uint32_t seed);

#endif
