// How a platform call reaches a backend, and where the recording layer sits.
//
//   game and library                 plat_ticks()              (platform.h)
//        |
//   platform/platform.cpp            plat_in_use()->ticks()    (this table)
//        |
//   [recording layer]                records or answers the game's inputs,
//        |                           forwards the rest to the table below it
//        v                           (platform/record; only while recording
//   one backend's table              or replaying)
//   sdl, headless, null, web         sdl_ticks(), headless_ticks(), ...
//
// Every backend fills one PlatBackend with its own functions, named after
// the call with the backend's prefix for plat_ (sdl_ticks for plat_ticks),
// through PLAT_BACKEND_TABLE: a function a backend lacks fails to compile.
// The program picks its backend once at start-up with plat_use (main: the
// SDL one; tests and tools: the headless one). Until then every call goes
// to the null backend, which answers "nothing here".
//
// The recording layer is one more table: record_start and record_replay put
// it in use over the backend in use then (plat_use), and it forwards to that
// backend's table, never to plat_*; record_finish puts the backend back.
// The same holds for any layer: a backend's functions never call plat_*
// (that would go through the layers above it), only their own.
#ifndef QUILLFIRE_PLAT_BACKEND_H
#define QUILLFIRE_PLAT_BACKEND_H

#include "platform/platform.h"

#ifdef __cplusplus
#include <type_traits>
#endif

#ifdef __cplusplus
extern "C" {
#endif

// One slot per call of the interface, in the order of its headers; each
// does what the call's comment in its header says.
typedef struct PlatBackend {
  const char *name;
  // plat_window.h
  int (*init)(void);
  const char *(*error)(void);
  void *(*instance)(void);
  int (*desktop_size)(int32_t *width, int32_t *height);
  void (*window_options)(int windowed, int whole_scale_only);
  void (*window_place_restore)(const PlatWindowPlace *place);
  int (*window_place)(PlatWindowPlace *place);
  void (*window_icon)(const uint32_t *argb, int32_t width, int32_t height);
  PlatWindow *(*window_create)(const char *title, int32_t x, int32_t y,
                               int32_t width, int32_t height,
                               PlatWindowProc proc);
  void (*show_cursor)(int show);
  void (*shutdown)(void);
  int (*peek_message)(PlatMessage *msg);
  intptr_t (*dispatch_message)(const PlatMessage *msg);
  int (*post_message)(PlatWindow *window, uint32_t message, uintptr_t wparam,
                      intptr_t lparam);
  void (*post_quit_message)(int exit_code);
  intptr_t (*default_window_proc)(PlatWindow *window, uint32_t message,
                                  uintptr_t wparam, intptr_t lparam);
  int (*close_requested)(void);
  // plat_time.h
  uint32_t (*ticks)(void);
  void (*ticks_deadline)(uint32_t deadline);
  void (*sleep)(uint32_t ms);
  void (*wait_input)(const uint32_t *deadline_tick);
  int (*wait_watch)(int fd);
  void (*wait_unwatch)(int fd);
  // plat_display.h
  int (*display_set_mode)(int32_t width, int32_t height, int32_t bits);
  void (*present)(const uint8_t *pixels, int32_t pitch, int32_t width,
                  int32_t height, const uint8_t palette[1024]);
  void (*display_close)(void);
  // plat_keyboard.h
  int (*keyboard_open)(void);
  int (*keyboard_read)(uint8_t state[256]);
  int (*escape_down)(void);
  void (*keyboard_close)(void);
  // plat_audio.h
  int (*audio_open)(void);
  PlatVoice (*voice_create)(uint32_t bytes);
  uint8_t *(*voice_lock)(PlatVoice voice, uint32_t *bytes);
  int (*voice_unlock)(PlatVoice voice);
  int (*voice_play)(PlatVoice voice, int looping);
  int (*voice_stop)(PlatVoice voice);
  int (*voice_rewind)(PlatVoice voice);
  int (*voice_playing)(PlatVoice voice);
  void (*voice_destroy)(PlatVoice voice);
  void (*audio_close)(void);
  int (*audio_muted)(void);
  void (*audio_mute)(int mute);
} PlatBackend;

// Every slot after `name`, in order, for the macros below: X(prefix, call)
// for each.
// clang-format off
#define PLAT_BACKEND_CALLS(X, prefix)                                        \
  X(prefix, init) X(prefix, error) X(prefix, instance)                       \
  X(prefix, desktop_size) X(prefix, window_options)                          \
  X(prefix, window_place_restore) X(prefix, window_place)                    \
  X(prefix, window_icon) X(prefix, window_create) X(prefix, show_cursor)     \
  X(prefix, shutdown) X(prefix, peek_message) X(prefix, dispatch_message)    \
  X(prefix, post_message) X(prefix, post_quit_message)                       \
  X(prefix, default_window_proc) X(prefix, close_requested)                  \
  X(prefix, ticks) X(prefix, ticks_deadline) X(prefix, sleep)                \
  X(prefix, wait_input) X(prefix, wait_watch) X(prefix, wait_unwatch)        \
  X(prefix, display_set_mode) X(prefix, present) X(prefix, display_close)    \
  X(prefix, keyboard_open) X(prefix, keyboard_read) X(prefix, escape_down)   \
  X(prefix, keyboard_close) X(prefix, audio_open) X(prefix, voice_create)    \
  X(prefix, voice_lock) X(prefix, voice_unlock) X(prefix, voice_play)        \
  X(prefix, voice_stop) X(prefix, voice_rewind) X(prefix, voice_playing)     \
  X(prefix, voice_destroy) X(prefix, audio_close) X(prefix, audio_muted)     \
  X(prefix, audio_mute)
// clang-format on

#define PLAT_BACKEND_SLOT_(prefix, call) prefix##_##call,
#define PLAT_BACKEND_DECLARE_(prefix, call) \
  std::remove_pointer_t<decltype(PlatBackend::call)> prefix##_##call;

// A backend's table from its functions: PLAT_BACKEND_TABLE(sdl) is
// {"sdl", sdl_init, sdl_error, ...} in the order of the slots. A function
// the backend lacks, or of another type than its slot, fails to compile.
#define PLAT_BACKEND_TABLE(prefix) \
  { #prefix, PLAT_BACKEND_CALLS(PLAT_BACKEND_SLOT_, prefix) }

// Declares a backend's functions, each with its slot's type, for the file
// that makes its table: PLAT_BACKEND_DECLARATIONS(sdl).
#define PLAT_BACKEND_DECLARATIONS(prefix) \
  PLAT_BACKEND_CALLS(PLAT_BACKEND_DECLARE_, prefix)

// Called by a program once at start-up, before any other platform call
// (main: the SDL backend; tests and tools: the headless one), and by the
// recording layer as it starts and ends. Null puts the null backend back.
void plat_use(const PlatBackend *backend);

// The table the calls go to now (never null).
const PlatBackend *plat_in_use(void);

// The backends. Each table lives for the whole program.
const PlatBackend *null_backend(void);

#ifdef __cplusplus
}
#endif

#endif
