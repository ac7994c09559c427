// The game's state saved and restored: gathered from the modules that hold
// it, field by field.
#include "game/snapshot.h"

#include <string.h>

#include "engine/display/display.h"
#include "engine/display/palette.h"
#include "engine/input/keyboard.h"
#include "engine/random.h"

namespace {

SpriteMotion motion_of(const BOB &bob) {
  return SpriteMotion{bob.x, bob.y, bob.xv, bob.yv};
}

void set_motion(BOB *bob, const SpriteMotion &motion) {
  bob->x = motion.x;
  bob->y = motion.y;
  bob->xv = motion.xv;
  bob->yv = motion.yv;
}

}  // namespace

void game_save(GameSnapshot *snapshot) {
  snapshot->state = game_state;
  snapshot->ball = motion_of(ball);
  snapshot->paddle1 = motion_of(paddle1);
  snapshot->paddle2 = motion_of(paddle2);
  snapshot->random_state = random_state;
  snapshot->game_paused = game_paused;
  snapshot->pause_key_was_down = pause_key_was_down;
  snapshot->title_showing = title_showing;
  snapshot->serve_prompt_showing = serve_prompt_showing;
  snapshot->quit_posted = quit_posted;
  memcpy(snapshot->keyboard_state, keyboard_state, sizeof keyboard_state);
  palette_save(snapshot->palette);
}

void game_load(const GameSnapshot *snapshot) {
  game_state = snapshot->state;
  set_motion(&ball, snapshot->ball);
  set_motion(&paddle1, snapshot->paddle1);
  set_motion(&paddle2, snapshot->paddle2);
  random_state = snapshot->random_state;
  game_paused = snapshot->game_paused;
  pause_key_was_down = snapshot->pause_key_was_down;
  title_showing = snapshot->title_showing;
  serve_prompt_showing = snapshot->serve_prompt_showing;
  quit_posted = snapshot->quit_posted;
  memcpy(keyboard_state, snapshot->keyboard_state, sizeof keyboard_state);
  palette_restore(snapshot->palette);
  // Saved between passes, the state's last frame was drawn with the pause as
  // it stood then.
  scene_mark_stale(snapshot->game_paused);
}
