// Quitting at once: a close request (the window's button, SIGTERM, SIGINT)
// ends the game from every screen within half a second, and nothing is shown
// once the game knows it is ending.
#include <unistd.h>

#include "engine/input/keyboard.h"
#include "game/game.h"
#include "support.h"

namespace {

const uint32_t WITHIN_MS = 500;

// When the close comes, as a time or relative to the winner's score.
enum Moment { AT_TIME, WINNER_PAUSE, WINNER_MESSAGE };

uint32_t close_at;
Moment moment;
int frames_after_quit;
bool winner_seen;

void watch_frame(const uint8_t *, int32_t, int32_t, const uint8_t *, void *) {
  if (headless_close_raised() || quit_posted) frames_after_quit++;
  // A match one goal from its end: the next goal wins it.
  if (moment != AT_TIME && (ball.xv || ball.yv) &&
      game_state.player2_score < 9) {
    game_state.player2_score = 9;
  }
  if (moment != AT_TIME && !winner_seen && game_state.player2_score == 10) {
    // This frame is the final score; 600 ms later the winner's message, then
    // 2000 ms of it.
    winner_seen = true;
    close_at = headless_now() + (moment == WINNER_PAUSE ? 300 : 1400);
    headless_request_close_at(close_at);
  }
}

using Quit = Fresh;

TEST_F(Quit, ACloseRequestEndsEveryScreenAtOnce) {
  struct Case {
    const char *screen;
    void (*keys)();
    Moment moment;
    uint32_t close;
  } cases[] = {
      {"title", [] {}, AT_TIME, 1000},
      {"fade after choosing", [] { headless_tap_at(100, DIK_1, 40); }, AT_TIME,
       900},
      {"serve prompt", [] { headless_tap_at(100, DIK_1, 40); }, AT_TIME, 2500},
      {"rally",
       [] {
         headless_tap_at(100, DIK_1, 40);
         headless_tap_at(1900, DIK_SPACE, 40);
       },
       AT_TIME, 2500},
      {"paused rally",
       [] {
         headless_tap_at(100, DIK_1, 40);
         headless_tap_at(1900, DIK_SPACE, 40);
         headless_tap_at(2200, DIK_P, 40);
       },
       AT_TIME, 2700},
      {"fade after Escape",
       [] {
         headless_tap_at(100, DIK_1, 40);
         headless_tap_at(1900, DIK_SPACE, 40);
         headless_tap_at(2500, DIK_ESCAPE, 40);
       },
       AT_TIME, 2900},
      {"Q's fade", [] { headless_tap_at(100, DIK_Q, 40); }, AT_TIME, 900},
      {"winner's pause",
       [] {
         headless_tap_at(100, DIK_1, 40);
         headless_tap_at(1900, DIK_SPACE, 40);
       },
       WINNER_PAUSE, 0},
      {"winner's message",
       [] {
         headless_tap_at(100, DIK_1, 40);
         headless_tap_at(1900, DIK_SPACE, 40);
       },
       WINNER_MESSAGE, 0},
  };
  for (const Case &c : cases) {
    reset_everything();
    ASSERT_EQ(chdir(QF_RUN_DIR), 0);
    moment = c.moment;
    close_at = c.close;
    frames_after_quit = 0;
    winner_seen = false;
    headless_on_present(watch_frame, nullptr);
    c.keys();
    if (c.moment == AT_TIME) headless_request_close_at(c.close);
    EXPECT_EQ(WinMain(plat_instance(), nullptr, nullptr, 0), 0) << c.screen;
    EXPECT_TRUE(c.moment == AT_TIME || winner_seen) << c.screen;
    EXPECT_LE(headless_now(), close_at + WITHIN_MS) << c.screen;
    EXPECT_GE(headless_now(), close_at) << c.screen;
    EXPECT_EQ(frames_after_quit, 0) << c.screen;
  }
}

}  // namespace
