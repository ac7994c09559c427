#include "engine/random.h"

namespace {

const uint32_t RANDOM_START = 1;

}  // namespace

uint32_t random_state = RANDOM_START;

int32_t random_next(void) {
  random_state = random_state * 214013u + 2531011u;
  return (int32_t)((random_state >> 16) & 0x7FFF);
}

void random_reset(void) { random_state = RANDOM_START; }
