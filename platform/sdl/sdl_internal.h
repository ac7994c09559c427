// Shared by the SDL backend's files; nothing outside platform/sdl sees it.
#ifndef QUILLFIRE_SDL_INTERNAL_H
#define QUILLFIRE_SDL_INTERNAL_H

#include <SDL.h>

// The game window, or null before it is made.
SDL_Window *sdl_window(void);

// 1 when the picture is to be scaled by whole numbers only (the window
// options).
int sdl_whole_scale_only(void);

// Shows the last presented frame again, laid out afresh for the window's
// size now: after a resize or a switch between window and full screen, so
// the new size shows the picture at once even while the game waits.
void sdl_present_again(void);

// Called right after every pump of SDL's events (the keyboard reads, the
// message peek, the close poll): carries out what the pump brought in and the
// game is not told of, the switches between window and full screen (Alt+Enter,
// F11) and showing the frame again after a resize.
void sdl_after_pump(void);

// 1 for the key presses that switch between window and full screen (F11,
// Enter with Alt): they belong to the platform and never reach the game.
int sdl_switch_key(const SDL_KeyboardEvent *key);

// 1 when an X11 window manager runs on the display SDL uses (one that keeps
// _NET_SUPPORTING_WM_CHECK up to date), 0 when none does or there is no X
// display.
int sdl_x11_window_manager_running(void);

// Whether the X window manager holds `sdl` in its full-screen state now
// (_NET_WM_STATE_FULLSCREEN): 1 or 0, or -1 when the window is no X window.
// One round trip on SDL's own connection.
int sdl_x11_wm_fullscreen(SDL_Window *sdl);

// Asks the X window manager to put `sdl` into its full-screen state (on 1)
// or take it out (0): for when SDL's idea of the state is not the window
// manager's (the window manager changed it), and asked through SDL it would
// do nothing, or go through a window of SDL's own choosing on the way.
void sdl_x11_wm_ask_fullscreen(SDL_Window *sdl, int on);

// The X window's inside on the screen as the X server has it now; 1, or 0
// when `sdl` is no X window. SDL's own answer is the display's corner for
// as long as it thinks the window full screen, which the window manager may
// have ended.
int sdl_x11_window_rect(SDL_Window *sdl, SDL_Rect *rect);

// Forgets the display mode (sdl_display_close's work), for sdl_shutdown.
void sdl_present_close(void);

// The backend's plat_close_requested, also asked by its own waits
// (sdl_sleep, sdl_wait_input). A backend never calls plat_*: that would go
// through the table in use, which may be a layer over it (the recording's)
// that would take the call for the game's.
int sdl_close_requested(void);

// Nanoseconds on the monotonic clock.
long long sdl_monotonic_ns(void);

// SDL_PumpEvents, skipped when events were pumped less than a millisecond
// ago and the display connection has brought nothing since. Called by the
// keyboard read, the Escape test, the present and the message queue.
void sdl_pump_events(void);
// 1 when a key went down or up, or a pad's input came, since the last
// keyboard read or the last call: plat_wait_input then ends.
int sdl_take_input_arrived(void);

// While SDL probes for a display or a sound device, the libraries behind the
// ones that aren't there complain on standard error; what matters is said in
// our own words. sdl_hush_stderr sends standard error nowhere and returns what
// sdl_restore_stderr needs to bring it back.
int sdl_hush_stderr(void);
void sdl_restore_stderr(int saved);

#endif
