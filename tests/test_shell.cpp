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
struct PassLog {
  std::vector<int> reads_at_peek;
  bool post_every_pass = false;
};

void note_pass(void *user) {
  PassLog *log = (PassLog *)user;
  log->reads_at_peek.push_back(headless_keyboard_reads());
  if (log->post_every_pass) {
    plat_post_message(headless_window(), WM_USER, 0, 0);
  }
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

TEST_F(Shell, OneFramePerPassWithAMessagePendingAtEveryPass) {
  PassLog log;
  log.post_every_pass = true;
  headless_on_peek(note_pass, &log);
  // A rally, then the window closed at the 30th pass.
  headless_tap_at(100, DIK_1, 50);
  headless_tap_at(1500, DIK_SPACE, 50);
  struct Closer {
    static void at_peek(void *user) {
      PassLog *l = (PassLog *)user;
      note_pass(l);
      if (l->reads_at_peek.size() == 30) headless_request_close();
    }
  };
  headless_on_peek(Closer::at_peek, &log);
  EXPECT_EQ(run_game(), 0);
  // The queue never empties, yet one message is handled and one frame runs
  // per pass until the close request, which is queued behind a WM_USER and
  // so taken at pass 31; from then on no frame runs, and WM_QUIT comes
  // after the last WM_USER posted before it.
  ASSERT_GE(log.reads_at_peek.size(), 32u);
  for (size_t i = 1; i < 30; i++) {
    EXPECT_EQ(log.reads_at_peek[i] - log.reads_at_peek[i - 1], 1) << i;
  }
  EXPECT_EQ(log.reads_at_peek.back(), log.reads_at_peek[29]);
  EXPECT_EQ(headless_keyboard_reads(), log.reads_at_peek.back());
}

TEST_F(Shell, FramesRunUntilTheQuitIsPosted) {
  PassLog log;
  headless_on_peek(note_pass, &log);
  // Choose a mode and serve: the rally runs one frame per pass until the
  // window is closed.
  headless_tap_at(100, DIK_1, 50);
  headless_tap_at(1500, DIK_SPACE, 50);
  struct Closer {
    static void at_peek(void *user) {
      PassLog *l = (PassLog *)user;
      note_pass(l);
      if (l->reads_at_peek.size() == 40) headless_request_close();
    }
  };
  headless_on_peek(Closer::at_peek, &log);
  EXPECT_EQ(run_game(), 0);
  // The 40th pass takes the WM_CLOSE raised as it began (it destroys the
  // window, which posts the quit) and so runs no frame; the 41st takes
  // WM_QUIT.
  ASSERT_EQ(log.reads_at_peek.size(), 41u);
  for (size_t i = 1; i < 40; i++) {
    EXPECT_EQ(log.reads_at_peek[i] - log.reads_at_peek[i - 1], 1) << i;
  }
  EXPECT_EQ(log.reads_at_peek[40], log.reads_at_peek[39]);
  EXPECT_EQ(headless_display_open(), 0);
}

// A program that couldn't start says why in one line and ends with a
// failure, having run nothing.
TEST_F(Shell, FailuresToStartAreReportedAsFailures) {
  struct Case {
    void (*fail)(int);
    const char *said;
  } cases[] = {{headless_fail_init, "no display"},
               {headless_fail_window, "window"}};
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
  }
}

TEST_F(Shell, NoKeyboardEndsCleanlyInsteadOfWaitingForEver) {
  headless_set_keyboard_present(0);
  testing::internal::CaptureStderr();
  const int code = run_game();
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(code, 0);
  EXPECT_NE(said.find("keyboard"), std::string::npos) << said;
  EXPECT_EQ(headless_display_open(), 0);
  // Well within a second of virtual time: nothing waited for a key.
  EXPECT_LT(headless_elapsed(), 1000u);
}

TEST_F(Shell, WindowCloseAtTheTitleEndsLikeQ) {
  headless_request_close_at(200);
  EXPECT_EQ(run_game(), 0);
  EXPECT_EQ(game_state.mode, 0);
  EXPECT_EQ(headless_display_open(), 0);
  EXPECT_LT(headless_elapsed(), 10000u);
}

TEST_F(Shell, WindowCloseAtTheServePromptEndsLikeEscapeThenQuits) {
  headless_tap_at(100, DIK_2, 50);
  struct Closer {
    static void at_present(const uint8_t *, int32_t, int32_t, const uint8_t *,
                           void *) {
      if (game_state.mode == 2) headless_request_close();
    }
  };
  headless_on_present(Closer::at_present, nullptr);
  EXPECT_EQ(run_game(), 0);
  // The ball was never served.
  EXPECT_EQ(ball.xv, 0);
  EXPECT_EQ(ball.yv, 0);
  EXPECT_EQ(headless_display_open(), 0);
  EXPECT_LT(headless_elapsed(), 20000u);
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

TEST_F(Fresh, ClockCountsAcrossTheWrapOfTheTickCount) {
  headless_set_now(0xFFFFFFFFu - 15);  // 2^32 - 16
  EXPECT_EQ(clock_start(), 0xFFFFFFF0u);
  headless_set_now(4);
  // Already 20 ms since the start: no waiting, one comparison and one read.
  EXPECT_EQ(clock_wait(20), 5u);
  EXPECT_EQ(headless_now(), 6u);
}

TEST_F(Fresh, ClockWaitsUntilTheDeadlineAndNoLonger) {
  headless_set_now(1000);
  clock_start();                     // reads 1000
  EXPECT_EQ(clock_wait(20), 1021u);  // last wait read at 1020, then one more
  clock_start();
  EXPECT_EQ(clock_wait(0), 1024u);
}

}  // namespace
