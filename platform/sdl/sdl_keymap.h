// Which DirectInput key code each SDL scancode is reported under.
#ifndef QUILLFIRE_SDL_KEYMAP_H
#define QUILLFIRE_SDL_KEYMAP_H

#include <SDL.h>
#include <stdint.h>

// The DIK_ code of the key, or 0 for a scancode the keyboard doesn't report
// (0 is no key's code).
uint8_t sdl_scancode_dik(SDL_Scancode scancode);

#endif
