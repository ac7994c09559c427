#include "run/reset_all.h"

#include "engine/clock.h"
#include "engine/display/display.h"
#include "engine/input/keyboard.h"
#include "engine/random.h"
#include "engine/sound/sound.h"
#include "engine/window.h"
#include "game/game.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_audio.h"

// The game's parts first: they release sprites and pictures whose surfaces
// the display's reset would otherwise find still alive.
void reset_all(void) {
  shell_reset();
  rally_reset();
  pause_reset();
  match_reset();
  scene_reset();
  display_reset();
  keyboard_reset();
  sound_reset();
  random_reset();
  clock_reset();
  window_reset();
  headless_reset();
  headless_audio_reset();
}
