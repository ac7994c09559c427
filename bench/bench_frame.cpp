// The whole frame: draw_frame as the game runs it (the background copied
// into the back buffer, three BOBs, two score lines, the flip and the
// headless present) beside a memcpy of the bytes it moves, in the same run.
// Aim: within 2 times the memcpy. Compare the two lines' CPU times (with
// --benchmark_repetitions=5, their medians).
#include <benchmark/benchmark.h>
#include <string.h>
#include <unistd.h>

#include <vector>

#include "bench_scene.h"
#include "engine/window.h"
#include "game/game.h"
#include "platform/headless/headless.h"

namespace {

// The background written into the back buffer and the frame copied out by
// the present: the bytes a frame moves, besides the sprites and the text.
const size_t FRAME_BYTES = (size_t)640 * 480 * 2;

void draw_whole_frame(benchmark::State &state) {
  if (!bench_open_scene()) {
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
