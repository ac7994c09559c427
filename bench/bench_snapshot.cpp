// Saving and loading the game's state, beside a memcpy of as many bytes in
// the same run. Aim: each within 2 microseconds, so that a state can be kept
// every frame and loaded again for a frame run anew. The state is taken
// mid-rally from the real scene (a palette loaded from the game's files).
#include <benchmark/benchmark.h>
#include <string.h>
#include <unistd.h>

#include <vector>

#include "bench_scene.h"
#include "engine/window.h"
#include "game/game.h"
#include "game/snapshot.h"
#include "platform/headless/headless.h"

namespace {

void game_save_state(benchmark::State &state) {
  if (!bench_open_scene()) {
    state.SkipWithError("the scene could not be loaded");
    return;
  }
  GameSnapshot snapshot;
  for (auto _ : state) {
    game_save(&snapshot);
    benchmark::DoNotOptimize(&snapshot);
    benchmark::ClobberMemory();
  }
  state.counters["bytes"] = sizeof(GameSnapshot);
}
BENCHMARK(game_save_state);

void game_load_state(benchmark::State &state) {
  if (!bench_open_scene()) {
    state.SkipWithError("the scene could not be loaded");
    return;
  }
  GameSnapshot snapshot;
  game_save(&snapshot);
  for (auto _ : state) {
    game_load(&snapshot);
    benchmark::ClobberMemory();
  }
  state.counters["bytes"] = sizeof(GameSnapshot);
}
BENCHMARK(game_load_state);

void memcpy_snapshot_bytes(benchmark::State &state) {
  std::vector<uint8_t> from(sizeof(GameSnapshot), 1), to(sizeof(GameSnapshot));
  for (auto _ : state) {
    memcpy(to.data(), from.data(), sizeof(GameSnapshot));
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.counters["bytes"] = sizeof(GameSnapshot);
}
BENCHMARK(memcpy_snapshot_bytes);

}  // namespace
