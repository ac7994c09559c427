// Shared by the SDL backend's files; nothing outside platform/sdl sees it.
#ifndef QUILLFIRE_SDL_INTERNAL_H
#define QUILLFIRE_SDL_INTERNAL_H

#include <SDL.h>

// The game window, or null before it is made.
SDL_Window *sdl_window(void);

// Nanoseconds on the monotonic clock.
long long sdl_monotonic_ns(void);

// Called by the keyboard read, which the title and serve waits spin on: when
// the previous read was only a moment ago, sleeps until the window system
// sends the program something (a key, a close) or a frame time has passed;
// off X, until the next millisecond. A read right after one that saw keys
// change is not held back.
void sdl_pace_poll(void);
// Called by the keyboard read with what it read, so that a read that
// follows a change of keys is never held back.
void sdl_pace_keys_read(const uint8_t state[256]);

// While SDL probes for a display or a sound device, the libraries behind the
// ones that aren't there complain on standard error; what matters is said in
// our own words. sdl_hush_stderr sends standard error nowhere and returns what
// sdl_restore_stderr needs to bring it back.
int sdl_hush_stderr(void);
void sdl_restore_stderr(int saved);

#endif
