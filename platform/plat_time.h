// Time: the tick count and sleeping.
// Part of the platform interface; see platform/platform.h.
#ifndef QUILLFIRE_PLAT_TIME_H
#define QUILLFIRE_PLAT_TIME_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Milliseconds since an arbitrary start, as an unsigned 32-bit count that
// wraps (GetTickCount). Cheap to call in a busy loop: on the real platform a
// call that follows the previous one within a fraction of a millisecond first
// gives the processor away for a moment, so spinning on it does not burn a
// core; the count it returns is still the current one.
uint32_t plat_ticks(void);

// Called by the frame clock just before it spins on plat_ticks() until the
// count reaches `deadline`, the tick its wait ends at. Until then the reads
// only wait, so a backend may sleep through them to the deadline: a frame's
// wait then costs one wake-up instead of one a millisecond. Each read still
// returns the true count, and the wait still ends at the first tick at or
// past the deadline. A backend may ignore it.
void plat_ticks_deadline(uint32_t deadline);

// Gives the processor away for `ms` milliseconds (Sleep), or less: it
// returns early, within a few milliseconds, once plat_close_requested() is 1
// (and at once when it already is), so that no wait holds up a program that
// was asked to end.
void plat_sleep(uint32_t ms);

#ifdef __cplusplus
}
#endif

#endif
