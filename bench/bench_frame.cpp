// The whole frame: draw_frame as the game runs it (the background copied
// into the back buffer, three BOBs, two score lines, the flip and the
// headless present) beside a memcpy of the bytes it moves, in the same run.
// Aim: within 2 times the memcpy. Compare the two lines' CPU times (with
// --benchmark_repetitions=5, their medians).
#include <benchmark/benchmark.h>
#include <string.h>
#include <unistd.h>

#include <vector>

#include "engine/window.h"
#include "game/game.h"
#include "platform/headless/headless.h"

namespace {

// The background written into the back buffer and the frame copied out by
// the present: the bytes a frame moves, besides the sprites and the text.
const size_t FRAME_BYTES = (size_t)640 * 480 * 2;

intptr_t bench_window_proc(PlatWindow *window, uint32_t message,
                           uintptr_t wparam, intptr_t lparam) {
  return plat_default_window_proc(window, message, wparam, lparam);
}

// The game's scene, loaded from the generated files as the game loads it,
// mid-rally: every sprite on the court and two-digit scores.
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
  bob_set_position(&paddle1, 200, 450);
  bob_set_position(&paddle2, 300, 22);
  bob_set_position(&ball, 330, 240);
  game_state.player1_score = 10;
  game_state.player2_score = 10;
  open = headless_display_open() && background_image.buffer;
  return open;
}

void draw_whole_frame(benchmark::State &state) {
  if (!open_scene()) {
    state.SkipWithError("the scene could not be loaded");
    return;
  }
  for (auto _ : state) draw_frame();
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)FRAME_BYTES);
}
BENCHMARK(draw_whole_frame);

void memcpy_frame_bytes(benchmark::State &state) {
  std::vector<uint8_t> from(FRAME_BYTES, 1), to(FRAME_BYTES);
  for (auto _ : state) {
    memcpy(to.data(), from.data(), FRAME_BYTES);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)FRAME_BYTES);
}
BENCHMARK(memcpy_frame_bytes);

}  // namespace
