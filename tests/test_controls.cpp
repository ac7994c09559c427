// Controls beyond the keys of the first game, played through the whole game
// on the headless platform: pause, taps between reads, the title's Escape and
// keypad, and gamepads.
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "engine/input/keyboard.h"
#include "game/game.h"
#include "support.h"

namespace {

struct Frame {
  uint32_t at;
  std::vector<uint8_t> pixels;
  int32_t ball_x, ball_y, ball_yv, paddle1_x, paddle2_x;

  uint8_t at_xy(int x, int y) const { return pixels[(size_t)y * 640 + x]; }
  // The title picture on black: the band left of it is colour 0.
  bool title() const {
    int band = 0, picture = 0;
    for (int y = 30; y < 470; y++) {
      band += at_xy(5, y) != 0;
      picture += at_xy(320, y) != 0;
    }
    return band == 0 && picture > 100;
  }
  // Pixels of the message colour where "Paused" stands.
  int paused_ink() const {
    int ink = 0;
    for (int y = 230; y < 255; y++) {
      for (int x = 290; x < 350; x++) ink += at_xy(x, y) == 144;
    }
    return ink;
  }
};

std::vector<Frame> seen;
std::function<void(const Frame &)> on_frame;

void keep_frame(const uint8_t *pixels, int32_t width, int32_t height,
                const uint8_t *, void *) {
  if (width != 640 || height != 480) return;
  seen.push_back({headless_now(),
                  {pixels, pixels + 640 * 480},
                  ball.x,
                  ball.y,
                  ball.yv,
                  paddle1.x,
                  paddle2.x});
  if (on_frame) on_frame(seen.back());
}

class Controls : public Fresh {
 protected:
  void SetUp() override {
    Fresh::SetUp();
    seen.clear();
    on_frame = nullptr;
    ASSERT_EQ(chdir(QF_RUN_DIR), 0);
    headless_on_present(keep_frame, nullptr);
  }
  void TearDown() override { on_frame = nullptr; }

  int play() { return WinMain(plat_instance(), nullptr, nullptr, 0); }

  std::vector<const Frame *> between(uint32_t from, uint32_t to) {
    std::vector<const Frame *> frames;
    for (const Frame &f : seen) {
      if (f.at >= from && f.at < to) frames.push_back(&f);
    }
    return frames;
  }

  // A fresh game: one player chosen, then served.
  void start_rally() {
    SetUp();
    headless_tap_at(100, DIK_1, 40);
    headless_tap_at(1500, DIK_SPACE, 40);
  }
};

// P, Pause or a lost focus stop the rally with "Paused" on the court: every
// frame is the same until P again, then the ball moves on.
TEST_F(Controls, PauseHoldsTheRallyUntilPAgain) {
  enum Cause { KEY_P, KEY_PAUSE, FOCUS };
  for (Cause cause : {KEY_P, KEY_PAUSE, FOCUS}) {
    start_rally();
    if (cause == FOCUS) {
      on_frame = [](const Frame &f) {
        if (f.at >= 1800 && seen[seen.size() - 2].at < 1800)
          headless_set_focus(0);
      };
    } else {
      headless_tap_at(1800, cause == KEY_P ? DIK_P : DIK_PAUSE, 2);
    }
    headless_tap_at(3500, DIK_P, 40);
    headless_tap_at(4000, DIK_ESCAPE, 40);
    headless_tap_at(6000, DIK_Q, 40);
    ASSERT_EQ(play(), 0) << cause;

    const auto paused = between(2000, 3400);
    ASSERT_GT(paused.size(), 50u) << cause;  // frames go on while paused
    for (const Frame *f : paused) {
      ASSERT_EQ(f->pixels, paused[0]->pixels) << cause << " at " << f->at;
    }
    const auto before = between(1700, 1780);
    ASSERT_FALSE(before.empty());
    EXPECT_GT(paused[0]->paused_ink(), before.back()->paused_ink() + 20);
    const auto after = between(3600, 3900);
    ASSERT_GT(after.size(), 2u);
    EXPECT_LT(after.back()->ball_y, paused[0]->ball_y - 20) << cause;
    EXPECT_EQ(after.back()->paused_ink(), before.back()->paused_ink());
  }
}

// Taps shorter than a frame, and presses while the game reads no keys.
TEST_F(Controls, EveryPressCountsAndOnlyOnce) {
  struct Case {
    const char *what;
    uint32_t escape_at, escape_hold;
    uint32_t q_down_at;  // 0: none; Q held, the game quits at the title
  } cases[] = {
      {"an Escape tap of 2 ms mid-rally leads to the title, and no further",
       2500, 2, 0},
      {"an Escape held through the fade leads to the title, and no further",
       2500, 3000, 0},
      {"Q held, then an Escape tap inside the fade: quit at the title", 1300,
       20, 1200},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    start_rally();
    if (c.q_down_at) headless_key_at(c.q_down_at, DIK_Q, 1);
    headless_tap_at(c.escape_at, DIK_ESCAPE, c.escape_hold);
    headless_tap_at(9000, DIK_Q, 40);
    ASSERT_EQ(play(), 0);
    if (c.q_down_at) {
      EXPECT_LT(headless_now(), 5000u);
      continue;
    }
    // The title again, once the fade that the Escape began is over, and
    // still up when Q comes: nothing is shown after it.
    auto title = std::find_if(seen.begin(), seen.end(), [](const Frame &f) {
      return f.at > 2500 && f.title();
    });
    ASSERT_NE(title, seen.end());
    EXPECT_GT(headless_now(), 9000u);
    EXPECT_TRUE(between(title->at + 1, 9000).empty());
  }
}

// The keypad chooses as 1 and 2 do; Escape pressed at the title quits.
TEST_F(Controls, TitleKeys) {
  const struct {
    uint8_t key;
    int32_t mode;
    bool quits;
  } cases[] = {
      {DIK_NUMPAD1, 1, false}, {DIK_NUMPAD2, 2, false}, {DIK_ESCAPE, 0, true}};
  for (const auto &c : cases) {
    SetUp();
    headless_tap_at(500, c.key, 40);
    headless_request_close_at(4000);
    ASSERT_EQ(play(), 0);
    EXPECT_EQ(game_state.mode, c.mode) << (int)c.key;
    EXPECT_EQ(headless_now() < 4000, c.quits) << (int)c.key;
  }
}

// `button` on the pad in `slot`, from `ms` for 40 ms.
void pad_tap_at(uint32_t ms, int32_t slot, PadButton button) {
  PadState pad = {};
  pad.buttons[button] = 1;
  headless_pad_at(ms, slot, &pad);
  headless_pad_at(ms + 40, slot, nullptr);
}

// Two pads play a two-player match by themselves, through the same mapping
// as on SDL: the second pad's A chooses two players, the first pad's A
// serves, and each pad's stick follows the ball. The second pad is pulled out
// for a while and the top paddle stands; plugged in again, it plays on. B
// leaves the match and Back quits at the title.
TEST_F(Controls, APadRallyWithPadsComingAndGoing) {
  const PadState idle = {};
  headless_pad(0, &idle);
  headless_pad(1, &idle);
  pad_tap_at(300, 1, PAD_A);
  pad_tap_at(1500, 0, PAD_A);
  headless_pad_unplug_at(4000, 1);
  const uint32_t LEAVE_AT = 16000;
  on_frame = [](const Frame &f) {
    // The second pad is out from 4000 to 5000.
    const bool top_plugged = f.at < 4000 || f.at >= 5000;
    for (int32_t slot = 0; slot < 2 && f.at < LEAVE_AT; slot++) {
      if (slot == 1 && !top_plugged) continue;
      const int32_t paddle = slot == 0 ? f.paddle1_x : f.paddle2_x;
      PadState pad = {};
      // Aim the paddle's middle under the ball: by stick on the first pad,
      // by d-pad on the second.
      const int32_t gap = f.ball_x + 5 - (paddle + 33);
      if (slot == 0) {
        pad.left_x = gap > 3 ? 30000 : gap < -3 ? -30000 : 0;
      } else {
        pad.buttons[PAD_DPAD_RIGHT] = gap > 3;
        pad.buttons[PAD_DPAD_LEFT] = gap < -3;
      }
      headless_pad(slot, &pad);
    }
  };
  pad_tap_at(LEAVE_AT, 0, PAD_B);
  pad_tap_at(LEAVE_AT + 3000, 1, PAD_BACK);
  ASSERT_EQ(play(), 0);

  EXPECT_EQ(game_state.mode, 2);
  int bottom_hits = 0, top_hits = 0;
  for (size_t i = 1; i < seen.size(); i++) {
    if (seen[i].at >= LEAVE_AT) break;
    if (seen[i - 1].ball_yv > 0 && seen[i].ball_yv < 0) bottom_hits++;
    if (seen[i - 1].ball_yv < 0 && seen[i].ball_yv > 0) top_hits++;
  }
  EXPECT_GE(bottom_hits, 3);
  EXPECT_GE(top_hits, 2);
  EXPECT_EQ(game_state.player1_score + game_state.player2_score, 0);
  const auto out = between(4100, 4900);
  ASSERT_GT(out.size(), 10u);
  for (const Frame *f : out) EXPECT_EQ(f->paddle2_x, out[0]->paddle2_x);
  // Left at B, then the title until Back.
  EXPECT_GT(headless_now(), LEAVE_AT + 3000);
  EXPECT_LT(headless_now(), LEAVE_AT + 3000 + 2000);
}

}  // namespace

namespace {

// Space held down through a whole two-player rally and its goals: the serve
// prompt finds it down and serves within the goal's frame, so a goal's frame
// lasts as long as any other (the prompt's wait must never come before its
// read, nor a read wait). The headless clock charges a millisecond a
// platform call, which makes every frame 24 virtual ms: the goal's may not
// be a millisecond longer than the rally's own.
TEST_F(Controls, SpaceHeldThroughGoalsKeepsTheFramePeriod) {
  headless_tap_at(100, DIK_2, 40);
  headless_key_at(1500, DIK_SPACE, 1);
  headless_request_close_at(14000);
  ASSERT_EQ(play(), 0);

  EXPECT_GE(game_state.player1_score + game_state.player2_score, 3)
      << "too few goals to look at";
  const auto played = between(2000, 13900);
  ASSERT_GT(played.size(), 400u);
  std::vector<uint32_t> periods;
  for (size_t i = 1; i < played.size(); i++)
    periods.push_back(played[i]->at - played[i - 1]->at);
  std::vector<uint32_t> sorted = periods;
  std::sort(sorted.begin(), sorted.end());
  const uint32_t usual = sorted[sorted.size() / 2];
  EXPECT_GE(usual, 20u);
  EXPECT_LE(sorted.back(), usual + 1) << "the usual frame is " << usual;
}

// Escape held for two seconds, the window system repeating its key-down
// all along: it leaves the match once, and the next match, chosen at the
// title after it is let go, plays its first rally through to a goal.
TEST_F(Controls, AHeldEscapeWithKeyRepeatLeavesOnlyOnce) {
  headless_tap_at(100, DIK_2, 40);
  headless_tap_at(1500, DIK_SPACE, 40);
  headless_key_at(2500, DIK_ESCAPE, 1);
  for (uint32_t t = 3000; t < 4500; t += 33)
    headless_key_repeat_at(t, DIK_ESCAPE);
  headless_key_at(4500, DIK_ESCAPE, 0);
  headless_tap_at(6000, DIK_2, 40);
  headless_tap_at(8000, DIK_SPACE, 40);
  headless_request_close_at(12000);
  ASSERT_EQ(play(), 0);

  const auto left = between(2500, 6000);
  EXPECT_TRUE(std::any_of(left.begin(), left.end(), [](const Frame *f) {
    return f->title();
  })) << "Escape did not leave the first match";
  // After the serve at 8000: the ball in play until a goal, no title.
  const auto next = between(8000, 12000);
  EXPECT_GT(std::count_if(next.begin(), next.end(),
                          [](const Frame *f) { return f->ball_yv != 0; }),
            60);
  EXPECT_TRUE(std::none_of(next.begin(), next.end(),
                           [](const Frame *f) { return f->title(); }));
  EXPECT_EQ(game_state.player1_score + game_state.player2_score, 1);
}

}  // namespace
