// The keyboard, read by DirectInput key code.
// Part of the platform interface; see platform/platform.h.
#ifndef QUILLFIRE_PLAT_KEYBOARD_H
#define QUILLFIRE_PLAT_KEYBOARD_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Opens the system keyboard. Returns 0 when there is none.
int plat_keyboard_open(void);

// Fills all 256 bytes of `state`, indexed by DirectInput key code (DIK_*):
// 0x80 for a key that is down at this moment or that went down since the
// previous read (a tap between two reads counts once, in the next read), 0
// for the others. The gamepads are part of the keyboard: their buttons and
// sticks read as keys (platform/pad_keys.h says which). Returns 1, or 0
// (state untouched) when the keyboard isn't open. Like plat_ticks, cheap to
// call in a busy loop, and it brings in the window system's pending input so
// that the next read sees the keys as they are.
int plat_keyboard_read(uint8_t state[256]);

// 1 while Escape (or a pad's B or Back) is down at this moment, or when it
// went down since the previous query, else 0 (GetAsyncKeyState's stand-in;
// works without the keyboard being open). It remembers presses apart from
// plat_keyboard_read: neither eats the other's tap.
int plat_escape_down(void);

// Closes the keyboard. plat_keyboard_read then returns 0.
void plat_keyboard_close(void);

#ifdef __cplusplus
}
#endif

#endif
