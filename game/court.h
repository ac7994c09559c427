// Where the game puts things on its 640x480 court, the colour it writes its
// messages in, and its one question to the keyboard.
#ifndef QUILLFIRE_COURT_H
#define QUILLFIRE_COURT_H

#include <stdint.h>

#include "engine/input/keyboard.h"

// Palette index of every message the game writes: the loading note, the
// pause, the serve prompt, the winner and network play's note.
const int32_t MESSAGE_COLOR = 144;

// The paddles' places at a match's start and at every serve.
const int32_t PADDLE1_HOME_X = 280, PADDLE1_HOME_Y = 450;
const int32_t PADDLE2_HOME_X = 280, PADDLE2_HOME_Y = 22;

// The ball at a match's start, and where each side serves it from.
const int32_t BALL_HOME_X = 315, BALL_HOME_Y = 442;
const int32_t BALL_BOTTOM_SERVE_X = 315, BALL_BOTTOM_SERVE_Y = 440;
const int32_t BALL_TOP_SERVE_X = 315, BALL_TOP_SERVE_Y = 29;

// 1 while the key is down in this frame's keyboard_state snapshot.
inline bool key_down(uint8_t code) { return keyboard_state[code] != 0; }

#endif
