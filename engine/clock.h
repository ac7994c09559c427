// The frame clock: one start tick shared by every user, and a busy wait until
// a number of milliseconds have passed since it.
#ifndef QUILLFIRE_CLOCK_H
#define QUILLFIRE_CLOCK_H

#include <stdint.h>

extern uint32_t clock_start_tick;

uint32_t clock_start(void);
uint32_t clock_wait(uint32_t ms);
// Back to no start tick, as at start; for tests and tools.
void clock_reset(void);

#endif
