// The soak: the real game on the headless platform, run after run in one
// process, matches back to back in both modes. A built-in player chases the
// ball with a random aim (so it misses now and then), or presses random
// keys; Escape comes at random frames and every run ends with a close
// request at a random moment. At every presented frame it checks what a
// player would notice:
// - frames keep coming (no gap longer than the longest screen the game
//   holds still),
// - no score passes 10,
// - points keep being scored, so every match ends,
// - each run ends soon after its close request,
// - the heap in use is flat from match to match and from run to run,
// and the process leaves nothing for LeakSanitizer in the sanitizer build.
//
//   qf_soak [GAME_MINUTES [SEED]]
//
// Prints its game minutes and its seed; a failing run prints the seed to
// rerun it with.
#include <malloc.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <random>
#include <string>

#include "engine/input/keyboard.h"
#include "game/game.h"
#include "platform/headless/headless.h"
#include "run/reset_all.h"

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer's allocator, which the C library's figures don't see (the
// header that declares it comes with clang, not with gcc).
extern "C" size_t __sanitizer_get_current_allocated_bytes(void);
#endif

namespace {

// The longest the game may show no new frame: the winner's message holds
// the screen 2.6 s, then its fade; the title waits for a key the soak
// presses within PRESS_WITHIN_MS.
const uint32_t MAX_FRAME_GAP_MS = 5000;
const int32_t WINNING_SCORE = 10;
// A point, an Escape or a close within this much game time, or the match
// is stuck.
const uint64_t MAX_POINT_MS = 5 * 60 * 1000;
// From a close request to the end of the run, in game time: a close ends
// the waits and fades early, wherever it comes.
const uint64_t QUIT_LIMIT_MS = 1000;
// How much more heap a match or a run may hold than the first one did.
const long long HEAP_SLACK_BYTES = 64 * 1024;
// Keys the game waits for (serve, mode) are pressed within this much game
// time of any frame.
const int PRESS_WITHIN_MS = 600;
// Runs last from a few seconds to a few game minutes.
const int SHORTEST_RUN_MS = 5 * 1000, LONGEST_RUN_MS = 4 * 60 * 1000;
// One Escape in about this many frames (two game minutes); and a player
// whose ball has stood still this long presses Escape to get going.
const int ESCAPE_ONE_IN_FRAMES = 6000;
const uint32_t FROZEN_ESCAPE_MS = 2000;

long long heap_in_use() {
#if defined(__SANITIZE_ADDRESS__)
  return (long long)__sanitizer_get_current_allocated_bytes();
#else
  return (long long)mallinfo2().uordblks;
#endif
}

// The whole soak: its generator, its first failure and its figures.
std::mt19937 rng;
std::string failure;
unsigned long long frames, matches_won, escapes, slowest_quit_ms;

// What one run has seen so far; every run starts from a new one.
struct Run {
  bool random_keys = false;  // else a chaser
  // Where on its paddle each chaser wants the ball.
  int32_t aim1 = 33, aim2 = 33;
  int32_t last_yv = 0;
  std::array<int32_t, 2> last_scores = {0, 0};
  uint64_t last_frame_at = 0, last_point_at = 0, still_since = 0;
  uint32_t next_space_at = 0, next_mode_at = 0;
  long long first_match_heap = -1;
};
Run run;

int random_between(int low, int high) {
  return std::uniform_int_distribution<int>(low, high)(rng);
}

// Keeps the first failure, with when in the run it came.
void fail(const std::string &what) {
  if (failure.empty()) {
    failure = what + " at game time " + std::to_string(headless_elapsed()) +
              " ms of the run";
  }
}

// The heap in use must stay within HEAP_SLACK_BYTES of the first time.
void check_heap(long long *first, const char *between) {
  const long long heap = heap_in_use();
  if (*first < 0) {
    *first = heap;
  } else if (heap - *first > HEAP_SLACK_BYTES) {
    fail("heap grew by " + std::to_string(heap - *first) + " bytes from " +
         between);
  }
}

// Held arrows (or Z and X) that take a paddle's aim point to the ball.
void chase(int32_t paddle_x, int32_t aim, uint8_t left, uint8_t right) {
  const int32_t target = ball.x - aim;
  headless_key(left, paddle_x > target + 3);
  headless_key(right, paddle_x < target - 3);
}

void drive_keys() {
  if (!run.random_keys) {
    // A new aim after every bounce off a paddle: about a third of them lie
    // off the paddle, so the player misses now and then.
    if ((ball.yv > 0) != (run.last_yv > 0)) {
      run.aim1 = random_between(-20, 80);
      run.aim2 = random_between(-20, 80);
    }
    run.last_yv = ball.yv;
    chase(paddle1.x, run.aim1, DIK_LEFT, DIK_RIGHT);
    if (game_state.mode == 2) chase(paddle2.x, run.aim2, DIK_Z, DIK_X);
  } else if (random_between(0, 9) == 0) {
    for (uint8_t key : {DIK_LEFT, DIK_RIGHT, DIK_Z, DIK_X}) {
      headless_key(key, random_between(0, 1));
    }
  }
  // Serve and mode keys are always coming, so the waits between frames end.
  const uint32_t now = headless_now();
  if ((int32_t)(now - run.next_space_at) >= 0) {
    run.next_space_at = now + random_between(30, PRESS_WITHIN_MS);
    headless_tap_at(run.next_space_at, DIK_SPACE, 30);
  }
  if ((int32_t)(now - run.next_mode_at) >= 0) {
    run.next_mode_at = now + random_between(30, PRESS_WITHIN_MS);
    headless_tap_at(run.next_mode_at, random_between(0, 1) ? DIK_1 : DIK_2, 30);
  }
  const bool still = ball.xv == 0 && ball.yv == 0;
  if (!still) run.still_since = headless_elapsed();
  // Escape goes down at the frame it is chosen at, where the game shows
  // play, a fade or a message. Later, it could land unseen in the title's
  // wait (which shows no frame), where the game rightly takes it as a wish
  // to quit, as Q; pressed here it never does, so a run that ends before its
  // close request is a fault: a title that took an Escape pressed before it.
  if (random_between(1, ESCAPE_ONE_IN_FRAMES) == 1 ||
      (still && headless_elapsed() - run.still_since > FROZEN_ESCAPE_MS)) {
    headless_tap_at(now, DIK_ESCAPE, 40);
    run.still_since = run.last_point_at = headless_elapsed();
    escapes++;
  }
}

void on_frame(const uint8_t *, int32_t, int32_t, const uint8_t *, void *) {
  const uint64_t at = headless_elapsed();
  frames++;
  if (at - run.last_frame_at > MAX_FRAME_GAP_MS) {
    fail("no frame for " + std::to_string(at - run.last_frame_at) + " ms");
  }
  run.last_frame_at = at;

  const std::array<int32_t, 2> scores = {game_state.player1_score,
                                         game_state.player2_score};
  for (int side = 0; side < 2; side++) {
    if (scores[side] < 0 || scores[side] > WINNING_SCORE) {
      fail("player " + std::to_string(side + 1) + " has " +
           std::to_string(scores[side]) + " points");
    }
  }
  if (scores != run.last_scores) {
    run.last_point_at = at;
    matches_won += scores[0] == WINNING_SCORE || scores[1] == WINNING_SCORE;
    // Back at the title, a match has ended (won, or left): the heap must be
    // back to where the first match of the run left it.
    if (scores[0] == 0 && scores[1] == 0) {
      check_heap(&run.first_match_heap, "match to match");
    }
    run.last_scores = scores;
  }
  if (at - run.last_point_at > MAX_POINT_MS) {
    fail("no point scored for " + std::to_string(at - run.last_point_at) +
         " ms");
    run.last_point_at = at;
  }
  drive_keys();
}

// One run of the game from start to its close. Returns its game time.
uint64_t run_once(uint64_t run_ms) {
  reset_all();
  run = Run{};
  run.random_keys = random_between(0, 2) == 0;
  headless_on_present(on_frame, nullptr);
  headless_request_close_at((uint32_t)run_ms);
  headless_set_time_limit(run_ms + 60 * 1000);
  WinMain(plat_instance(), nullptr, nullptr, 0);
  if (headless_time_limit_reached()) {
    fail("the run never ended after its close request");
  }
  const uint64_t ended = headless_elapsed();
  if (ended < run_ms) {
    fail("the run ended before its close request");
  } else {
    slowest_quit_ms =
        std::max<unsigned long long>(slowest_quit_ms, ended - run_ms);
    if (ended - run_ms > QUIT_LIMIT_MS) {
      fail("the run took " + std::to_string(ended - run_ms) +
           " ms to end after its close request");
    }
  }
  if (headless_display_open() || headless_window()) {
    fail("the display or the window outlived the run");
  }
  headless_on_present(nullptr, nullptr);
  return ended;
}

}  // namespace

int main(int argc, char **argv) {
  const double minutes = argc > 1 ? atof(argv[1]) : 5.0;
  const unsigned seed = argc > 2 ? (unsigned)strtoul(argv[2], nullptr, 10)
                                 : std::random_device{}();
  // The game reads its pictures and sounds by plain name, as when played.
  if (chdir(QF_RUN_DIR) != 0) {
    fprintf(stderr, "soak: can't enter %s\n", QF_RUN_DIR);
    return 1;
  }
  rng.seed(seed);
  uint64_t game_ms = 0;
  int runs = 0;
  long long first_run_heap = -1;
  while (game_ms < minutes * 60 * 1000 && failure.empty()) {
    game_ms += run_once(random_between(SHORTEST_RUN_MS, LONGEST_RUN_MS));
    runs++;
    // After a run everything it made is given back; the platform's own
    // buffers stay, as they would in a process that plays again.
    check_heap(&first_run_heap, "run to run");
  }
  reset_all();
  printf(
      "soak: %.1f game minutes, %d runs, %llu frames, %llu matches won, "
      "%llu escapes, slowest quit %llu ms, seed %u: %s\n",
      game_ms / 60000.0, runs, frames, matches_won, escapes, slowest_quit_ms,
      seed, failure.empty() ? "clean" : "FAILED");
  if (!failure.empty()) {
    fprintf(stderr, "soak: run %d: %s; rerun with: qf_soak %g %u\n", runs,
            failure.c_str(), minutes, seed);
    return 1;
  }
  return 0;
}
