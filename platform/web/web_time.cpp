// Time in the browser: the tick count from the page's clock, and every wait
// a sleep that gives the browser its turn (Asyncify unwinds the game's
// stack meanwhile and brings it back after). The browser paints the canvas
// and takes in keys, visibility changes and the first click only in those
// turns, so no loop of the game may go long without one: the frame clock's
// wait sleeps to just before its deadline, a wait for the player until the
// page's next event, and a read of the clock that finds no turn given
// lately gives one.
#include <emscripten.h>

#include "platform/wait_fds.h"
#include "platform/web/web_internal.h"

namespace {

// A deadline further off than this is not a frame's wait: not slept through.
const uint32_t LONGEST_DEADLINE_MS = 1000;
// A wait for the player is woken by the page's events themselves, and
// looks at the pads this often while one is plugged in (the browser sends
// no event for their buttons), else at this longest.
const uint32_t PAD_LOOK_MS = 10;
const uint32_t WAIT_LOOK_MS = 100;
// The browser's timers wake this late or later: the frame clock's wait
// sleeps to this short of its deadline and reads the clock for the rest, so
// that a rally keeps its 50 frames a second.
const uint32_t TIMER_LATE_MS = 1;
// A game that reads the clock without sleeping (a replay run as fast as it
// goes) still lets the page paint and take its events this often.
const double LONGEST_TURNLESS_MS = 50;

double epoch_ms = -1;
double last_turn_ms;
uint32_t deadline_tick;
bool deadline_set;

uint32_t ticks_now() { return (uint32_t)(web_now_ms() - epoch_ms); }

// Whether the tick count has reached `deadline`, across its wrap.
bool reached(uint32_t deadline) {
  return (int32_t)(ticks_now() - deadline) >= 0;
}

}  // namespace

// Sleeps until the page's next key, focus, size or pad event, or `ms`.
EM_ASYNC_JS(void, web_js_wait_event, (int ms), {
  await new Promise(function(resolve) {
    var timer = setTimeout(done, ms);
    function done() {
      clearTimeout(timer);
      qfWeb.wake = null;
      resolve();
    }
    qfWeb.wake = done;
  });
});

double web_now_ms(void) {
  const double now = emscripten_get_now();
  if (epoch_ms < 0) {
    epoch_ms = now;
    last_turn_ms = now;
  }
  return now;
}

void web_yield(uint32_t ms) {
  emscripten_sleep(ms);
  last_turn_ms = web_now_ms();
}

void web_ticks_deadline(uint32_t deadline) {
  deadline_tick = deadline;
  deadline_set = true;
}

uint32_t web_ticks(void) {
  const uint32_t now = ticks_now();
  if (deadline_set) {
    const uint32_t left = deadline_tick - now;
    deadline_set = false;
    if (left > TIMER_LATE_MS && left <= LONGEST_DEADLINE_MS) {
      web_yield(left - TIMER_LATE_MS);
      return ticks_now();
    }
  }
  if (web_now_ms() - last_turn_ms > LONGEST_TURNLESS_MS) {
    web_yield(0);
    return ticks_now();
  }
  return now;
}

// Nothing can cut it short: the page is never asked to close.
void web_sleep(uint32_t ms) { web_yield(ms); }

void web_wait_input(const uint32_t *deadline_tick) {
  uint8_t pads[256] = {0};
  for (;;) {
    web_take_events();
    if (web_take_input_arrived() || web_gamepad_keys(pads)) return;
    if (deadline_tick && reached(*deadline_tick)) return;
    web_present_again_if_resized();
    uint32_t slice = web_gamepads_plugged() ? PAD_LOOK_MS : WAIT_LOOK_MS;
    if (deadline_tick) {
      const int32_t left = (int32_t)(*deadline_tick - ticks_now());
      if (left < (int32_t)slice) slice = left > 0 ? (uint32_t)left : 0;
    }
    web_js_wait_event((int)slice);
    last_turn_ms = web_now_ms();
  }
}

// The page has no descriptors to wait on (no network play here); they are
// only kept, as the interface asks.
int web_wait_watch(int fd) { return wait_fds_add(fd); }
void web_wait_unwatch(int fd) { wait_fds_remove(fd); }
