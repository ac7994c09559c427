// Quitting at once: a close request (the window's button, SIGTERM, SIGINT)
// ends the game from every screen within half a second, and nothing is shown
// once the game knows it is ending.
#include <unistd.h>

#include <vector>

#include "engine/input/keyboard.h"
#include "game/game.h"
#include "support.h"

namespace {

// When the close comes: at a time, or this long after the winning goal's
// frame (600 ms later the winner's message, then 2000 ms of it).
const uint32_t WINNER_PAUSE = 300, WINNER_MESSAGE = 1400;

uint32_t close_at, after_winner;
int frames_after_quit;

void watch_frame(const uint8_t *, int32_t, int32_t, const uint8_t *, void *) {
  if (headless_close_raised() || quit_posted) frames_after_quit++;
  // A match one goal from its end: the next goal wins it.
  if (after_winner && (ball.xv || ball.yv) && game_state.player2_score < 9)
    game_state.player2_score = 9;
  if (after_winner && !close_at && game_state.player2_score == 10) {
    close_at = headless_now() + after_winner;
    headless_request_close_at(close_at);
  }
}

using Quit = Fresh;

TEST_F(Quit, ACloseRequestEndsEveryScreenAtOnce) {
  const uint8_t ONE = DIK_1, SPACE = DIK_SPACE, ESC = DIK_ESCAPE;
  struct Case {
    const char *screen;
    std::vector<std::pair<uint32_t, uint8_t>> taps;
    uint32_t close, after_winner;
  } cases[] = {
      {"title", {}, 1000, 0},
      {"fade after choosing", {{100, ONE}}, 900, 0},
      {"serve prompt", {{100, ONE}}, 2500, 0},
      {"rally", {{100, ONE}, {1900, SPACE}}, 2500, 0},
      {"paused rally", {{100, ONE}, {1900, SPACE}, {2200, DIK_P}}, 2700, 0},
      {"fade after Escape", {{100, ONE}, {1900, SPACE}, {2500, ESC}}, 2900, 0},
      {"Q's fade", {{100, DIK_Q}}, 900, 0},
      {"winner's pause", {{100, ONE}, {1900, SPACE}}, 0, WINNER_PAUSE},
      {"winner's message", {{100, ONE}, {1900, SPACE}}, 0, WINNER_MESSAGE},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.screen);
    reset_everything();
    ASSERT_EQ(chdir(QF_RUN_DIR), 0);
    close_at = c.close;
    after_winner = c.after_winner;
    frames_after_quit = 0;
    headless_on_present(watch_frame, nullptr);
    for (const auto &tap : c.taps) headless_tap_at(tap.first, tap.second, 40);
    if (close_at) headless_request_close_at(close_at);
    EXPECT_EQ(WinMain(plat_instance(), nullptr, nullptr, 0), 0);
    ASSERT_NE(close_at, 0u) << "no winner";
    EXPECT_LE(headless_now(), close_at + 500);
    EXPECT_GE(headless_now(), close_at);
    EXPECT_EQ(frames_after_quit, 0);
  }
}

// A run past its virtual time limit is closed as a user would close it:
// whatever the screen, the game ends its own way, at once and showing
// nothing more, and the run is told apart from one the script ended.
TEST_F(Quit, TheTimeLimitClosesEveryScreenAsAUserWould) {
  struct Case {
    const char *screen;
    std::vector<std::pair<uint32_t, uint8_t>> taps;
    uint32_t limit;
  } cases[] = {
      {"title", {}, 1000},
      {"serve prompt", {{100, DIK_1}}, 2500},
      {"rally", {{100, DIK_1}, {1900, DIK_SPACE}}, 2500},
      {"paused rally", {{100, DIK_1}, {1900, DIK_SPACE}, {2200, DIK_P}}, 2700},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.screen);
    reset_everything();
    ASSERT_EQ(chdir(QF_RUN_DIR), 0);
    close_at = after_winner = 0;
    frames_after_quit = 0;
    headless_on_present(watch_frame, nullptr);
    for (const auto &tap : c.taps) headless_tap_at(tap.first, tap.second, 40);
    headless_set_time_limit(c.limit);
    EXPECT_EQ(WinMain(plat_instance(), nullptr, nullptr, 0), 0);
    EXPECT_EQ(headless_time_limit_reached(), 1);
    EXPECT_GT(headless_elapsed(), c.limit);
    EXPECT_LE(headless_elapsed(), c.limit + 500);
    EXPECT_EQ(frames_after_quit, 0);
    EXPECT_EQ(headless_window(), nullptr);
  }
  reset_everything();
  EXPECT_EQ(headless_time_limit_reached(), 0) << "a reset clears it";
}

// A wait that nothing can end runs the clock to the limit, which closes it
// instead of leaving the caller waiting for ever; a wait the limit does not
// reach is left alone.
TEST_F(Quit, AWaitWithNothingToEndItStopsAtTheTimeLimit) {
  headless_set_time_limit(5000);
  const uint32_t deadline = 3000;
  plat_wait_input(&deadline);
  EXPECT_EQ(headless_now(), deadline);
  EXPECT_EQ(headless_close_raised(), 0);
  EXPECT_EQ(headless_time_limit_reached(), 0);
  plat_wait_input(nullptr);
  EXPECT_EQ(headless_time_limit_reached(), 1);
  EXPECT_EQ(headless_close_raised(), 1);
  EXPECT_EQ(headless_elapsed(), 5001u);
  plat_wait_input(nullptr);  // returns at once: the close stands
  EXPECT_LE(headless_elapsed(), 5002u);
  reset_everything();
}

// A run that goes on regardless of the close the limit asked for would
// spin for ever: it is stopped, saying so.
TEST(QuitDeathTest, ARunThatIgnoresTheLimitsCloseIsStopped) {
  reset_everything();
  headless_set_time_limit(100);
  EXPECT_DEATH(
      {
        for (;;) plat_ticks();
      },
      "after its time limit asked it to close");
  reset_everything();
}

}  // namespace
