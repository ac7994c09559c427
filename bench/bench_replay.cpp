// The replay layer's cost on the headless platform, beside its floor: one
// two-player match to 10 played from keys with the layer idle, the same
// match played while recording it, and the recording replayed as a timedemo
// (the same frames, every checkpoint compared). Also the timedemo of the
// match recorded in the real window (tests/data/match.qfrec).
//
// Counters: frames/s of CPU time, and CPU seconds per simulated minute
// (the game's own clock). Targets: the replay adds at most 20 % to the
// floor's CPU per simulated minute; a timedemo runs 50,000 frames/s or more.
#include <benchmark/benchmark.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "engine/clock.h"
#include "engine/display/display.h"
#include "engine/input/keyboard.h"
#include "engine/random.h"
#include "engine/sound/sound.h"
#include "engine/window.h"
#include "game/game.h"
#include "platform/dik.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_audio.h"
#include "platform/record/record.h"

namespace {

using Bytes = std::vector<uint8_t>;

double cpu_seconds() {
  struct timespec ts;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return (double)ts.tv_sec + (double)ts.tv_nsec / 1e9;
}

// A fresh process, as far as the game and the platform can tell.
void fresh() {
  display_shutdown();
  keyboard_release();
  input_shutdown();
  if (!sound_first_call) sound_shutdown();
  memset(sound_table, 0, sizeof sound_table);
  sound_first_call = 1;
  headless_reset();
  headless_audio_reset();
  headless_set_time_limit(24ull * 3600 * 1000);
  random_state = 1;
  clock_start_tick = 0;
  memset(keyboard_state, 0, sizeof keyboard_state);
  game_state = GameState{0, 0, 0, 1, 1};
  ball = paddle1 = paddle2 = BOB{};
  main_window = nullptr;
  app_instance = nullptr;
}

// Two players: a serve every two seconds, both paddles swaying, then Q once
// the match is over.
void match_keys() {
  headless_tap_at(1500, DIK_2, 100);
  for (uint32_t i = 0; i < 25; i++)
    headless_tap_at(3500 + 2000 * i, DIK_SPACE, 100);
  for (uint32_t i = 0; i < 70; i++) {
    headless_tap_at(3500 + 700 * i, i % 2 ? DIK_LEFT : DIK_RIGHT, 350);
  }
  for (uint32_t i = 0; i < 55; i++) {
    headless_tap_at(3600 + 900 * i, i % 2 ? DIK_Z : DIK_X, 450);
  }
  headless_tap_at(56000, DIK_Q, 100);
}

int write_memory(void *user, const uint8_t *bytes, size_t count) {
  ((Bytes *)user)->insert(((Bytes *)user)->end(), bytes, bytes + count);
  return 1;
}

struct Memory {
  const Bytes *bytes;
  size_t at;
};
long read_memory(void *user, uint8_t *buffer, size_t count) {
  Memory *m = (Memory *)user;
  const size_t n = std::min(count, m->bytes->size() - m->at);
  memcpy(buffer, m->bytes->data() + m->at, n);
  m->at += n;
  return (long)n;
}

struct Played {
  double cpu;
  uint64_t frames;
  uint32_t game_ms;
};

// One whole run of the game: keys, recording to `record_to`, or replaying
// `replay` as fast as it goes.
Played play(Bytes *record_to, const Bytes *replay) {
  fresh();
  int frames = 0;
  headless_on_present([](const uint8_t *, int32_t, int32_t, const uint8_t *,
                         void *user) { ++*(int *)user; },
                      &frames);
  Memory source{replay, 0};
  if (replay) {
    if (!record_replay(RecordSource{read_memory, nullptr, &source}, 0)) abort();
  } else {
    match_keys();
    if (record_to) {
      record_to->clear();
      record_add_sink(RecordSink{write_memory, nullptr, record_to});
      record_start();
    }
  }
  const double start = cpu_seconds();
  if (WinMain(plat_instance(), nullptr, nullptr, 0) != 0) abort();
  const double cpu = cpu_seconds() - start;
  if (replay && !record_replay_complete()) abort();
  record_finish();
  return Played{cpu, (uint64_t)frames, record_last_tick()};
}

void report(benchmark::State &state, double cpu, uint64_t frames,
            double game_ms) {
  state.counters["frames/s"] = (double)frames / cpu;
  state.counters["cpu_s_per_sim_min"] = cpu / (game_ms / 60000.0);
  state.counters["frames"] = (double)frames / (double)state.iterations();
}

struct InRunDir {
  char here[4096];
  InRunDir() {
    if (!getcwd(here, sizeof here) || chdir(QF_RUN_DIR) != 0) abort();
  }
  ~InRunDir() {
    if (chdir(here) != 0) abort();
  }
};

void run(benchmark::State &state, Bytes *record_to, const Bytes *replay) {
  InRunDir dir;
  double cpu = 0, game_ms = 0;
  uint64_t frames = 0;
  for (auto _ : state) {
    const Played p = play(record_to, replay);
    cpu += p.cpu;
    frames += p.frames;
    game_ms += p.game_ms;
  }
  report(state, cpu, frames, game_ms);
}

void BM_MatchPlayedHeadless(benchmark::State &state) {
  run(state, nullptr, nullptr);
}
BENCHMARK(BM_MatchPlayedHeadless)->Unit(benchmark::kMillisecond);

void BM_MatchRecordedHeadless(benchmark::State &state) {
  Bytes stream;
  run(state, &stream, nullptr);
  state.counters["recording_bytes"] = (double)stream.size();
}
BENCHMARK(BM_MatchRecordedHeadless)->Unit(benchmark::kMillisecond);

void BM_MatchTimedemoHeadless(benchmark::State &state) {
  Bytes stream;
  {
    InRunDir dir;
    play(&stream, nullptr);
  }
  run(state, nullptr, &stream);
}
BENCHMARK(BM_MatchTimedemoHeadless)->Unit(benchmark::kMillisecond);

void BM_WindowMatchTimedemoHeadless(benchmark::State &state) {
  std::ifstream file(QF_DATA_DIR "/match.qfrec", std::ios::binary);
  const Bytes stream((std::istreambuf_iterator<char>(file)),
                     std::istreambuf_iterator<char>());
  if (stream.empty()) {
    state.SkipWithError("no tests/data/match.qfrec");
    return;
  }
  run(state, nullptr, &stream);
}
BENCHMARK(BM_WindowMatchTimedemoHeadless)->Unit(benchmark::kMillisecond);

}  // namespace
