// What a frame costs in sprites and pictures: the ball and paddles blitted
// onto the clipped back buffer, and the background copied into it.
//
// ImageDrawVsMemcpy times the opaque background draw and a plain memcpy of the
// same rows in the same run and fails when the draw takes more than 1.5 times
// as long.
#include <benchmark/benchmark.h>
#include <string.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "engine/display/bob.h"
#include "engine/display/clipper.h"
#include "engine/display/display.h"
#include "engine/display/image.h"
#include "engine/window.h"
#include "platform/headless/headless.h"

namespace {

intptr_t bench_window_proc(PlatWindow *w, uint32_t m, uintptr_t wp,
                           intptr_t lp) {
  return plat_default_window_proc(w, m, wp, lp);
}

// A sheet as the BMP loader would leave it, with a transparent corner in
// every cell.
struct Sheet {
  std::vector<uint8_t> pixels;
  BitmapFile file{};
  Sheet(int32_t w, int32_t h) : pixels((size_t)w * h) {
    for (int32_t y = 0; y < h; y++) {
      for (int32_t x = 0; x < w; x++) {
        pixels[(size_t)y * w + x] = (uint8_t)((x + y) % 4 ? 1 + (x ^ y) : 0);
      }
    }
    file.info_header.biWidth = w;
    file.info_header.biHeight = h;
    file.info_header.biBitCount = 8;
    file.buffer = pixels.data();
  }
};

// The display as the game sets it up: 640 x 480, the back buffer clipped to
// the screen, the three BOBs and the background.
struct Scene {
  BOB ball{}, paddle1{}, paddle2{};
  BitmapImage background{};

  Scene() {
    headless_reset();
    plat_init();
    main_window =
        plat_window_create("Quillfire", 0, 0, 640, 480, bench_window_proc);
    app_instance = plat_instance();
    display_init(640, 480, 8);
    const RECT screen = {0, 0, display_width, display_height};
    back_clipper = clipper_attach(back_surface, 1, &screen);

    Sheet sprites(140, 20);
    bob_create(&ball, 315, 440, 11, 11, 1, 0x11, DDSCAPS_SYSTEMMEMORY);
    bob_load_frame(&ball, &sprites.file, 0, 0, 0, 0);
    bob_create(&paddle1, 280, 450, 66, 8, 1, 0x11, DDSCAPS_SYSTEMMEMORY);
    bob_load_frame(&paddle1, &sprites.file, 0, 0, 0, 0);
    bob_create(&paddle2, 280, 22, 65, 8, 1, 0x11, DDSCAPS_SYSTEMMEMORY);
    bob_load_frame(&paddle2, &sprites.file, 0, 1, 0, 0);

    Sheet picture(640, 480);
    image_create(&background, 0, 0, 639, 479);
    image_load(&background, &picture.file, 0, 0, 0);
  }
  ~Scene() {
    bob_destroy(&ball);
    bob_destroy(&paddle1);
    bob_destroy(&paddle2);
    image_destroy(&background);
    display_shutdown();
    plat_shutdown();
  }
};

// The baseline: the image's rows copied by memcpy with nothing else done. The
// row length is read from the record, as image_draw has it, so that the
// compiler can't turn a known length into a different copy.
void copy_rows(const BitmapImage &image, uint8_t *dest, int32_t pitch) {
  const uint8_t *from = image.buffer;
  for (int32_t row = 0; row < image.height; row++) {
    memcpy(dest, from, (size_t)image.width);
    from += image.width;
    dest += pitch;
  }
}

void BobDrawBall(benchmark::State &state) {
  Scene scene;
  for (auto _ : state) {
    benchmark::DoNotOptimize(bob_draw(&scene.ball, back_surface));
  }
}
BENCHMARK(BobDrawBall);

void BobDrawBothPaddles(benchmark::State &state) {
  Scene scene;
  for (auto _ : state) {
    benchmark::DoNotOptimize(bob_draw(&scene.paddle1, back_surface));
    benchmark::DoNotOptimize(bob_draw(&scene.paddle2, back_surface));
  }
}
BENCHMARK(BobDrawBothPaddles);

// A paddle half off the left edge: the clipper cuts it.
void BobDrawClippedPaddle(benchmark::State &state) {
  Scene scene;
  scene.paddle1.x = -30;
  for (auto _ : state) {
    benchmark::DoNotOptimize(bob_draw(&scene.paddle1, back_surface));
  }
}
BENCHMARK(BobDrawClippedPaddle);

void ImageDrawBackground(benchmark::State &state) {
  Scene scene;
  lock_back();
  for (auto _ : state) {
    image_draw(&scene.background, back_lock_ptr, back_lock_pitch, 0);
    benchmark::ClobberMemory();
  }
  unlock_back();
  state.SetBytesProcessed(state.iterations() * 639 * 479);
}
BENCHMARK(ImageDrawBackground);

void MemcpyBackgroundRows(benchmark::State &state) {
  Scene scene;
  lock_back();
  for (auto _ : state) {
    copy_rows(scene.background, back_lock_ptr, back_lock_pitch);
    benchmark::ClobberMemory();
  }
  unlock_back();
  state.SetBytesProcessed(state.iterations() * 639 * 479);
}
BENCHMARK(MemcpyBackgroundRows);

// Both copies, alternated so that they meet the same machine load; the best
// of many rounds of each stands for its cost.
void ImageDrawVsMemcpy(benchmark::State &state) {
  using Clock = std::chrono::steady_clock;
  Scene scene;
  lock_back();
  double best_draw = 1e30, best_copy = 1e30;
  for (auto _ : state) {
    for (int round = 0; round < 20; round++) {
      const auto t0 = Clock::now();
      image_draw(&scene.background, back_lock_ptr, back_lock_pitch, 0);
      benchmark::ClobberMemory();
      const auto t1 = Clock::now();
      copy_rows(scene.background, back_lock_ptr, back_lock_pitch);
      benchmark::ClobberMemory();
      const auto t2 = Clock::now();
      best_draw =
          std::min(best_draw,
                   std::chrono::duration<double, std::micro>(t1 - t0).count());
      best_copy =
          std::min(best_copy,
                   std::chrono::duration<double, std::micro>(t2 - t1).count());
    }
  }
  unlock_back();
  const double ratio = best_draw / best_copy;
  state.counters["draw_us"] = best_draw;
  state.counters["memcpy_us"] = best_copy;
  state.counters["ratio"] = ratio;
  if (ratio > 1.5) state.SkipWithError("image_draw over 1.5 x memcpy");
}
BENCHMARK(ImageDrawVsMemcpy)->Iterations(50);

}  // namespace
