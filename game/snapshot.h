// The game's state saved and restored: everything the frames to come depend
// on, so that loading a snapshot and running the same inputs again shows the
// same frames. Small and plain (no pointers), so that it can be taken every
// frame and copied or compared as bytes.
//
// Which moments can be saved: after a pass of the shell's loop (shell_pass)
// and before the next, that is between two frames of a rally, running or
// paused. The title, the serve prompt, the winner's message and the fades run
// inside one pass, with their own keyboard loops, and can't be saved in their
// middle; a pass that shows them is saved before it and after it. Not before
// the first pass: shell_start leaves the serve prompt's words on the screen,
// which no frame composes. Nor once the end is posted: the platform's queue
// then holds the messages that end the program, and they are not in the
// state.
//
// What is not in it: the pictures, sprites' surfaces and sounds (resources,
// the same all game long); the pixels on the screen (every frame composes
// them afresh from the state; the one thing that shows the screen's picture
// as it stands, the fade when Escape leaves a rally, first composes the
// loaded scene, see scene_compose_stale); the frame clock's start tick (every
// frame and every wait starts it again before reading it); the sounds
// playing, the platform's queue and the keys it remembers, which belong to
// the platform.
#ifndef QUILLFIRE_SNAPSHOT_H
#define QUILLFIRE_SNAPSHOT_H

#include <stdint.h>

#include "engine/display/ddraw.h"
#include "game/game.h"

// What of a sprite changes in play.
struct SpriteMotion {
  int32_t x, y;
  int32_t xv, yv;
};

struct GameSnapshot {
  GameState state;  // scores, mode, serve, goal_armed
  SpriteMotion ball, paddle1, paddle2;
  uint32_t random_state;
  int32_t game_paused;
  int32_t pause_key_was_down;
  int32_t title_showing;
  int32_t serve_prompt_showing;
  int32_t quit_posted;
  uint8_t keyboard_state[256];  // the keys as the game last read them
  PALETTEENTRY palette[256];    // the palette installed on the screen
};

// Called between two passes of the shell's loop (see above).
void game_save(GameSnapshot *snapshot);
// Called between two passes of the shell's loop, with a snapshot game_save
// filled in this run of the program. Shows nothing: the screen keeps its
// picture until the next frame composes the loaded state's.
void game_load(const GameSnapshot *snapshot);

#endif
