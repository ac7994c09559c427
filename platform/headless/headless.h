// Controls of the headless platform, for tests and tools.
//
// The headless platform has no screen, keyboard or sound card. Instead:
// - time is virtual: every plat_ticks, plat_keyboard_read, plat_escape_down
//   and plat_close_requested moves it one millisecond forward, plat_sleep by
//   the time asked (less when a close request falls within it),
//   plat_wait_input to the next scheduled key, pad or close, or its deadline,
//   so busy waits end at once in real time and every run gives the same
//   result;
// - keys are pressed and released by the test, at once or at a virtual time;
// - every presented frame is captured (indices and palette);
// - a run that passes the virtual time limit is asked to close, as a user
//   would ask it (headless_time_limit_reached tells), instead of spinning for
//   ever.
#ifndef QUILLFIRE_HEADLESS_H
#define QUILLFIRE_HEADLESS_H

#include <stdint.h>

#include "platform/pad_keys.h"
#include "platform/plat_backend.h"

// Its table, for plat_use (tests and tools pick it at start-up).
const PlatBackend *headless_backend(void);

// Back to a fresh start, with the headless backend in use (plat_use):
// virtual time 0, no window, empty queue, all keys up,
// no frames, no hooks, no failures, keyboard and audio present, time limit of
// one virtual hour.
void headless_reset(void);

// Virtual time.
uint32_t headless_now(void);                // without moving the clock
void headless_set_now(uint32_t ms);         // jump there (it may wrap)
void headless_set_time_limit(uint64_t ms);  // since the last reset
uint64_t headless_elapsed(void);            // virtual ms since the reset
// Once the clock passes the limit, the close flag is raised and WM_CLOSE
// queued (as headless_request_close does), so that the game ends its own
// way; a run still going ten virtual minutes later is stopped with abort().
// 1 from then until the next reset: tests and tools count such a run as one
// that never ended.
int headless_time_limit_reached(void);

// Keys, by DirectInput key code. A key scheduled for a time is applied by the
// first keyboard read (or Escape query) at or after that time.
void headless_key(uint8_t dik, int down);
void headless_key_at(uint32_t ms, uint8_t dik, int down);
// The window system's auto-repeat of a key held down at `ms`: a key-down
// event for a key already down (nothing when it is up by then).
void headless_key_repeat_at(uint32_t ms, uint8_t dik);
// Presses a key for `hold` ms starting at `ms`.
void headless_tap_at(uint32_t ms, uint8_t dik, uint32_t hold);
int headless_key_down(uint8_t dik);
// A key that goes down is seen by the next read even when it is up again by
// then (and by the next Escape query, apart). M toggles the mute of the
// headless audio as it goes down.

// Gamepads, by slot (0 the first pad, 1 the second; platform/pad_keys.h):
// plugged in with this state, or unplugged; at once or at a virtual time.
void headless_pad(int32_t slot, const PadState *pad);
void headless_pad_unplug(int32_t slot);
void headless_pad_at(uint32_t ms, int32_t slot, const PadState *pad);
void headless_pad_unplug_at(uint32_t ms, int32_t slot);

// The window gains (1) or loses (0) the keyboard focus: WM_SETFOCUS or
// WM_KILLFOCUS is queued for it.
void headless_set_focus(int focused);
int headless_keyboard_reads(void);  // plat_keyboard_read calls since reset

// What can fail. Each stays as set until the next reset.
void headless_fail_init(int fail);          // plat_init returns 0
void headless_fail_window(int fail);        // plat_window_create returns null
void headless_fail_display_mode(int fail);  // plat_display_set_mode returns 0
void headless_set_keyboard_present(int present);
void headless_set_audio_present(int present);

// The user asks the program to end (the close button, SIGTERM): the close
// flag is raised and WM_CLOSE is queued for the window.
void headless_request_close(void);
// The same, at the first platform call at or after virtual time `ms`.
void headless_request_close_at(uint32_t ms);
// 1 once the close request has been raised, without moving the clock.
int headless_close_raised(void);

// Called at the start of every plat_peek_message, before the queue is looked
// at: a test can post a message there to keep one pending at every pass.
void headless_on_peek(void (*hook)(void *user), void *user);
int headless_peek_count(void);  // plat_peek_message calls since reset

// Presented frames. The hook sees every frame as it is presented; the last
// one is also kept.
typedef void (*HeadlessPresentHook)(const uint8_t *pixels, int32_t width,
                                    int32_t height, const uint8_t palette[1024],
                                    void *user);
void headless_on_present(HeadlessPresentHook hook, void *user);
int headless_frame_count(void);
// The last frame, width by height indices packed row after row, or null.
const uint8_t *headless_last_frame(int32_t *width, int32_t *height);
const uint8_t *headless_last_palette(void);  // 1024 bytes, or null
// The colour the player saw at (x, y) of the last frame, as 0xRRGGBB, or -1
// when there is no frame or the point is outside it.
int32_t headless_last_rgb(int32_t x, int32_t y);

// The window, after plat_window_create (null before and after shut-down).
PlatWindow *headless_window(void);
int headless_cursor_shown(void);
// What plat_window_options was last told (0 and 0 after a reset).
void headless_window_options_told(int *windowed, int *whole_scale_only);
int headless_display_open(void);

#endif
