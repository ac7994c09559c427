#include "support.h"

#include <string.h>

#include "engine/clock.h"
#include "engine/display/display.h"
#include "engine/input/keyboard.h"
#include "engine/random.h"
#include "engine/sound/sound.h"
#include "engine/window.h"
#include "game/game.h"
#include "platform/headless/headless_audio.h"

void reset_everything() {
  display_shutdown();
  keyboard_release();
  input_shutdown();
  if (!sound_first_call) sound_shutdown();
  memset(sound_table, 0, sizeof sound_table);
  sound_first_call = 1;
  headless_reset();
  headless_audio_reset();
  random_state = 1;
  clock_start_tick = 0;
  memset(keyboard_state, 0, sizeof keyboard_state);
  game_state = GameState{0, 0, 0, 1, 1};
  quit_posted = 0;
  pause_reset();
  ball = BOB{};
  paddle1 = BOB{};
  paddle2 = BOB{};
  main_window = nullptr;
  app_instance = nullptr;
  display_width = 640;
  display_height = 480;
  display_depth = 8;
}

void size_sprites() {
  ball.width = ball.height = 11;
  paddle1.width = 66;
  paddle1.height = 8;
  paddle2.width = 65;
  paddle2.height = 8;
}

namespace {
intptr_t test_window_proc(PlatWindow *w, uint32_t m, uintptr_t wp,
                          intptr_t lp) {
  return window_proc(w, m, wp, lp);
}
}  // namespace

void open_window_display_keyboard() {
  ASSERT_EQ(plat_init(), 1);
  main_window =
      plat_window_create("Quillfire", 0, 0, 1280, 1024, test_window_proc);
  app_instance = plat_instance();
  ASSERT_EQ(display_init(640, 480, 8), 1);
  input_init();
  ASSERT_EQ(keyboard_init(), 1);
}
