// Shared by the backends, not by the game: remembers every key that went
// down since the last read, so that a press and release between two reads
// (a short tap, or any press while the game reads no keys) is still seen.
#ifndef QUILLFIRE_KEY_LATCH_H
#define QUILLFIRE_KEY_LATCH_H

#include <stdint.h>

// One reader's memory of presses, by DirectInput key code. Each reader of the
// keyboard keeps its own, so that one read does not eat another's tap.
struct KeyLatch {
  uint8_t pressed[256];
};

// A key went down.
void key_latch_press(KeyLatch *latch, uint8_t dik);

// A key-down event from the window system for `dik`: a press, unless it is
// the auto-repeat of a key held down (`repeat` 1), which is no new press: a
// held Escape must leave one screen, not every screen after it.
void key_latch_key_down(KeyLatch *latch, uint8_t dik, int repeat);

// Every key down in `keys` (non-zero bytes) went down.
void key_latch_press_all(KeyLatch *latch, const uint8_t keys[256]);

// Marks every key that went down since the last take as down (0x80) in
// `state`, which holds the keys as they are now, and forgets them. Returns
// 1 when that changed `state`: a tap already over reads as down this once,
// so the next read will differ and the next wait for a key must not sleep.
int key_latch_take(KeyLatch *latch, uint8_t state[256]);

// Forgets every press.
void key_latch_clear(KeyLatch *latch);

#endif
