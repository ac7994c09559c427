// What the browser backend's files share among themselves; not for the
// game. Only platform/web/ includes Emscripten's headers.
#ifndef QUILLFIRE_WEB_INTERNAL_H
#define QUILLFIRE_WEB_INTERNAL_H

#include <stdint.h>

#include "platform/plat_backend.h"

// The backend's calls, one per slot of its table.
PLAT_BACKEND_DECLARATIONS(web)

// Milliseconds since the page's start, fractions kept.
double web_now_ms(void);

// Gives the browser its turn for `ms` milliseconds (0: just its turn):
// events are taken in, the canvas is painted, audio is unlocked meanwhile.
void web_yield(uint32_t ms);

// The page's key and focus events that came since the last call, taken into
// the key state, the latches and the message queue. Called by every read
// of input and every wait.
void web_take_events(void);

// A key event from the page, taken by web_take_events: the key state, the
// latches and the mute switch follow it.
void web_key_event(uint8_t dik, int down, int repeat);

// 1 once a key or pad input came since the last keyboard read or wait,
// and forgets it.
int web_take_input_arrived(void);

// The gamepads as they are now, pressed into `keys` (platform/pad_keys.h);
// returns 1 when a pad's state changed since the last look.
int web_gamepad_keys(uint8_t keys[256]);

// How many pads were plugged in at the last look.
int web_gamepads_plugged(void);

// The window the game made, or null.
PlatWindow *web_window(void);

// The last frame shown again, when the page changed size since.
void web_present_again_if_resized(void);

// M, the player's mute switch, went down.
void web_audio_toggle_mute(void);

#endif
