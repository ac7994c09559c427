// Everything a test or the runner leaves behind halfway through a match is
// put back to how a new process starts, with nothing held: no surface alive,
// no picture or sprite left allocated (the sanitizer build sees leaks).
#include <unistd.h>

#include <vector>

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
  open_window_display_keyboard();
  ASSERT_EQ(display_init(320, 200, 8), 1);
  ASSERT_EQ(chdir(QF_RUN_DIR), 0);
  ASSERT_EQ(load_assets(), 1);
  load_sounds();
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

  // Nothing held: no surface, clipper, window, picture, sprite or sound.
  EXPECT_EQ(dd_live_surfaces(), 0);
  EXPECT_EQ(dd_live_clippers(), 0);
  EXPECT_EQ(
      (std::vector<const void *>{primary_surface, main_window, app_instance,
                                 background_image.buffer, title_image.buffer,
                                 ball.frames[0], paddle2.frames[0]}),
      std::vector<const void *>(7, nullptr));
  EXPECT_EQ(sound_table[0].buffer, 0u);
  // The display's size and clip, the keyboard, the sounds' and the game's
  // state, the fade's palette and the clock as a new process has them.
  EXPECT_EQ(
      (std::vector<int32_t>{display_width, display_height, display_depth,
                            clip_left, clip_top, clip_right, clip_bottom}),
      (std::vector<int32_t>{640, 480, 8, 0, 0, 639, 479}));
  EXPECT_EQ(
      (std::vector<long long>{
          keyboard_state[DIK_SPACE], sound_first_call, bounce_sound,
          title_sound, game_state.player1_score, game_state.player2_score,
          game_state.mode, game_state.serving_side, game_state.goal_armed,
          quit_posted, title_showing, game_paused, saved_palette[9].peRed,
          clock_start_tick}),
      (std::vector<long long>{0, 1, -1, -1, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0}));
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
