// The platform layer: everything the game and its library need from the
// operating system, behind one narrow C-style interface.
//
// Two implementations are linked at build time:
//   platform/sdl/       the real game: an SDL2 window, audio and keyboard;
//   platform/headless/  tests and tools: a virtual clock, scripted keys,
//                       captured frames and a software audio mix.
// Nothing above this header knows which one it runs on.
//
// Everything here is called from the game's one thread. Results follow the
// library's convention: 1 for success, 0 for failure, unless said otherwise.
#ifndef QUILLFIRE_PLATFORM_H
#define QUILLFIRE_PLATFORM_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// ---------------------------------------------------------------------------
// Start-up and the window
// ---------------------------------------------------------------------------

typedef struct PlatWindow PlatWindow;  // opaque: the one game window

// Window messages, numbered as the Windows ones the game was written against.
enum {
  WM_CREATE = 0x0001,
  WM_DESTROY = 0x0002,
  WM_PAINT = 0x000F,
  WM_CLOSE = 0x0010,
  WM_QUIT = 0x0012,
  WM_KEYDOWN = 0x0100,
  WM_KEYUP = 0x0101,
  WM_USER = 0x0400
};

typedef struct PlatMessage {
  PlatWindow *window;  // null for thread messages such as WM_QUIT
  uint32_t message;
  uintptr_t wparam;
  intptr_t lparam;
} PlatMessage;

typedef intptr_t (*PlatWindowProc)(PlatWindow *window, uint32_t message,
                                   uintptr_t wparam, intptr_t lparam);

// Brings up the window system (the stand-in for registering the window
// class). Called once, first of all. Returns 0 when there is no usable
// display; plat_error() then says why in one line.
int plat_init(void);

// The last failure of plat_init or plat_window_create, as one line of text
// without a newline. Never null.
const char *plat_error(void);

// The program's instance token (the stand-in for the instance handle). Non-null
// after plat_init.
void *plat_instance(void);

// Size of the desktop in pixels, as it is now. Fills both and returns 1, or
// returns 0 and leaves them alone when there is no display.
int plat_desktop_size(int32_t *width, int32_t *height);

// Creates the one window: borderless, visible, at (x, y), width by height,
// titled `title`. `proc` receives the messages dispatched to it; WM_CREATE is
// sent before this returns. Returns the window, or null (plat_error() says
// why).
PlatWindow *plat_window_create(const char *title, int32_t x, int32_t y,
                               int32_t width, int32_t height,
                               PlatWindowProc proc);

// Shows (1) or hides (0) the mouse pointer over the window.
void plat_show_cursor(int show);

// Releases the window and everything plat_init brought up. Called once, as
// the program ends; nothing else here is called after it.
void plat_shutdown(void);

// ---------------------------------------------------------------------------
// Messages
// ---------------------------------------------------------------------------

// Takes the next message from the queue without waiting (PeekMessage with
// PM_REMOVE). Returns 1 and fills `msg` when one was taken, 0 when the queue
// is empty. Posted messages come out in the order they were posted; the
// window system's own (close requests, paints) are turned into WM_CLOSE and
// WM_PAINT as they are found.
int plat_peek_message(PlatMessage *msg);

// Hands a message to its window's procedure and returns what it returned.
// Thread messages (no window) are not dispatched; 0 is returned.
intptr_t plat_dispatch_message(const PlatMessage *msg);

// Queues a message for `window`; it is seen by a later plat_peek_message.
// Returns 1, or 0 when the window is null.
int plat_post_message(PlatWindow *window, uint32_t message, uintptr_t wparam,
                      intptr_t lparam);

// Queues WM_QUIT with `exit_code` as its wparam (PostQuitMessage). WM_QUIT is
// taken after every message posted before it.
void plat_post_quit_message(int exit_code);

// What a window procedure does with a message it does not handle itself.
// WM_CLOSE destroys the window: the procedure is sent WM_DESTROY at once.
// Everything else is answered with 0.
intptr_t plat_default_window_proc(PlatWindow *window, uint32_t message,
                                  uintptr_t wparam, intptr_t lparam);

// 1 once the user has asked the program to end (the window's close button,
// SIGINT, SIGTERM), whether or not the resulting WM_CLOSE has been taken from
// the queue yet; 0 before. Looks at the window system without waiting, so a
// busy loop that handles no messages may still poll it to learn that it
// should give up. Stays 1 once set.
int plat_close_requested(void);

// ---------------------------------------------------------------------------
// Time
// ---------------------------------------------------------------------------

// Milliseconds since an arbitrary start, as an unsigned 32-bit count that
// wraps (GetTickCount). Cheap to call in a busy loop: on the real platform a
// call that follows the previous one within a fraction of a millisecond first
// gives the processor away for a moment, so spinning on it does not burn a
// core; the count it returns is still the current one.
uint32_t plat_ticks(void);

// Gives the processor away for at least `ms` milliseconds (Sleep).
void plat_sleep(uint32_t ms);

// ---------------------------------------------------------------------------
// Display
// ---------------------------------------------------------------------------

// Prepares the screen for frames of width by height pixels at `bits` bits per
// pixel (the stand-in for the exclusive display mode). Only 8 bits per pixel
// is offered. Returns 0 when the mode can't be had; the previous mode, if
// any, stays.
int plat_display_set_mode(int32_t width, int32_t height, int32_t bits);

// Shows one 8-bit frame: `pixels` holds `height` rows of `width` palette
// indices, `pitch` bytes apart; `palette` holds 256 entries of four bytes
// (red, green, blue, flags), of which the flags are ignored. The picture is on
// the screen when this returns; nothing is kept of either buffer, so the
// caller may change them at once. Does nothing before a mode is set.
void plat_present(const uint8_t *pixels, int32_t pitch, int32_t width,
                  int32_t height, const uint8_t palette[1024]);

// Gives the screen back (the end of the exclusive mode).
void plat_display_close(void);

// ---------------------------------------------------------------------------
// Keyboard
// ---------------------------------------------------------------------------

// Opens the system keyboard. Returns 0 when there is none.
int plat_keyboard_open(void);

// Fills all 256 bytes of `state`, indexed by DirectInput key code (DIK_*),
// with the keys' state at this moment: 0x80 for a key that is down, 0 for one
// that is up. Returns 1, or 0 (state untouched) when the keyboard isn't open.
// Like plat_ticks, cheap to call in a busy loop, and it brings in the window
// system's pending input so that the next read sees the keys as they are.
int plat_keyboard_read(uint8_t state[256]);

// 1 while Escape is down at this moment, else 0 (GetAsyncKeyState's stand-in;
// works without the keyboard being open).
int plat_escape_down(void);

// Closes the keyboard. plat_keyboard_read then returns 0.
void plat_keyboard_close(void);

// ---------------------------------------------------------------------------
// Audio
// ---------------------------------------------------------------------------
//
// A voice is one short sound held whole by the platform: 8-bit unsigned mono
// samples played at 11025 Hz, whatever they were recorded as. Voices play
// independently and are mixed by the platform (a clamped sum).
//
// Handles are never reused while the program runs: a call with a destroyed
// (or never made) handle does nothing and returns 0 or null.

typedef int32_t PlatVoice;  // a voice handle; 0 is never a voice

// Opens the default audio device; called once, before any voice is made.
// Returns 0 when there is none or it can't be opened (nothing is printed);
// every voice call then fails harmlessly.
int plat_audio_open(void);

// Makes a silent, stopped voice of `bytes` samples, positioned at its first
// sample. Returns its handle, or 0 without a device, for 0 bytes, or when the
// platform can't hold that many.
PlatVoice plat_voice_create(uint32_t bytes);

// Gives write access to all of a voice's samples, as they are now. Returns
// the address and stores the length in `bytes`, or returns null. The samples
// are taken over by plat_voice_unlock; until then the voice plays what it
// held before. plat_voice_unlock returns 1, or 0 for no voice or one that
// isn't locked.
uint8_t *plat_voice_lock(PlatVoice voice, uint32_t *bytes);
int plat_voice_unlock(PlatVoice voice);

// Starts the voice from its current position; a voice that is already
// playing goes on from where it is. Without `looping` it plays to its last
// sample, then stops and is back at its first; with `looping` it starts again
// from the first sample at the end, for ever. Returns at once: 1, or 0 for no
// voice.
int plat_voice_play(PlatVoice voice, int looping);

// Silences the voice, keeping its position. Returns 1, or 0 for no voice.
int plat_voice_stop(PlatVoice voice);

// Moves the play position to the first sample, also while playing. Returns
// 1, or 0 for no voice.
int plat_voice_rewind(PlatVoice voice);

// 1 while the voice is sounding.
int plat_voice_playing(PlatVoice voice);

// Silences and frees a voice. The handle is dead afterwards.
void plat_voice_destroy(PlatVoice voice);

// Closes the audio device. Voices should have been destroyed first; any left
// are destroyed here. plat_audio_open may open it again.
void plat_audio_close(void);

#ifdef __cplusplus
}
#endif

#endif
