// The real game driven pass by pass, its state saved between passes and
// loaded again: running the same keys from a loaded state must show the same
// frames as the first time, through goals, serve prompts, pauses and the fade
// of Escape, and the match must end the same.
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/display/palette.h"
#include "game/game.h"
#include "game/snapshot.h"
#include "platform/dik.h"
#include "support.h"

namespace {

// What the players do before a pass: the keys held through it, and whether
// the window loses the keyboard focus (taken as the pass's message).
enum : uint32_t {
  HOLD_LEFT = 1u << 0,
  HOLD_RIGHT = 1u << 1,
  HOLD_Z = 1u << 2,
  HOLD_X = 1u << 3,
  HOLD_P = 1u << 4,
  HOLD_ESCAPE = 1u << 5,
  LOSE_FOCUS = 1u << 6,
};
const uint8_t HELD_KEYS[] = {DIK_LEFT, DIK_RIGHT, DIK_Z,
                             DIK_X,    DIK_P,     DIK_ESCAPE};

typedef std::vector<uint8_t> Bytes;
typedef std::vector<uint64_t> Hashes;

// A frame in full, where a test looks at what it shows.
struct Shown {
  Bytes pixels;
  Bytes palette;
};

// How bright a palette is, all entries but 0 (which the fade leaves alone).
int brightness(const Bytes &palette) {
  int sum = 0;
  for (size_t i = 4; i < palette.size(); i++) {
    if (i % 4 != 3) sum += palette[i];
  }
  return sum;
}

// Where two runs of a pass first differ: "" when they showed the same frames.
std::string difference(const Hashes &shown, const Hashes &expected) {
  for (size_t i = 0; i < std::min(shown.size(), expected.size()); i++) {
    if (shown[i] != expected[i]) {
      return "frame " + std::to_string(i) + " differs";
    }
  }
  if (shown.size() == expected.size()) return "";
  return std::to_string(shown.size()) + " frames shown instead of " +
         std::to_string(expected.size());
}

// A frame as the player saw it: its indices and its palette.
uint64_t frame_hash(const uint8_t *pixels, size_t count,
                    const uint8_t palette[1024]) {
  uint64_t h = 1469598103934665603ull;
  const auto mix = [&h](const uint8_t *bytes, size_t n) {
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
      uint64_t word;
      memcpy(&word, bytes + i, 8);
      h = (h ^ word) * 1099511628211ull;
      h ^= h >> 29;
    }
    for (; i < n; i++) h = (h ^ bytes[i]) * 1099511628211ull;
  };
  mix(pixels, count);
  mix(palette, 1024);
  return h;
}

// The players as they react to what the screen shows: a key for the title
// (2 until Escape has left the first match, then Q after the second) and
// Space at each serve prompt, a short while after it appears. The while
// depends only on the pass, so a pass run again is answered the same way.
struct Players {
  int pass = 0;  // the pass running; 0 is shell_start
  int escape_pass = INT_MAX;
  bool title_answered = false;
  bool serve_answered = false;
  Hashes *hashes = nullptr;  // this pass's frames
  std::vector<Shown> *frames = nullptr;
  int32_t winner_scores[2] = {0, 0};
};
Players players;

void watch_frame(const uint8_t *pixels, int32_t width, int32_t height,
                 const uint8_t palette[1024], void *) {
  const size_t count = (size_t)width * height;
  if (players.hashes) {
    players.hashes->push_back(frame_hash(pixels, count, palette));
  }
  if (players.frames) {
    players.frames->push_back(
        Shown{Bytes(pixels, pixels + count), Bytes(palette, palette + 1024)});
  }
  const uint32_t reaction = 60 + (uint32_t)(players.pass * 37 % 300);
  const bool won =
      game_state.player1_score == 10 || game_state.player2_score == 10;
  if (title_showing && !players.title_answered) {
    players.title_answered = true;
    const uint8_t key = players.pass > players.escape_pass ? DIK_Q : DIK_2;
    headless_tap_at(headless_now() + reaction, key, 1);
  }
  // A still ball with a mode chosen is a serve about to be offered (before
  // the first title no mode is chosen yet).
  const bool serve_next =
      game_state.mode != 0 && !title_showing && !rally_running() && !won;
  if (serve_next && !players.serve_answered) {
    players.serve_answered = true;
    headless_tap_at(headless_now() + reaction, DIK_SPACE, 1);
  }
  if (won) {
    players.winner_scores[0] = game_state.player1_score;
    players.winner_scores[1] = game_state.player2_score;
  }
}

// A fresh game from the generated files, up to its first rally; the frames of
// the start (title, fade, serve prompt) go to `start_frames`.
void start_game(Hashes *start_frames, int escape_pass) {
  reset_everything();
  players = Players{};
  players.escape_pass = escape_pass;
  players.hashes = start_frames;
  ASSERT_EQ(chdir(QF_RUN_DIR), 0);
  headless_on_present(watch_frame, nullptr);
  ASSERT_EQ(shell_start(plat_instance()), 1);
}

// One pass with these keys held; returns what shell_pass returned.
int32_t run_pass(int pass, uint32_t keys, Hashes *hashes) {
  players.pass = pass;
  players.title_answered = players.serve_answered = false;
  players.hashes = hashes;
  for (size_t k = 0; k < sizeof HELD_KEYS; k++) {
    headless_key(HELD_KEYS[k], (keys >> k) & 1);
  }
  if (keys & LOSE_FOCUS) headless_set_focus(0);
  return shell_pass();
}

// The bottom player mostly follows the ball, the top one now follows it, now
// sweeps to and fro; now and then a rally is paused (P, or the focus lost)
// and paused ones go on again; once, past pass 300, Escape leaves a running
// rally.
uint32_t choose_keys(std::mt19937 &rng, int pass, int *top_direction,
                     int *pause_held) {
  uint32_t keys = 0;
  if (rng() % 10 < 7) {
    if (ball.x < paddle1.x + 10) keys |= HOLD_LEFT;
    if (ball.x > paddle1.x + 50) keys |= HOLD_RIGHT;
  } else {
    keys |= rng() % 2 ? HOLD_LEFT : HOLD_RIGHT;
  }
  if (rng() % 12 == 0) *top_direction = (int)(rng() % 4);
  if (*top_direction == 1) keys |= HOLD_Z;
  if (*top_direction == 2) keys |= HOLD_X;
  if (*top_direction == 3 && ball.x < paddle2.x + 10) keys |= HOLD_Z;
  if (*top_direction == 3 && ball.x > paddle2.x + 50) keys |= HOLD_X;
  // P is held one to four passes: held on, it must not pause again.
  if (*pause_held > 0) {
    keys |= HOLD_P;
    --*pause_held;
  } else if (game_paused ? rng() % 6 == 0
                         : rally_running() && rng() % 150 == 0) {
    keys |= HOLD_P;
    *pause_held = (int)(rng() % 4);
  }
  if (!game_paused && rally_running() && rng() % 400 == 0) keys |= LOSE_FOCUS;
  if (players.escape_pass == INT_MAX && pass >= 300 && rally_running()) {
    keys |= HOLD_ESCAPE;
    players.escape_pass = pass;
  }
  return keys;
}

// The first run: what was pressed before each pass and what each pass
// showed (pass 0 is the start).
struct Reference {
  std::vector<uint32_t> keys;
  std::vector<Hashes> frames;
  std::vector<char> prompted;  // a serve prompt or a title within the pass
  int escape_pass = 0;
  int last_open_pass = 0;  // the last pass before the end was posted
  int paused_passes = 0;
  int focus_losses = 0;
  int32_t winner_scores[2] = {0, 0};
};

Reference play_reference(uint32_t seed) {
  Reference ref;
  ref.frames.resize(1);
  start_game(&ref.frames[0], INT_MAX);
  std::mt19937 rng(seed);
  int top_direction = 0, pause_held = 0;
  ref.keys.push_back(0);
  ref.prompted.push_back(1);
  for (int pass = 1;; pass++) {
    const uint32_t keys = choose_keys(rng, pass, &top_direction, &pause_held);
    ref.keys.push_back(keys);
    Hashes shown;
    const bool was_posted = quit_posted;
    const int32_t go_on = run_pass(pass, keys, &shown);
    ref.frames.push_back(shown);
    ref.prompted.push_back(players.serve_answered || players.title_answered);
    if (!was_posted && !quit_posted) ref.last_open_pass = pass;
    ref.paused_passes += game_paused;
    ref.focus_losses += (keys & LOSE_FOCUS) != 0;
    if (!go_on) break;
    if (pass > 20000) {
      ADD_FAILURE() << "the match never ended";
      break;
    }
  }
  EXPECT_EQ(shell_end(), 0);
  ref.escape_pass = players.escape_pass;
  ref.winner_scores[0] = players.winner_scores[0];
  ref.winner_scores[1] = players.winner_scores[1];
  return ref;
}

TEST(Snapshot, PassesRunAgainFromEarlierSnapshotsShowTheSameFrames) {
  const Reference ref = play_reference(20261207);
  // The script played what it was meant to: a first match left by Escape, a
  // second one to 10 points, pauses and a lost focus on the way.
  ASSERT_NE(ref.escape_pass, INT_MAX);
  EXPECT_TRUE(ref.winner_scores[0] == 10 || ref.winner_scores[1] == 10);
  EXPECT_GE(ref.winner_scores[0] + ref.winner_scores[1], 12);
  EXPECT_GT(ref.paused_passes, 20);
  EXPECT_GT(ref.focus_losses, 0);
  const int passes = (int)ref.keys.size() - 1;

  // Passes after which to go back, and to which: over the Escape (the fade
  // of the screen as it stands: run again at once, and from later), and from
  // a pass where P is up again into one where it is still held (held on, it
  // must not pause again).
  std::map<int, int> forced_restores = {{ref.escape_pass, ref.escape_pass},
                                        {ref.escape_pass + 3, ref.escape_pass}};
  for (int pass = 3; pass < passes; pass++) {
    if ((ref.keys[(size_t)pass - 1] & HOLD_P) &&
        (ref.keys[(size_t)pass] & HOLD_P)) {
      int up = pass + 1;
      while (ref.keys[(size_t)up] & HOLD_P) up++;
      forced_restores[up] = pass;
      break;
    }
  }

  Hashes start_frames;
  start_game(&start_frames, ref.escape_pass);
  ASSERT_EQ(difference(start_frames, ref.frames[0]), "");
  std::vector<GameSnapshot> saved((size_t)passes + 1);
  std::mt19937 rng(7);
  int restores = 0, restores_over_prompts = 0;
  for (int pass = 1; pass <= passes; pass++) {
    game_save(&saved[(size_t)pass]);
    Hashes shown;
    const int32_t go_on = run_pass(pass, ref.keys[(size_t)pass], &shown);
    ASSERT_EQ(difference(shown, ref.frames[(size_t)pass]), "")
        << "pass " << pass;
    ASSERT_EQ(go_on != 0, pass < passes) << "pass " << pass;

    // About 200 times, and always where a fault would hide best, back 1 to
    // 15 passes (never to the start, whose screen no frame composed) and
    // forward again.
    if (pass < 3 || pass > ref.last_open_pass) continue;
    int from = 0;
    const auto forced = forced_restores.find(pass);
    if (forced != forced_restores.end()) {
      from = forced->second;
    } else if (rng() % (unsigned)ref.last_open_pass < 200) {
      from = std::max(2, pass - (int)(rng() % 15));
    }
    if (!from) continue;
    restores++;
    bool over_prompt = false;
    game_load(&saved[(size_t)from]);
    for (int again = from; again <= pass; again++) {
      Hashes shown_again;
      ASSERT_EQ(run_pass(again, ref.keys[(size_t)again], &shown_again), 1);
      ASSERT_EQ(difference(shown_again, ref.frames[(size_t)again]), "")
          << "pass " << again << " run again from pass " << from
          << " after pass " << pass;
      over_prompt = over_prompt || ref.prompted[(size_t)again];
    }
    restores_over_prompts += over_prompt;
  }
  EXPECT_GE(restores, 150);
  EXPECT_GE(restores_over_prompts, 10);
  EXPECT_EQ(shell_end(), 0);
  EXPECT_EQ(players.winner_scores[0], ref.winner_scores[0]);
  EXPECT_EQ(players.winner_scores[1], ref.winner_scores[1]);
}

// Escape at the start of a frame fades the picture the screen holds. After a
// load that picture is a later frame's: the fade must darken the loaded
// scene, as the player saw it at the save (with the pause's note as it was
// drawn then, even when the focus is lost in the Escape's own pass).
TEST(Snapshot, EscapeAfterALoadFadesTheSceneOfTheSave) {
  struct Case {
    const char *name;
    bool paused_at_save;
    bool focus_lost_with_escape;
  };
  const Case cases[] = {
      {"a running rally", false, false},
      {"the focus lost in the pass of the Escape", false, true},
      {"a rally paused at the save", true, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    start_game(nullptr, INT_MAX);
    std::vector<Shown> frames;
    players.frames = &frames;
    int pass = 1;
    for (; pass <= 30; pass++) ASSERT_EQ(run_pass(pass, 0, nullptr), 1);
    if (c.paused_at_save) {
      ASSERT_EQ(run_pass(pass++, HOLD_P, nullptr), 1);
    }
    ASSERT_EQ(game_paused, c.paused_at_save ? 1 : 0);
    const Shown at_save = frames.back();
    GameSnapshot saved;
    game_save(&saved);

    // On, unpaused, the paddles moving: the screen changes.
    if (c.paused_at_save) {
      ASSERT_EQ(run_pass(pass++, 0, nullptr), 1);
      ASSERT_EQ(run_pass(pass++, HOLD_P, nullptr), 1);
    }
    for (int i = 0; i < 20; i++) {
      ASSERT_EQ(run_pass(pass++, HOLD_RIGHT | HOLD_Z, nullptr), 1);
    }
    ASSERT_EQ(game_paused, 0);
    ASSERT_NE(frames.back().pixels, at_save.pixels);

    game_load(&saved);
    frames.clear();
    const uint32_t escape =
        HOLD_ESCAPE | (c.focus_lost_with_escape ? (uint32_t)LOSE_FOCUS : 0u);
    ASSERT_EQ(run_pass(pass, escape, nullptr), 1);
    ASSERT_FALSE(frames.empty());
    EXPECT_TRUE(frames[0].pixels == at_save.pixels)
        << "the first frame of the fade is not the scene of the save";
    size_t fade = 0;
    while (fade < frames.size() && frames[fade].pixels == at_save.pixels) {
      if (fade > 0) {
        EXPECT_LE(brightness(frames[fade].palette),
                  brightness(frames[fade - 1].palette));
      }
      fade++;
    }
    EXPECT_GE(fade, 20u);
    EXPECT_LT(brightness(frames[0].palette), brightness(at_save.palette));
    EXPECT_LT(brightness(frames[fade - 1].palette),
              brightness(at_save.palette) / 4);
    players.frames = nullptr;
  }
}

// A load shows nothing (every present is a checkpoint of a replay), and the
// frame after it has the colours of the save even when they were changed in
// between.
TEST(Snapshot, ALoadShowsNothingAndTheNextFrameHasTheColoursOfTheSave) {
  start_game(nullptr, INT_MAX);
  std::vector<Shown> frames;
  players.frames = &frames;
  int pass = 1;
  for (; pass <= 10; pass++) ASSERT_EQ(run_pass(pass, 0, nullptr), 1);
  const Bytes colours_at_save = frames.back().palette;
  GameSnapshot saved;
  game_save(&saved);

  PALETTEENTRY grey[256];
  for (int i = 0; i < 256; i++) grey[i] = PALETTEENTRY{90, 90, 90, 0};
  palette_set(grey);
  for (int i = 0; i < 5; i++) ASSERT_EQ(run_pass(pass++, 0, nullptr), 1);
  ASSERT_NE(frames.back().palette, colours_at_save);

  const int presented = headless_frame_count();
  game_load(&saved);
  EXPECT_EQ(headless_frame_count(), presented);
  ASSERT_EQ(run_pass(pass, 0, nullptr), 1);
  EXPECT_EQ(headless_frame_count(), presented + 1);
  EXPECT_TRUE(frames.back().palette == colours_at_save)
      << "the frame after the load has other colours than the save";
  players.frames = nullptr;
}

}  // namespace
