#include "engine/random.h"

uint32_t random_state = 1;

int32_t random_next(void) {
  random_state = random_state * 214013u + 2531011u;
  return (int32_t)((random_state >> 16) & 0x7FFF);
}
