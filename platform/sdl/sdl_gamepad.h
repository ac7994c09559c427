// Gamepads through SDL's game controller API, as keys (platform/pad_keys.h).
// Used by the keyboard (sdl_keyboard.cpp); nothing outside platform/sdl sees
// it.
#ifndef QUILLFIRE_SDL_GAMEPAD_H
#define QUILLFIRE_SDL_GAMEPAD_H

#include <SDL.h>
#include <stdint.h>

// Brings up SDL's game controllers, with its mapping database as it comes
// and SDL_GAMECONTROLLERCONFIG on top. Pads present now, and any plugged in
// later, are opened by the next sdl_gamepad_keys. Returns 0 when SDL can't
// offer game controllers (the keyboard works without them).
int sdl_gamepad_open(void);
void sdl_gamepad_close(void);

// Marks the keys that the playing pads hold down now as down in `state`.
// Takes in pads plugged in and lets go of pads pulled out since the last
// call: the first pad plays the bottom paddle, the second the top one, and a
// pad plugged in takes the first free place.
void sdl_gamepad_keys(uint8_t state[256]);

// Called with every event as SDL takes it in: a button or stick event marks
// the keys it presses as down in `pressed`, so that a press shorter than the
// time between two reads is still seen. Notes pads coming and going.
void sdl_gamepad_event(const SDL_Event *event, uint8_t pressed[256]);

// How many pads play now (for tests).
int sdl_gamepad_count(void);

#endif
