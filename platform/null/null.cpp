// The template a new backend starts from: every call of the platform
// interface, each answering "nothing here", and the table made of them
// (platform/plat_backend.h). It is also what the calls reach before a
// program picks its backend. Copy this file, rename null_ to the new
// backend's prefix, then make each call do what its comment says a real
// backend does there.
#include "platform/plat_backend.h"

namespace {
int token;
}

// Bring up the window system; say why in plat_error when it can't.
int null_init(void) { return 0; }
// The last start-up failure, one line.
const char *null_error(void) { return "no platform (the null backend)"; }
// Any stable non-null token.
void *null_instance(void) { return &token; }
// The desktop's size now.
int null_desktop_size(int32_t *, int32_t *) { return 0; }
// Make the one borderless window, then send it WM_CREATE.
// Note whether to start in a window and how to scale, for the window to come.
void null_window_options(int, int) {}
// Note where the window goes when it is a window, and its icon.
void null_window_place_restore(const PlatWindowPlace *) {}
void null_window_icon(const uint32_t *, int32_t, int32_t) {}
// How the window was last seen, kept past plat_shutdown.
int null_window_place(PlatWindowPlace *) { return 0; }
PlatWindow *null_window_create(const char *, int32_t, int32_t, int32_t, int32_t,
                               PlatWindowProc) {
  return nullptr;
}
// Show or hide the pointer over the window.
void null_show_cursor(int) {}
// Release the window and the window system.
void null_shutdown(void) {}
// Take the next posted message (messages_take), else the window system's.
int null_peek_message(PlatMessage *) { return 0; }
// Hand the message to its window's procedure.
intptr_t null_dispatch_message(const PlatMessage *) { return 0; }
// Queue a message for a window (messages_push).
int null_post_message(PlatWindow *, uint32_t, uintptr_t, intptr_t) { return 0; }
// Queue WM_QUIT behind everything posted so far.
void null_post_quit_message(int) {}
// WM_CLOSE destroys the window (WM_DESTROY to its procedure); else 0.
intptr_t null_default_window_proc(PlatWindow *, uint32_t, uintptr_t, intptr_t) {
  return 0;
}
// 1 once the user asked to end (close button, SIGINT, SIGTERM).
int null_close_requested(void) { return 0; }

// Milliseconds since some start, wrapping; cheap to spin on.
uint32_t null_ticks(void) { return 0; }

void null_ticks_deadline(uint32_t) {}
// Give the processor away for at least `ms`.
void null_sleep(uint32_t) {}
// Sleep until a key or pad input, a close request, input on a watched
// descriptor or the deadline (null: none), whichever comes first; never
// from plat_keyboard_read or plat_ticks.
void null_wait_input(const uint32_t *) {}
// Remember the descriptor among those whose input ends the wait.
int null_wait_watch(int) { return 0; }
void null_wait_unwatch(int) {}

// Prepare the screen for 8-bit frames of that size.
int null_display_set_mode(int32_t, int32_t, int32_t) { return 0; }
// Show one 8-bit frame through its palette.
void null_present(const uint8_t *, int32_t, int32_t, int32_t,
                  const uint8_t[1024]) {}
// Give the screen back.
void null_display_close(void) {}

// Open the system keyboard.
int null_keyboard_open(void) { return 0; }
// Fill 256 bytes by DirectInput key code: 0x80 down, 0 up.
int null_keyboard_read(uint8_t[256]) { return 0; }
// 1 while Escape is down, keyboard open or not.
int null_escape_down(void) { return 0; }
// Close the keyboard.
void null_keyboard_close(void) {}

// Open the default audio device.
int null_audio_open(void) { return 0; }
// Make a silent voice of that many 8-bit samples.
PlatVoice null_voice_create(uint32_t) { return 0; }
// Give write access to a voice's samples.
uint8_t *null_voice_lock(PlatVoice, uint32_t *) { return nullptr; }
// Take the written samples over.
int null_voice_unlock(PlatVoice) { return 0; }
// Start the voice from where it is, looping or not.
int null_voice_play(PlatVoice, int) { return 0; }
// Silence the voice, keeping its position.
int null_voice_stop(PlatVoice) { return 0; }
// Back to the first sample.
int null_voice_rewind(PlatVoice) { return 0; }
// 1 while it sounds.
int null_voice_playing(PlatVoice) { return 0; }
// Silence and free the voice.
void null_voice_destroy(PlatVoice) {}
// Close the device, destroying any voices left.
void null_audio_close(void) {}
// The mute switch: kept, and told as it is.
int null_audio_muted(void) { return 0; }
void null_audio_mute(int) {}

// The table every backend makes from its functions (platform/plat_backend.h).
const PlatBackend *null_backend(void) {
  static const PlatBackend table = PLAT_BACKEND_TABLE(null);
  return &table;
}
