#include "platform/net/net_random.h"

#include <stddef.h>
#include <time.h>
#include <unistd.h>

uint32_t net_random_word(void) {
  uint32_t word = 0;
  if (getentropy(&word, sizeof word) == 0) return word;
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (uint32_t)now.tv_nsec ^ (uint32_t)now.tv_sec * 2654435761u;
}
