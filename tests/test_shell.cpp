// The shell's loop and its start and end, played through WinMain on the
// headless platform.
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "engine/clock.h"
#include "engine/display/display.h"
#include "engine/input/keyboard.h"
#include "engine/random.h"
#include "game/game.h"
#include "support.h"

namespace {

int run_game() { return WinMain(plat_instance(), nullptr, nullptr, 0); }

// Remembers, at every pass of the loop, how many keyboard reads had happened:
// each frame reads the keyboard exactly once, so the differences count frames.
// Asks for the window to close as pass `close_at` begins.
struct PassLog {
  std::vector<int> reads_at_peek;
  bool post_every_pass = false;
  size_t close_at = 0;
};

void note_pass(void *user) {
  PassLog *log = (PassLog *)user;
  log->reads_at_peek.push_back(headless_keyboard_reads());
  if (log->post_every_pass) {
    plat_post_message(headless_window(), WM_USER, 0, 0);
  }
  if (log->reads_at_peek.size() == log->close_at) headless_request_close();
}

using Shell = Fresh;

TEST_F(Shell, QAtTheFirstTitleEndsWithoutAnotherFrameWithExitCodeZero) {
  PassLog log;
  headless_on_peek(note_pass, &log);
  headless_tap_at(100, DIK_Q, 50);
  EXPECT_EQ(run_game(), 0);
  // Pass 1 dispatches WM_DESTROY and, the end being posted, runs no frame;
  // pass 2 takes WM_QUIT.
  ASSERT_EQ(log.reads_at_peek.size(), 2u);
  EXPECT_EQ(log.reads_at_peek[1], log.reads_at_peek[0]);
  EXPECT_EQ(headless_keyboard_reads(), log.reads_at_peek[1]);
  // Shut down after the last frame: the display is given back.
  EXPECT_EQ(headless_display_open(), 0);
  EXPECT_EQ(headless_window(), nullptr);
}

// In a rally one frame runs per pass until the window is closed, and none
// from the pass the close is asked at. Without messages that pass takes the
// WM_CLOSE (it destroys the window, which posts the quit) and the next one
// WM_QUIT. With a message pending at every pass the queue never empties, yet
// one message is handled per pass: the close request, queued behind a
// WM_USER, is taken a pass later, and WM_QUIT after the last WM_USER posted
// before it.
TEST_F(Shell, OneFramePerPassUntilTheQuitIsPosted) {
  for (bool post_every_pass : {false, true}) {
    SCOPED_TRACE(post_every_pass ? "a message at every pass" : "no messages");
    reset_everything();
    PassLog log;
    log.post_every_pass = post_every_pass;
    log.close_at = 40;
    headless_on_peek(note_pass, &log);
    headless_tap_at(100, DIK_1, 50);
    headless_tap_at(1500, DIK_SPACE, 50);
    EXPECT_EQ(run_game(), 0);
    // Frames in passes 1 to 39, none from the one the close came at.
    if (post_every_pass) {
      ASSERT_GE(log.reads_at_peek.size(), 42u);
    } else {
      ASSERT_EQ(log.reads_at_peek.size(), 41u);
    }
    for (size_t i = 1; i < 40; i++) {
      EXPECT_EQ(log.reads_at_peek[i] - log.reads_at_peek[i - 1], 1) << i;
    }
    EXPECT_EQ(log.reads_at_peek.back(), log.reads_at_peek[39]);
    EXPECT_EQ(headless_keyboard_reads(), log.reads_at_peek.back());
    EXPECT_EQ(headless_display_open(), 0);
  }
}

// A program that couldn't start says why in one line and ends with a
// failure at once, having run nothing; without a keyboard it does not wait
// for ever.
TEST_F(Shell, FailuresToStartAreReportedAsFailures) {
  struct Case {
    void (*fail)(int);
    const char *said;
  } cases[] = {{headless_fail_init, "no display"},
               {headless_fail_window, "window"},
               {[](int) { headless_set_keyboard_present(0); }, "keyboard"}};
  for (const Case &c : cases) {
    reset_everything();
    c.fail(1);
    testing::internal::CaptureStderr();
    EXPECT_NE(run_game(), 0);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find(c.said), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_EQ(headless_display_open(), 0);
    EXPECT_EQ(headless_keyboard_reads(), 0);
    EXPECT_LT(headless_elapsed(), 1000u);
  }
}

// With none of its pictures or sounds the game still runs, blank and
// silent, and touches no memory that isn't there.
TEST_F(Shell, MissingPicturesAndSoundsLeaveTheGameBlankAndSilent) {
  char folder[] = "/tmp/quillfire-empty-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  ASSERT_EQ(chdir(folder), 0);
  headless_tap_at(100, DIK_1, 40);
  headless_tap_at(1500, DIK_SPACE, 40);
  headless_tap_at(2500, DIK_ESCAPE, 40);
  headless_tap_at(4500, DIK_Q, 40);
  EXPECT_EQ(run_game(), 0);
  EXPECT_EQ(bounce_sound, -1);
  EXPECT_EQ(title_sound, -1);
  rmdir(folder);
}

TEST(Random, FirstFiveValuesFromTheStartState) {
  random_state = 1;
  const int32_t expected[] = {41, 18467, 6334, 26500, 19169};
  for (int32_t value : expected) EXPECT_EQ(random_next(), value);
}

TEST_F(Fresh, ClockWaitsUntilTheDeadlineAndNoLongerAcrossTheWrap) {
  headless_set_now(1000);
  clock_start();                     // reads 1000
  EXPECT_EQ(clock_wait(20), 1021u);  // last wait read at 1020, then one more
  clock_start();
  EXPECT_EQ(clock_wait(0), 1024u);
  headless_set_now(0xFFFFFFFFu - 15);  // 2^32 - 16
  EXPECT_EQ(clock_start(), 0xFFFFFFF0u);
  headless_set_now(4);
  // Already 20 ms since the start: no waiting, one comparison and one read.
  EXPECT_EQ(clock_wait(20), 5u);
  EXPECT_EQ(headless_now(), 6u);
}

}  // namespace
