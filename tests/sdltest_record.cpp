// The SDL backend under the recording layer: what the backend does on its own
// (a sleep's close checks, the waits for a live stream) never reaches the
// stream, so recordings replay in step, paced, as a timedemo, and live.
#include <gtest/gtest.h>
#include <string.h>

#include <vector>

#include "platform/platform.h"
#include "platform/record/record.h"
#include "record_memory.h"

namespace {

using Bytes = std::vector<uint8_t>;

const int FRAMES = 3;

intptr_t quiet_proc(PlatWindow *, uint32_t, uintptr_t, intptr_t) { return 0; }

// A game in miniature: a close check, a wait and a different frame, three
// times over. `sleeps` waits with plat_sleep, as the winner's screen does;
// otherwise it waits on the tick count, as the frame clock does.
void play(int sleeps) {
  ASSERT_EQ(plat_init(), 1);
  ASSERT_NE(plat_window_create("Quillfire", 0, 0, 640, 480, quiet_proc),
            nullptr);
  ASSERT_EQ(plat_display_set_mode(640, 480, 8), 1);
  static uint8_t pixels[640 * 480];
  memset(pixels, 0, sizeof pixels);
  uint8_t palette[1024] = {};
  for (int frame = 0; frame < FRAMES; frame++) {
    EXPECT_EQ(plat_close_requested(), 0);
    if (sleeps) {
      plat_sleep(20);
    } else {
      const uint32_t start = plat_ticks();
      plat_ticks_deadline(start + 20);  // as the frame clock says its wait
      while (plat_ticks() - start < 20) {
      }
    }
    pixels[frame] = (uint8_t)(frame + 1);
    plat_present(pixels, 640, 640, 480, palette);
  }
  plat_shutdown();
}

Bytes record(int sleeps) {
  Bytes stream;
  EXPECT_EQ(record_add_sink(memory_sink(&stream)), 1);
  record_start();
  play(sleeps);
  return stream;
}

TEST(SdlRecord, ReplaysStayInStepWithTheBackendsOwnWaits) {
  struct Case {
    const char *name;
    int sleeps, paced;
    bool live;
  };
  const Case cases[] = {
      {"a timedemo of a game that sleeps", 1, 0, 0},
      {"a paced replay of a game that sleeps", 1, 1, 0},
      {"a live stream the replay waits for", 0, 1, 1},
      {"a live stream of a game that sleeps", 1, 1, 1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    // A byte at a time; live, with nothing yet at every other read.
    Memory source{record(c.sleeps), 1, 0, c.live};
    ASSERT_GT(source.bytes.size(), 0u);
    ASSERT_EQ(record_replay(memory_source(&source), c.paced), 1)
        << record_error();
    play(c.sleeps);
    record_finish();
    int status = 0;
    std::string line;
    if (record_replay_stopped(&status, &line)) {
      ADD_FAILURE() << line;
      continue;
    }
    EXPECT_EQ(record_replay_complete(), 1);
    EXPECT_EQ(record_frames(), (uint64_t)FRAMES);
  }
}

}  // namespace
