// Random words from the system, for what must not be guessed by another
// machine (a match's session token).
#ifndef QUILLFIRE_NET_RANDOM_H
#define QUILLFIRE_NET_RANDOM_H

#include <stdint.h>

// A word from the system's random source; the clock's when it can't be read.
uint32_t net_random_word(void);

#endif
