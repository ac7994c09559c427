// The headless platform: window, messages, virtual time, scripted keys and
// captured frames. Audio lives in headless_audio.cpp.
#include "platform/headless/headless.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "platform/dik.h"
#include "platform/headless/headless_audio.h"
#include "platform/key_latch.h"
#include "platform/messages.h"
#include "platform/pad_keys.h"
#include "platform/wait_fds.h"

namespace {

// A key or a pad that changes at a virtual time.
struct KeyEvent {
  uint32_t at;
  uint8_t dik;
  int down;          // KEY_REPEAT: the auto-repeat of a key held down
  int32_t pad_slot;  // -1 for a key
  PadState pad;
  int pad_plugged;
};

const int KEY_REPEAT = 2;

const uint64_t DEFAULT_TIME_LIMIT = 60ull * 60 * 1000;
// How long past its limit a run may go on after the close request the limit
// raised: every screen gives way to a close at once, so a run still going is
// a game that ignores it, and nothing is left to end it but stopping here.
const uint64_t LIMIT_CLOSE_GRACE_MS = 10 * 60 * 1000;

PlatWindow window;
int window_made;
std::string error_text;
int cursor_shown = 1;
int option_windowed, option_whole_scale_only;
int window_ever_made;
PlatWindowPlace restored_place;
int close_requested;
int close_scheduled;
uint32_t close_at;

uint32_t now;
uint64_t elapsed;
uint64_t time_limit = DEFAULT_TIME_LIMIT;
int time_limit_reached;

uint8_t keys[256];
std::vector<KeyEvent> scheduled;
int keyboard_present = 1;
int keyboard_open;
int keyboard_reads;
KeyLatch read_latch, escape_latch;
PadState pads[PAD_SLOTS];
int pad_plugged[PAD_SLOTS];

int fail_init, fail_window, fail_display_mode;
int display_open;
int32_t mode_width, mode_height;

void (*peek_hook)(void *);
void *peek_user;
int peek_count;

HeadlessPresentHook present_hook;
void *present_user;
int frame_count;
std::vector<uint8_t> last_frame;
int32_t last_width, last_height;
uint8_t last_palette[1024];

void request_close() {
  close_requested = 1;
  if (window_made && window.alive) {
    messages_push(PlatMessage{&window, WM_CLOSE, 0, 0});
  }
}

// Past the time limit the run is asked to end as a user would ask it, once.
void advance(uint32_t ms) {
  now += ms;
  elapsed += ms;
  if (elapsed <= time_limit) return;
  if (!time_limit_reached) {
    time_limit_reached = 1;
    request_close();
  } else if (elapsed - time_limit > LIMIT_CLOSE_GRACE_MS) {
    fprintf(stderr,
            "headless: the run went on %llu virtual ms after its time limit "
            "asked it to close\n",
            (unsigned long long)LIMIT_CLOSE_GRACE_MS);
    abort();
  }
}

void apply_due_close() {
  if (close_scheduled && (int32_t)(now - close_at) >= 0) {
    close_scheduled = 0;
    request_close();
  }
}

// A key or pad that changed since the last keyboard read or wait: it ends
// plat_wait_input.
int input_arrived;

// A key that goes down is remembered by both readers; M is the mute
// switch, as on the real platform. A repeat is the window system's key-down
// event for a key held down.
void set_key(uint8_t dik, int down) {
  if (down == KEY_REPEAT) {
    if (!keys[dik]) return;
    key_latch_key_down(&read_latch, dik, 1);
    key_latch_key_down(&escape_latch, dik, 1);
    return;
  }
  if (down && !keys[dik]) {
    key_latch_key_down(&read_latch, dik, 0);
    key_latch_key_down(&escape_latch, dik, 0);
    if (dik == DIK_M) headless_audio_set_muted(!headless_audio_muted());
  }
  if ((keys[dik] != 0) != (down != 0)) input_arrived = 1;
  keys[dik] = down ? 0x80 : 0;
}

// The keys all plugged pads hold, over `state`.
void add_pad_keys(uint8_t state[256]) {
  for (int32_t slot = 0; slot < PAD_SLOTS; slot++) {
    if (pad_plugged[slot]) pad_keys(&pads[slot], slot, state);
  }
}

void set_pad(int32_t slot, const PadState *pad, int plugged) {
  if (slot < 0 || slot >= PAD_SLOTS) return;
  uint8_t before[256] = {0}, after[256] = {0};
  if (pad_plugged[slot]) pad_keys(&pads[slot], slot, before);
  pads[slot] = plugged && pad ? *pad : PadState{};
  pad_plugged[slot] = plugged;
  input_arrived = 1;
  if (plugged) pad_keys(&pads[slot], slot, after);
  for (int i = 0; i < 256; i++) {
    if (after[i] && !before[i]) {
      key_latch_press(&read_latch, (uint8_t)i);
      key_latch_press(&escape_latch, (uint8_t)i);
    }
  }
}

// Applies every scheduled key event that is due, oldest first.
void apply_due_keys() {
  size_t kept = 0;
  for (size_t i = 0; i < scheduled.size(); i++) {
    const KeyEvent &e = scheduled[i];
    if ((int32_t)(now - e.at) >= 0) {
      if (e.pad_slot < 0) {
        set_key(e.dik, e.down);
      } else {
        set_pad(e.pad_slot, &e.pad, e.pad_plugged);
      }
    } else {
      scheduled[kept++] = e;
    }
  }
  scheduled.resize(kept);
}

}  // namespace

// ---------------------------------------------------------------------------
// Controls
// ---------------------------------------------------------------------------

void headless_reset(void) {
  plat_use(headless_backend());
  window = PlatWindow{nullptr, nullptr, 0};
  window_made = 0;
  messages_clear();
  error_text.clear();
  cursor_shown = 1;
  option_windowed = option_whole_scale_only = 0;
  window_ever_made = 0;
  restored_place = PlatWindowPlace{0, 0, 0, 0, 0};
  close_requested = 0;
  close_scheduled = 0;
  close_at = 0;
  now = 0;
  elapsed = 0;
  time_limit = DEFAULT_TIME_LIMIT;
  time_limit_reached = 0;
  memset(keys, 0, sizeof keys);
  scheduled.clear();
  keyboard_present = 1;
  keyboard_open = 0;
  keyboard_reads = 0;
  input_arrived = 0;
  wait_fds_clear();
  key_latch_clear(&read_latch);
  key_latch_clear(&escape_latch);
  for (int32_t slot = 0; slot < PAD_SLOTS; slot++) {
    pads[slot] = PadState{};
    pad_plugged[slot] = 0;
  }
  fail_init = fail_window = fail_display_mode = 0;
  display_open = 0;
  mode_width = mode_height = 0;
  peek_hook = nullptr;
  peek_user = nullptr;
  peek_count = 0;
  present_hook = nullptr;
  present_user = nullptr;
  frame_count = 0;
  last_frame.clear();
  last_width = last_height = 0;
  memset(last_palette, 0, sizeof last_palette);
}

uint32_t headless_now(void) { return now; }
void headless_set_now(uint32_t ms) { now = ms; }
void headless_set_time_limit(uint64_t ms) { time_limit = ms; }
uint64_t headless_elapsed(void) { return elapsed; }
int headless_time_limit_reached(void) { return time_limit_reached; }

void headless_key(uint8_t dik, int down) { set_key(dik, down); }

void headless_key_at(uint32_t ms, uint8_t dik, int down) {
  scheduled.push_back(KeyEvent{ms, dik, down, -1, PadState{}, 0});
}

void headless_key_repeat_at(uint32_t ms, uint8_t dik) {
  scheduled.push_back(KeyEvent{ms, dik, KEY_REPEAT, -1, PadState{}, 0});
}

void headless_pad(int32_t slot, const PadState *pad) { set_pad(slot, pad, 1); }
void headless_pad_unplug(int32_t slot) { set_pad(slot, nullptr, 0); }

void headless_pad_at(uint32_t ms, int32_t slot, const PadState *pad) {
  scheduled.push_back(KeyEvent{ms, 0, 0, slot, pad ? *pad : PadState{}, 1});
}

void headless_pad_unplug_at(uint32_t ms, int32_t slot) {
  scheduled.push_back(KeyEvent{ms, 0, 0, slot, PadState{}, 0});
}

void headless_set_focus(int focused) {
  if (window_made && window.alive) {
    messages_push(PlatMessage{
        &window, focused ? (uint32_t)WM_SETFOCUS : (uint32_t)WM_KILLFOCUS, 0,
        0});
  }
}

int headless_close_raised(void) { return close_requested; }

void headless_tap_at(uint32_t ms, uint8_t dik, uint32_t hold) {
  headless_key_at(ms, dik, 1);
  headless_key_at(ms + hold, dik, 0);
}

int headless_key_down(uint8_t dik) { return keys[dik] != 0; }
int headless_keyboard_reads(void) { return keyboard_reads; }

void headless_fail_init(int fail) { fail_init = fail; }
void headless_fail_window(int fail) { fail_window = fail; }
void headless_fail_display_mode(int fail) { fail_display_mode = fail; }
void headless_set_keyboard_present(int present) { keyboard_present = present; }

void headless_request_close(void) { request_close(); }

void headless_request_close_at(uint32_t ms) {
  close_scheduled = 1;
  close_at = ms;
}

void headless_on_peek(void (*hook)(void *), void *user) {
  peek_hook = hook;
  peek_user = user;
}

int headless_peek_count(void) { return peek_count; }

void headless_on_present(HeadlessPresentHook hook, void *user) {
  present_hook = hook;
  present_user = user;
}

int headless_frame_count(void) { return frame_count; }

const uint8_t *headless_last_frame(int32_t *width, int32_t *height) {
  if (width) *width = last_width;
  if (height) *height = last_height;
  return last_frame.empty() ? nullptr : last_frame.data();
}

const uint8_t *headless_last_palette(void) {
  return frame_count ? last_palette : nullptr;
}

int32_t headless_last_rgb(int32_t x, int32_t y) {
  if (last_frame.empty() || x < 0 || y < 0 || x >= last_width ||
      y >= last_height) {
    return -1;
  }
  const uint8_t *entry =
      last_palette + 4 * last_frame[(size_t)y * last_width + x];
  return (entry[0] << 16) | (entry[1] << 8) | entry[2];
}

PlatWindow *headless_window(void) {
  return window_made && window.alive ? &window : nullptr;
}

int headless_cursor_shown(void) { return cursor_shown; }

void headless_window_options_told(int *windowed, int *whole_scale_only) {
  *windowed = option_windowed;
  *whole_scale_only = option_whole_scale_only;
}
int headless_display_open(void) { return display_open; }

// ---------------------------------------------------------------------------
// Start-up and the window
// ---------------------------------------------------------------------------

int headless_init(void) {
  if (fail_init) {
    error_text = "no display available (headless: told to fail)";
    return 0;
  }
  return 1;
}

const char *headless_error(void) { return error_text.c_str(); }

void *headless_instance(void) {
  static int token;
  return &token;
}

int headless_desktop_size(int32_t *width, int32_t *height) {
  *width = 1280;
  *height = 1024;
  return 1;
}

PlatWindow *headless_window_create(const char *title, int32_t x, int32_t y,
                                   int32_t width, int32_t height,
                                   PlatWindowProc proc) {
  (void)title;
  (void)x;
  (void)y;
  (void)width;
  (void)height;
  if (fail_window) {
    error_text = "the window could not be made (headless: told to fail)";
    return nullptr;
  }
  window = PlatWindow{nullptr, proc, 1};
  window_made = 1;
  window_ever_made = 1;
  proc(&window, WM_CREATE, 0, 0);
  return &window;
}

void headless_window_options(int windowed, int whole_scale_only) {
  option_windowed = windowed;
  option_whole_scale_only = whole_scale_only;
}

void headless_show_cursor(int show) { cursor_shown = show; }

void headless_window_place_restore(const PlatWindowPlace *place) {
  restored_place = *place;
}

// The headless window never moves: it is left as it was told to be.
int headless_window_place(PlatWindowPlace *place) {
  if (!window_ever_made) return 0;
  *place = restored_place;
  place->fullscreen = option_windowed ? 0 : 1;
  return 1;
}

void headless_window_icon(const uint32_t *, int32_t, int32_t) {}

void headless_shutdown(void) {
  window.alive = 0;
  window_made = 0;
}

// ---------------------------------------------------------------------------
// Messages
// ---------------------------------------------------------------------------

int headless_peek_message(PlatMessage *msg) {
  peek_count++;
  apply_due_close();
  if (peek_hook) peek_hook(peek_user);
  return messages_take(msg);
}

// Polled by the waits that handle no messages, so it moves the clock too.
int headless_close_requested(void) {
  advance(1);
  apply_due_close();
  return close_requested;
}

// ---------------------------------------------------------------------------
// Time
// ---------------------------------------------------------------------------

uint32_t headless_ticks(void) {
  uint32_t t = now;
  advance(1);
  return t;
}

// The virtual clock moves a millisecond a read: spinning costs nothing.
void headless_ticks_deadline(uint32_t) {}

// Ends early at a close request that falls within the sleep.
void headless_sleep(uint32_t ms) {
  if (close_requested) return;
  const int64_t until = (int32_t)(close_at - now);
  if (close_scheduled && until < (int64_t)ms) {
    if (until > 0) advance((uint32_t)until);
    apply_due_close();
    return;
  }
  advance(ms);
}

namespace {

// A watched descriptor has input now (a real socket: a test's network).
int watched_ready(int wait_ms) {
  struct pollfd fds[WAIT_FDS_MAX];
  const int count = wait_fds_fill(fds);
  if (count == 0) return 0;
  return poll(fds, (nfds_t)count, wait_ms) > 0 && wait_fds_ready(fds, count);
}

}  // namespace

// The virtual clock jumps to whichever comes first: the next scheduled key,
// pad or close, or the deadline. With neither, and no descriptor watched,
// nothing can ever end the wait, and the clock runs to its limit. With
// descriptors watched (a test's real sockets), whose input comes in real
// time, the wait for them is real too: up to the same end (a real
// millisecond when there is none), and the clock moves as long as it lasted,
// so that a peer's pause is not taken for hours of virtual time.
void headless_wait_input(const uint32_t *deadline_tick) {
  advance(1);
  apply_due_close();
  apply_due_keys();
  if (close_requested || watched_ready(0)) return;
  if (input_arrived) {
    input_arrived = 0;
    return;
  }
  bool have_end = false;
  uint32_t end = 0;
  const auto consider = [&](uint32_t at) {
    if (!have_end || (int32_t)(at - end) < 0) end = at;
    have_end = true;
  };
  for (const KeyEvent &e : scheduled) consider(e.at);
  if (close_scheduled) consider(close_at);
  if (deadline_tick) consider(*deadline_tick);
  if (wait_fds_count() > 0) {
    const int32_t left = have_end ? (int32_t)(end - now) : 1;
    if (left <= 0) return;
    const auto began = std::chrono::steady_clock::now();
    if (watched_ready(left)) {
      const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
          std::chrono::steady_clock::now() - began);
      if (took.count() > 0)
        advance((uint32_t)std::min<long long>(took.count(), left));
    } else {
      advance((uint32_t)left);
    }
    apply_due_close();
    apply_due_keys();
    input_arrived = 0;
    return;
  }
  if (!have_end) {
    const uint64_t past_limit = time_limit - elapsed + 1;
    advance(past_limit > UINT32_MAX ? UINT32_MAX : (uint32_t)past_limit);
    return;
  }
  const int32_t left = (int32_t)(end - now);
  if (left > 0) advance((uint32_t)left);
  apply_due_close();
  apply_due_keys();
  input_arrived = 0;
}

int headless_wait_watch(int fd) { return wait_fds_add(fd); }
void headless_wait_unwatch(int fd) { wait_fds_remove(fd); }

// ---------------------------------------------------------------------------
// Display
// ---------------------------------------------------------------------------

int headless_display_set_mode(int32_t width, int32_t height, int32_t bits) {
  if (fail_display_mode || bits != 8 || width <= 0 || height <= 0) return 0;
  mode_width = width;
  mode_height = height;
  display_open = 1;
  return 1;
}

void headless_present(const uint8_t *pixels, int32_t pitch, int32_t width,
                      int32_t height, const uint8_t palette[1024]) {
  if (!display_open || !pixels || width <= 0 || height <= 0) return;
  last_frame.resize((size_t)width * height);
  for (int32_t y = 0; y < height; y++) {
    memcpy(&last_frame[(size_t)y * width], pixels + (ptrdiff_t)y * pitch,
           (size_t)width);
  }
  last_width = width;
  last_height = height;
  memcpy(last_palette, palette, sizeof last_palette);
  frame_count++;
  if (present_hook) {
    present_hook(last_frame.data(), width, height, last_palette, present_user);
  }
}

void headless_display_close(void) { display_open = 0; }

// ---------------------------------------------------------------------------
// Keyboard
// ---------------------------------------------------------------------------

int headless_keyboard_open(void) {
  keyboard_open = keyboard_present;
  return keyboard_open;
}

int headless_keyboard_read(uint8_t state[256]) {
  keyboard_reads++;
  advance(1);
  apply_due_keys();
  if (!keyboard_open) return 0;
  memcpy(state, keys, 256);
  add_pad_keys(state);
  input_arrived = key_latch_take(&read_latch, state) != 0;
  return 1;
}

int headless_escape_down(void) {
  advance(1);
  apply_due_keys();
  uint8_t state[256];
  memcpy(state, keys, 256);
  add_pad_keys(state);
  key_latch_take(&escape_latch, state);
  return state[DIK_ESCAPE] != 0;
}

void headless_keyboard_close(void) { keyboard_open = 0; }

// The message queue the backends share (platform/messages.h).
MESSAGES_BACKEND_CALLS(headless)
