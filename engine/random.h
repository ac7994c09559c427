// The one pseudo-random generator: never seeded, so every run draws the same
// sequence (41, 18467, 6334, 26500, 19169, ...).
#ifndef QUILLFIRE_RANDOM_H
#define QUILLFIRE_RANDOM_H

#include <stdint.h>

extern uint32_t random_state;

// Back to the first number of the sequence; for tests and tools. The game
// never calls it.
void random_reset(void);

// A number from 0 to 32767.
int32_t random_next(void);

#endif
