// A whole two-player match replayed from its recording, pass by pass, with
// the game's state and the replay's place kept at every pass. At 200 random
// passes, an earlier moment (1 to 15 passes back) is loaded and the passes
// to now run again unseen, from the recorded inputs: nothing presented, no
// sound started, every checkpoint still compared by the replay; the state
// reached must be the one first reached. Then the replay goes on, shown, to
// the recording's end, as if nothing had happened.
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <set>

#include "game/game.h"
#include "game/snapshot.h"
#include "platform/headless/headless_audio.h"
#include "platform/record/record_mark.h"
#include "record_memory.h"
#include "support.h"

namespace {

using Bytes = std::vector<uint8_t>;

const int RING = 16;     // the moments kept: this pass and 15 before it
const int CHECKS = 200;  // passes run again
const unsigned SEED = 21;

Bytes read_file(const std::string &path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(file)),
               std::istreambuf_iterator<char>());
}

struct Moment {
  GameSnapshot game;
  RecordReplayMark replay;
  size_t source_at;
};

void keep(Moment *m, const Memory &source) {
  game_save(&m->game);
  record_replay_mark(&m->replay);
  m->source_at = source.at;
}

void go_back(const Moment &m, Memory *source) {
  game_load(&m.game);
  record_replay_rewind(&m.replay);
  source->at = m.source_at;
}

size_t plays_started(void) {
  size_t count = 0, plays = 0;
  const HeadlessAudioEvent *events = headless_audio_events(&count);
  for (size_t i = 0; i < count; i++)
    plays += events[i].kind == HEADLESS_AUDIO_PLAY;
  return plays;
}

struct Ended {
  int passes = 0;
  int complete = 0;
  int32_t best_score = 0;  // the most points a side had
  uint64_t frames = 0;
  GameState state = {};
};

// Replays `stream` pass by pass; before each pass listed in `rerun`, goes
// back that many passes and runs them again unseen.
Ended replay(const Bytes &stream, const std::set<int> &checks, int *reruns) {
  reset_everything();
  Memory source{stream};
  Ended end;
  if (!record_replay(memory_source(&source), 0)) {
    ADD_FAILURE() << record_error();
    return end;
  }
  if (!shell_start(plat_instance())) {
    ADD_FAILURE() << "the game did not start";
    return end;
  }
  std::mt19937 pick(SEED);
  std::vector<Moment> ring(RING);
  int pass = 1;
  for (;; pass++) {
    keep(&ring[pass % RING], source);
    if (checks.count(pass) && !quit_posted) {
      const int back = 1 + (int)(pick() % (RING - 1));
      const Moment now = ring[pass % RING];
      go_back(ring[(pass - back) % RING], &source);
      const int frames_shown = headless_frame_count();
      const size_t plays = plays_started();
      record_unseen(1);
      for (int i = 0; i < back; i++) {
        if (!shell_pass()) {
          ADD_FAILURE() << "the game ended in a pass run again";
          break;
        }
      }
      record_unseen(0);
      (*reruns)++;
      int status = 0;
      std::string line;
      if (record_replay_stopped(&status, &line)) {
        ADD_FAILURE() << "pass " << pass << ", " << back << " back: " << line;
        break;
      }
      EXPECT_EQ(headless_frame_count(), frames_shown) << "pass " << pass;
      EXPECT_EQ(plays_started(), plays) << "pass " << pass;
      GameSnapshot again;
      game_save(&again);
      EXPECT_EQ(memcmp(&again, &now.game, sizeof again), 0)
          << "pass " << pass << " run again from " << back << " back";
      EXPECT_EQ(source.at, now.source_at) << "pass " << pass;
    }
    if (!shell_pass()) break;
    end.best_score = std::max(
        {end.best_score, game_state.player1_score, game_state.player2_score});
  }
  end.passes = pass;
  end.state = game_state;
  shell_end();  // the recording's end marker is taken as the game shuts down
  end.complete = record_replay_complete();
  end.frames = record_frames();
  record_finish();
  int status = 0;
  std::string line;
  EXPECT_EQ(record_replay_stopped(&status, &line), 0) << line;
  return end;
}

TEST(RecordRerun, PassesRunAgainUnseenFromTheRecordingReachTheSameState) {
  ASSERT_EQ(chdir(QF_RUN_DIR), 0);
  const Bytes stream = read_file(std::string(QF_DATA_DIR) + "/match.qfrec");
  ASSERT_GT(stream.size(), 1000u);
  int reruns = 0;
  const Ended plain = replay(stream, {}, &reruns);
  ASSERT_EQ(plain.complete, 1);
  ASSERT_GT(plain.passes, 500);
  // The recorded match is played to its end by both players: between passes
  // a side is seen at 9 at most, the winning point, the winner's message and
  // the way back to the title taking one pass.
  EXPECT_EQ(plain.best_score, 9);

  std::mt19937 pick(SEED);
  std::set<int> checks;
  while ((int)checks.size() < CHECKS) {
    checks.insert(RING + 1 +
                  (int)(pick() % (uint32_t)(plain.passes - RING - 1)));
  }
  const Ended checked = replay(stream, checks, &reruns);
  EXPECT_GE(reruns, CHECKS - 5) << "the end may be posted in the last few";
  EXPECT_EQ(checked.complete, 1);
  EXPECT_EQ(checked.passes, plain.passes);
  EXPECT_EQ(checked.frames, plain.frames);
  EXPECT_EQ(checked.best_score, 9);
  EXPECT_EQ(memcmp(&checked.state, &plain.state, sizeof plain.state), 0);
}

}  // namespace
