// The window, its messages and the close request.
// Part of the platform interface; see platform/platform.h.
#ifndef QUILLFIRE_PLAT_WINDOW_H
#define QUILLFIRE_PLAT_WINDOW_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct PlatWindow PlatWindow;  // opaque: the one game window

// Window messages, numbered as the Windows ones the game was written against.
enum {
  WM_CREATE = 0x0001,
  WM_DESTROY = 0x0002,
  // The window gained (WM_SETFOCUS) or lost (WM_KILLFOCUS) the keyboard
  // focus. Queued by both backends as it happens; a loss that is already
  // over when the window system's event is taken is not reported.
  WM_SETFOCUS = 0x0007,
  WM_KILLFOCUS = 0x0008,
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

// How the window is to be shown, from the command line and the settings kept:
// called by main once, before the game starts (before plat_init and
// plat_window_create). windowed: 1 for a decorated, resizable window (see
// plat_window_place_restore), at least 640 by 480 (or the screen's usable
// part where that is smaller), 0 (the default) for full screen.
// whole_scale_only: 1 to scale the picture by whole numbers only, 0 (the
// default) to fill the largest 4:3 rectangle with sharp seams. Either way
// Alt+Enter and F11 switch between window and full screen at any moment, as
// does the window manager (its full-screen state is followed); the game is not
// told.
void plat_window_options(int windowed, int whole_scale_only);

// How the window was left, for the settings kept between runs: full screen
// or a window, and the window's inside (without the window manager's frame)
// on the screen as it was when it was last a window; width and height 0 when
// it has not been one.
typedef struct PlatWindowPlace {
  int fullscreen;
  int32_t x, y, width, height;
} PlatWindowPlace;

// Called by main once, before plat_window_create: where the window goes when
// it is first a window, if its frame fits the screen's usable part there;
// elsewhere it goes to the platform's own choice (the largest whole multiple
// of 640 by 480 whose frame fits, centred). Only the place and size are
// taken; plat_window_options says whether to start full screen.
void plat_window_place_restore(const PlatWindowPlace *place);

// Called by main after the game has ended (plat_shutdown may have been
// called): how the window was last seen. Returns 1 and fills `place`, or 0
// when no window was made.
int plat_window_place(PlatWindowPlace *place);

// Called by main once, before plat_window_create: the window's icon, width
// by height pixels of 0xAARRGGBB row after row (copied; alpha 0 is
// transparent), for the window manager to show.
void plat_window_icon(const uint32_t *argb, int32_t width, int32_t height);

// Creates the one window: borderless, visible, at (x, y), width by height,
// titled `title` (full screen; a window set by plat_window_options has its own
// size and place). `proc` receives the messages dispatched to it; WM_CREATE is
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

#ifdef __cplusplus
}
#endif

#endif
