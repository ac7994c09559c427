// Time: the tick count, sleeping, and waiting for the player.
// Part of the platform interface; see platform/platform.h.
#ifndef QUILLFIRE_PLAT_TIME_H
#define QUILLFIRE_PLAT_TIME_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Milliseconds since an arbitrary start, as an unsigned 32-bit count that
// wraps (GetTickCount). It never waits, except up to a deadline said by
// plat_ticks_deadline: a loop that spins on it without one keeps a core
// busy.
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

// Waits for the player: returns once a key goes down or up (or a pad's
// input comes), the user asks the program to end, a descriptor given to
// plat_wait_watch has input, or the tick count reaches *deadline_tick
// (null: no end), whichever comes first; at once when a key or pad input
// came since the last keyboard read or wait. It may return sooner, so
// callers read the keyboard and wait again. Called by the game where it
// waits for a key (the title, the serve prompt) between its keyboard reads:
// the game says where it waits, and a frame's own reads (plat_keyboard_read,
// plat_ticks) never wait.
void plat_wait_input(const uint32_t *deadline_tick);

// Input on `fd` (a socket's data or its end) also ends plat_wait_input:
// called by network play for every socket it reads, and plat_wait_unwatch
// before it closes one. Returns 0 when too many are watched already (the
// waits then don't wake for it; they still end at their deadlines).
int plat_wait_watch(int fd);
void plat_wait_unwatch(int fd);

#ifdef __cplusplus
}
#endif

#endif
