// Everything a test or the runner leaves behind halfway through a match is
// put back to how a new process starts, with nothing held: no surface alive,
// no picture or sprite left allocated (the sanitizer build sees leaks).
#include <unistd.h>

#include "engine/clock.h"
#include "engine/display/ddraw_testing.h"
#include "engine/display/display.h"
#include "engine/input/keyboard.h"
#include "engine/random.h"
#include "engine/sound/sound.h"
#include "engine/window.h"
#include "game/game.h"
#include "run/reset_all.h"
#include "support.h"

namespace {

// The game as a failed test may leave it: the display open at another size,
// sprites, pictures and sounds loaded, a match under way, a fade's palette
// saved, the random sequence and the clock moved on.
void leave_a_match_halfway() {
  char here[4096];
  ASSERT_NE(getcwd(here, sizeof here), nullptr);
  ASSERT_EQ(chdir(QF_RUN_DIR), 0);
  ASSERT_EQ(plat_init(), 1);
  main_window = plat_window_create("Quillfire", 0, 0, 320, 200, window_proc);
  app_instance = plat_instance();
  ASSERT_EQ(display_init(320, 200, 8), 1);
  input_init();
  ASSERT_EQ(keyboard_init(), 1);
  ASSERT_EQ(load_assets(), 1);
  load_sounds();
  ASSERT_EQ(chdir(here), 0);
  keyboard_state[DIK_SPACE] = 0x80;
  game_state = GameState{4, 7, 2, 2, 0};
  quit_posted = title_showing = game_paused = 1;
  saved_palette[9].peRed = 200;
  clip_right = 100;
  random_next();
  random_next();
  headless_set_now(500);
  clock_start();
}

using Reset = Fresh;

TEST_F(Reset, AMatchLeftHalfwayIsBackToHowTheProgramStarts) {
  leave_a_match_halfway();
  ASSERT_GT(dd_live_surfaces(), 0);
  ASSERT_NE(background_image.buffer, nullptr);

  reset_all();

  EXPECT_EQ(dd_live_surfaces(), 0);
  EXPECT_EQ(dd_live_clippers(), 0);
  EXPECT_EQ(primary_surface, nullptr);
  EXPECT_EQ(main_window, nullptr);
  EXPECT_EQ(app_instance, nullptr);
  EXPECT_EQ(display_width, 640);
  EXPECT_EQ(display_height, 480);
  EXPECT_EQ(display_depth, 8);
  EXPECT_EQ(clip_left, 0);
  EXPECT_EQ(clip_top, 0);
  EXPECT_EQ(clip_right, 639);
  EXPECT_EQ(clip_bottom, 479);
  EXPECT_EQ(keyboard_state[DIK_SPACE], 0);
  EXPECT_EQ(sound_first_call, 1);
  EXPECT_EQ(sound_table[0].buffer, 0u);
  EXPECT_EQ(bounce_sound, -1);
  EXPECT_EQ(title_sound, -1);
  EXPECT_EQ(background_image.buffer, nullptr);
  EXPECT_EQ(title_image.buffer, nullptr);
  EXPECT_EQ(ball.frames[0], nullptr);
  EXPECT_EQ(paddle2.frames[0], nullptr);
  EXPECT_EQ(game_state.player1_score, 0);
  EXPECT_EQ(game_state.player2_score, 0);
  EXPECT_EQ(game_state.mode, 0);
  EXPECT_EQ(game_state.serving_side, 1);
  EXPECT_EQ(game_state.goal_armed, 1);
  EXPECT_EQ(quit_posted, 0);
  EXPECT_EQ(title_showing, 0);
  EXPECT_EQ(game_paused, 0);
  EXPECT_EQ(saved_palette[9].peRed, 0);
  EXPECT_EQ(clock_start_tick, 0u);
  // The never-seeded generator's sequence from its first number.
  EXPECT_EQ(random_next(), 41);
  EXPECT_EQ(random_next(), 18467);
}

// A reset leaves nothing that stops the next test from opening it all again.
TEST_F(Reset, EverythingOpensAgainAfterAReset) {
  leave_a_match_halfway();
  reset_all();
  leave_a_match_halfway();
  EXPECT_EQ(dd_live_surfaces(), 5);  // the screen, its back buffer, 3 sprites
  EXPECT_NE(ball.frames[0], nullptr);
  EXPECT_NE(title_image.buffer, nullptr);
}

}  // namespace
