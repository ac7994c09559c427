#include "platform/net/net_random.h"

#include <sys/random.h>
#include <time.h>

uint32_t net_random_word(void) {
  uint32_t word = 0;
  if (getrandom(&word, sizeof word, GRND_NONBLOCK) == (ssize_t)sizeof word)
    return word;
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (uint32_t)now.tv_nsec ^ (uint32_t)now.tv_sec * 2654435761u;
}
