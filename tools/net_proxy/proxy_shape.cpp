#include "net_proxy/proxy_shape.h"

#include <time.h>

ProxyCounts proxy_counts;

namespace {

int64_t delay_ns = 0;
int64_t jitter_ns = 0;
// splitmix64: small, and the same draws from the same --seed.
uint64_t random_state = 1;

double random_unit(void) {
  uint64_t z = (random_state += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  z ^= z >> 31;
  return (double)(z >> 11) / (double)(1ULL << 53);
}

}  // namespace

void shape_start(const ProxyOptions &options) {
  delay_ns = (int64_t)options.delay_ms * 1000000LL;
  jitter_ns = (int64_t)options.jitter_ms * 1000000LL;
  random_state = options.seed;
  proxy_counts = ProxyCounts{};
}

int64_t shape_now_ns(void) {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (int64_t)t.tv_sec * 1000000000LL + t.tv_nsec;
}

int shape_chance(double percent) {
  return percent > 0.0 && random_unit() * 100.0 < percent;
}

int64_t shape_due(int64_t now, int64_t *last_due) {
  int64_t offset = 0;
  if (jitter_ns > 0)
    offset = (int64_t)(random_unit() * (double)(2 * jitter_ns + 1)) - jitter_ns;
  int64_t due = now + delay_ns + offset;
  if (due < *last_due) due = *last_due;
  *last_due = due;
  return due;
}
