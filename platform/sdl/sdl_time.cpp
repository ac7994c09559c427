// Time: the millisecond tick count and sleeping, made cheap to spin on.
//
// The game waits by polling: the frame clock spins on the tick count, the
// title and serve prompts spin on the keyboard. Spinning flat out would keep
// a core busy for nothing, so repeated polls give the processor away briefly.
// The tick count is our own, counted from the first call, so we know when it
// next changes: a wait that spins on it sleeps until just that moment and
// still ends at the first tick at or past its deadline.
#include <sys/prctl.h>
#include <time.h>

#include "platform/platform.h"
#include "platform/sdl/sdl_internal.h"

namespace {

const long long kNsPerMs = 1000 * 1000;
// Polls closer together than this count as spinning.
const long long kSpinGapNs = 250 * 1000;
// The same tick read this many times in a row while spinning: sleep until it
// changes. The few reads before that keep a lone read (the frame's start
// right after a wait) from ever being held back.
const int kSpinReads = 4;
// The keyboard's pause: well under a millisecond, so a key is still seen
// promptly.
const long kKeyboardPauseNs = 400 * 1000;

long long epoch_ns = -1;

long long since_epoch() {
  if (epoch_ns < 0) {
    // Sleeps end when asked, not up to 50 us later.
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
    epoch_ns = sdl_monotonic_ns();
  }
  return sdl_monotonic_ns() - epoch_ns;
}

void sleep_until_ns(long long target) {
  const long long at = epoch_ns + target;
  struct timespec ts = {(time_t)(at / 1000000000LL), (long)(at % 1000000000LL)};
  clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr);
}

}  // namespace

long long sdl_monotonic_ns(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (long long)ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

uint32_t plat_ticks(void) {
  static long long last_poll = -kSpinGapNs;
  static long long last_ms = -1;
  static int same_reads = 0;
  long long now = since_epoch();
  long long ms = now / kNsPerMs;
  const bool spinning = now - last_poll < kSpinGapNs && ms == last_ms;
  same_reads = spinning ? same_reads + 1 : 0;
  if (same_reads >= kSpinReads) {
    sleep_until_ns((ms + 1) * kNsPerMs);
    now = since_epoch();
    ms = now / kNsPerMs;
    same_reads = 0;
  }
  last_poll = now;
  last_ms = ms;
  return (uint32_t)ms;
}

// In short slices, so that a close request ends it within one. The request
// is asked of the backend itself: a replay answers the game's own questions
// from the stream, and one asked here would take a record that isn't ours.
void plat_sleep(uint32_t ms) {
  const uint32_t SLEEP_SLICE_MS = 5;
  const uint32_t start = SDL_GetTicks();
  while (!sdl_close_requested()) {
    const uint32_t passed = SDL_GetTicks() - start;
    if (passed >= ms) return;
    SDL_Delay(ms - passed < SLEEP_SLICE_MS ? ms - passed : SLEEP_SLICE_MS);
  }
}

void sdl_pace_poll(void) {
  static long long last;
  const long long now = sdl_monotonic_ns();
  if (now - last < kSpinGapNs) {
    struct timespec pause = {0, kKeyboardPauseNs};
    nanosleep(&pause, nullptr);
    last = sdl_monotonic_ns();
    return;
  }
  last = now;
}
