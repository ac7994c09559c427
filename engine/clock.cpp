#include "engine/clock.h"

#include "platform/platform.h"

uint32_t clock_start_tick;

uint32_t clock_start(void) {
  clock_start_tick = plat_ticks();
  return clock_start_tick;
}

// Unsigned differences give the true elapsed time across a wrap of the count.
uint32_t clock_wait(uint32_t ms) {
  plat_ticks_deadline(clock_start_tick + ms);
  while ((uint32_t)(plat_ticks() - clock_start_tick) < ms) {
  }
  return plat_ticks();
}

void clock_reset(void) { clock_start_tick = 0; }
