// Saving and loading the game's state, beside a memcpy of as many bytes in
// the same run. Aim: each within 2 microseconds, so that a state can be kept
// every frame and loaded again for a frame run anew. The state is taken
// mid-rally from the real scene (a palette loaded from the game's files).
#include <benchmark/benchmark.h>
#include <string.h>
#include <unistd.h>

#include <vector>

#include "engine/window.h"
#include "game/game.h"
#include "game/snapshot.h"
#include "platform/headless/headless.h"

namespace {

intptr_t bench_window_proc(PlatWindow *window, uint32_t message,
                           uintptr_t wparam, intptr_t lparam) {
  return plat_default_window_proc(window, message, wparam, lparam);
}

bool open_scene() {
  static bool open = false;
  if (open) return true;
  if (chdir(QF_RUN_DIR) != 0) return false;
  headless_reset();
  headless_set_time_limit(UINT64_MAX);
  plat_init();
  main_window =
      plat_window_create("Quillfire", 0, 0, 640, 480, bench_window_proc);
  load_assets();
  bob_set_position(&ball, 330, 240);
  bob_set_velocity(&ball, 5, -5);
  game_state.player1_score = 7;
  game_state.player2_score = 9;
  draw_frame();
  open = headless_display_open() && background_image.buffer;
  return open;
}

void game_save_state(benchmark::State &state) {
  if (!open_scene()) {
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
  if (!open_scene()) {
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
