// A whole match, played end to end on the headless platform with our own
// sounds: what the player hears. (What the player sees of a match to 10
// and of a rally left with Escape, then Q at the title, frame by frame, is
// replayed by runner_check.sh from recordings made in the real window.)
#include <unistd.h>

#include <algorithm>

#include "engine/sound/sound.h"
#include "game/game.h"
#include "platform/dik.h"
#include "platform/headless/headless_audio.h"
#include "support.h"

namespace {

// The game's voices, taken once loaded (the title picture is the last).
PlatVoice bounce, goal, win, title_tune;
GameState won;  // the first state with a score of 10

void keep_state(const uint8_t *, int32_t, int32_t, const uint8_t *, void *) {
  if (!title_tune && (title_image.flags & IMAGE_FILLED)) {
    bounce = sound_table[bounce_sound].buffer;
    goal = sound_table[goal_sound].buffer;
    win = sound_table[win_sound].buffer;
    title_tune = sound_table[title_sound].buffer;
  }
  // Q 5 s after the winning goal (after the winner the title waits for a
  // key).
  if (won.mode == 0 &&
      (game_state.player1_score == 10 || game_state.player2_score == 10)) {
    won = game_state;
    headless_tap_at(headless_now() + 5000, DIK_Q, 40);
  }
}

// How often a sound was started.
int plays_of(PlatVoice voice) {
  size_t count = 0;
  const HeadlessAudioEvent *events = headless_audio_events(&count);
  return (int)std::count_if(events, events + count, [&](const auto &e) {
    return e.voice == voice && e.kind == HEADLESS_AUDIO_PLAY;
  });
}

using Match = Fresh;

// Against the computer with nobody at the bottom paddle: SPACE serves after
// every goal until one side has 10.
TEST_F(Match, AMatchToTenIsHeardThrough) {
  ASSERT_EQ(chdir(QF_RUN_DIR), 0);
  headless_on_present(keep_state, nullptr);
  bounce = goal = win = title_tune = 0;
  won = GameState{};
  headless_tap_at(100, DIK_1, 40);
  for (uint32_t t = 1500; t < 600000; t += 700)
    headless_tap_at(t, DIK_SPACE, 40);
  EXPECT_EQ(WinMain(plat_instance(), nullptr, nullptr, 0), 0);
  ASSERT_NE(won.mode, 0) << "nobody reached 10";
  // The title twice (at the start and after the match), a buzzer per goal,
  // the winner's flourish once, and bounces on the way.
  EXPECT_EQ(plays_of(title_tune), 2);
  EXPECT_EQ(plays_of(goal), won.player1_score + won.player2_score);
  EXPECT_EQ(plays_of(win), 1);
  EXPECT_GT(plays_of(bounce), 0);
}

}  // namespace
