// Time: the millisecond tick count, sleeping, and waiting for the player.
//
// - The tick count is our own, counted from the first call. When the frame
//   clock has said where its wait ends (plat_ticks_deadline), the first read
//   sleeps right up to it: one wake-up a frame, and the wait still ends at
//   the first tick at or past its deadline.
// - The game says where it waits for a key (plat_wait_input): that wait
//   sleeps on the display connection and the descriptors network play
//   watches, so a key, a close or the network's data ends it at once. No
//   other read ever waits: how often the game calls says nothing about what
//   it is doing.
#include <poll.h>
#include <string.h>
#include <sys/prctl.h>
#include <time.h>

#include "platform/platform.h"
#include "platform/sdl/sdl_gamepad.h"
#include "platform/sdl/sdl_internal.h"
#include "platform/wait_fds.h"

// Only for the X display connection's file descriptor. Xlib's names (None,
// Status, ...) stay in this file.
#include <SDL_syswm.h>

namespace {

const long long NS_PER_MS = 1000 * 1000;
// A pad's buttons bring no byte on the display connection (SDL reads the
// devices when it pumps), so while one is plugged in a wait for the player
// looks at them this often.
const long long PAD_LOOK_MS = 10;
// A sleep looks for a close request at least this often: SDL's own events
// (a request pushed by another thread) bring no byte on the connection.
const long long SLEEP_LOOK_MS = 50;
// Events are pumped again this soon only when the display connection has
// something new.
const long long PUMP_GAP_NS = 1000 * 1000;
// Without a display connection to wait on, a sleep goes in slices this long.
const long long SLEEP_SLICE_MS = 5;

// A deadline further off than this is not a frame's wait (a tick from
// another clock, or a wrap): it is not slept through.
const uint32_t LONGEST_DEADLINE_MS = 1000;

long long epoch_ns = -1;

// The tick the frame clock's spin ends at, while one is announced.
uint32_t deadline_tick;
bool deadline_set;

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

void sdl_ticks_deadline(uint32_t deadline) {
  deadline_tick = deadline;
  deadline_set = true;
}

uint32_t sdl_ticks(void) {
  const long long ms = since_epoch() / NS_PER_MS;
  if (deadline_set) {
    const uint32_t left = deadline_tick - (uint32_t)ms;
    if (left == 0 || left > LONGEST_DEADLINE_MS) {
      deadline_set = false;
    } else {
      // A signal may cut the sleep short; the next read sleeps on.
      sleep_until_ns((ms + left) * NS_PER_MS);
      return (uint32_t)(since_epoch() / NS_PER_MS);
    }
  }
  return (uint32_t)ms;
}

namespace {

// The connection to the X server that brings the window's input, or -1 when
// the window is not on X (Wayland, SDL's dummy driver).
int input_connection() {
  static SDL_Window *asked_for = nullptr;
  static int fd = -1;
  SDL_Window *window = sdl_window();
  if (window != asked_for) {
    asked_for = window;
    fd = -1;
#if defined(SDL_VIDEO_DRIVER_X11)
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (window && SDL_GetWindowWMInfo(window, &info) &&
        info.subsystem == SDL_SYSWM_X11 && info.info.x11.display) {
      fd = ConnectionNumber(info.info.x11.display);
    }
#endif
  }
  return fd;
}

}  // namespace

// A frame asks for events four times within a fraction of a millisecond
// (the Escape test, the keyboard read, the present, the messages), and each
// pump is a dozen system calls: after the first, the connection is asked
// whether anything came (one call). Input on it is pumped at once; what
// comes another way (a pad) waits at most the gap.
void sdl_pump_events(void) {
  static long long last = -PUMP_GAP_NS;
  const int fd = input_connection();
  if (fd >= 0 && sdl_monotonic_ns() - last < PUMP_GAP_NS) {
    struct pollfd connection = {fd, POLLIN, 0};
    if (poll(&connection, 1, 0) == 0) return;
  }
  SDL_PumpEvents();
  last = sdl_monotonic_ns();
}

// Until the time is up or a close request comes. A close comes as input on
// the display connection (the window's button) or as a signal (SIGTERM,
// SIGINT), and either ends the wait for input at once; other input only
// wakes it to look. The request is asked of the backend itself: a replay
// answers the game's own questions from the stream, and one asked here
// would take a record that isn't ours.
void sdl_sleep(uint32_t ms) {
  const long long end = since_epoch() + (long long)ms * NS_PER_MS;
  while (!sdl_close_requested()) {
    const long long left = end - since_epoch();
    if (left <= 0) return;
    const int fd = input_connection();
    if (fd >= 0) {
      const long long wait_ms = (left + NS_PER_MS - 1) / NS_PER_MS;
      struct pollfd connection = {fd, POLLIN, 0};
      poll(&connection, 1,
           (int)(wait_ms < SLEEP_LOOK_MS ? wait_ms : SLEEP_LOOK_MS));
    } else {
      const long long slice = (long long)SLEEP_SLICE_MS * NS_PER_MS;
      sleep_until_ns(since_epoch() + (left < slice ? left : slice));
    }
  }
}

namespace {

// Whether the tick count has reached `deadline`; a count past it by up to
// half the range counts as reached, so a deadline survives the count's wrap.
bool deadline_reached(uint32_t deadline) {
  return (int32_t)((uint32_t)(since_epoch() / NS_PER_MS) - deadline) >= 0;
}

}  // namespace

// Pumps what has come, then sleeps on the display connection and the
// watched descriptors together until one has input, a signal (SIGTERM,
// SIGINT: the close request) cuts the sleep short, or the deadline. Input
// on the display connection that is not the player's (the pointer, an
// exposure) is pumped and the wait goes on.
void sdl_wait_input(const uint32_t *deadline_tick) {
  struct pollfd fds[WAIT_FDS_MAX + 1];
  for (;;) {
    sdl_pump_events();
    sdl_after_pump();
    if (sdl_close_requested() || sdl_take_input_arrived()) return;
    if (deadline_tick && deadline_reached(*deadline_tick)) return;
    const int watched = wait_fds_fill(fds);
    long long wait_ms = SLEEP_LOOK_MS;
    if (deadline_tick) {
      const long long left =
          (long long)(int32_t)(*deadline_tick -
                               (uint32_t)(since_epoch() / NS_PER_MS));
      if (left < wait_ms) wait_ms = left;
    }
    if (sdl_gamepad_count() > 0 && wait_ms > PAD_LOOK_MS) wait_ms = PAD_LOOK_MS;
    int count = watched;
    const int fd = input_connection();
    if (fd >= 0) {
      fds[count].fd = fd;
      fds[count].events = POLLIN;
      fds[count].revents = 0;
      count++;
    } else if (wait_ms > SLEEP_SLICE_MS) {
      // Off X (SDL's dummy driver) input is only seen by pumping.
      wait_ms = SLEEP_SLICE_MS;
    }
    if (poll(fds, (nfds_t)count, (int)wait_ms) > 0 &&
        wait_fds_ready(fds, watched)) {
      return;
    }
  }
}

int sdl_wait_watch(int fd) { return wait_fds_add(fd); }
void sdl_wait_unwatch(int fd) { wait_fds_remove(fd); }
