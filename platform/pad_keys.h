// Shared by both backends, not by the game: what a gamepad's buttons and
// stick mean, as keys in the keyboard snapshot, so that the game plays by pad
// without knowing it.
//
// The same buttons mean different things at the title and in play, and the
// game never tells the platform where it is. So each button stands for every
// key it means on any screen; no screen reads two of them:
//
//   button            first pad (bottom paddle)   second pad (top paddle)
//   d-pad, stick      Left / Right arrows         Z / X
//   A                 Space and 1                 Space and 2
//   Start             1 and P                     2 and P
//   B, Back           Escape                      Escape
//
// A serves at the prompt and chooses at the title (1: one player, 2: two);
// Start chooses at the title and pauses in a rally. B and Back leave a rally
// or the serve prompt; at the title a fresh Escape quits, so they quit there
// (Back was never given Q itself: Q counts even when held from before the
// title, and the Back that left a match would then quit the game too).
#ifndef QUILLFIRE_PAD_KEYS_H
#define QUILLFIRE_PAD_KEYS_H

#include <stdint.h>

enum PadButton {
  PAD_A,
  PAD_B,
  PAD_BACK,
  PAD_START,
  PAD_DPAD_LEFT,
  PAD_DPAD_RIGHT,
  PAD_BUTTON_COUNT
};

// One pad as it is now: its buttons (non-zero while down) and its left
// stick's position across, -32768 (left) to 32767 (right).
struct PadState {
  uint8_t buttons[PAD_BUTTON_COUNT];
  int16_t left_x;
};

// Pads that play: the first the bottom paddle, the second the top one.
const int32_t PAD_SLOTS = 2;

// The stick counts as pushed only beyond this far from the centre, so that a
// worn stick resting slightly off centre does not creep the paddle.
const int16_t PAD_DEAD_ZONE = 8000;

// Marks the keys that the pad in `slot` (0 or 1) holds down as down (0x80) in
// `keys`, leaving every other byte as it is. Any other slot holds no keys.
void pad_keys(const PadState *pad, int32_t slot, uint8_t keys[256]);

#endif
