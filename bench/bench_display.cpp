// The display's hot loops beside memcpy and memset of the same bytes in the
// same run, so that the ratios hold whatever the machine:
// - the present conversion (palette lookup of a 640 x 480 frame into 32-bit
//   pixels) at 1x and 2x, against a memcpy of the bytes it writes; aim: 1x
//   within 4 times the memcpy;
// - the sharp scaler filling a 1366 x 768 and a 1920 x 1080 screen (1024 x
//   768 and 1440 x 1080 of picture), against a memcpy of the bytes it
//   writes; aim: within 6 times the memcpy and 1.5 ms;
// - a whole-surface fill against memset; aim: within 1.5 times;
// - a whole-surface blit, plain and colour-keyed, against memcpy.
#include <benchmark/benchmark.h>
#include <string.h>

#include <vector>

#include "engine/display/ddraw.h"
#include "platform/sdl/present_convert.h"
#include "platform/sdl/present_scale.h"

namespace {

const int32_t WIDTH = 640, HEIGHT = 480;
const size_t FRAME_BYTES = (size_t)WIDTH * HEIGHT;

// A frame with every index in use, so the lookup's reads are not all one
// cache line.
std::vector<uint8_t> test_frame() {
  std::vector<uint8_t> frame(FRAME_BYTES);
  for (size_t i = 0; i < FRAME_BYTES; i++)
    frame[i] = (uint8_t)(i * 7 + i / 640);
  return frame;
}

void present_convert(benchmark::State &state) {
  const int32_t scale = (int32_t)state.range(0);
  const std::vector<uint8_t> frame = test_frame();
  uint32_t lut[256];
  for (int i = 0; i < 256; i++) lut[i] = 0xFF000000u | (uint32_t)i * 0x010203u;
  const int32_t dest_pitch = WIDTH * scale * 4;
  std::vector<uint8_t> dest((size_t)dest_pitch * HEIGHT * scale);
  for (auto _ : state) {
    present_convert_scaled(frame.data(), WIDTH, WIDTH, HEIGHT, lut, scale,
                           dest.data(), dest_pitch);
    benchmark::DoNotOptimize(dest.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)dest.size());
}
BENCHMARK(present_convert)->Arg(1)->Arg(2);

// Arguments: the screen's width and height.
void present_sharp(benchmark::State &state) {
  const std::vector<uint8_t> frame = test_frame();
  uint32_t lut[256];
  for (int i = 0; i < 256; i++) lut[i] = 0xFF000000u | (uint32_t)i * 0x010203u;
  PresentScale scale;
  present_scale_layout(&scale, WIDTH, HEIGHT, (int32_t)state.range(0),
                       (int32_t)state.range(1), 0);
  const int32_t dest_pitch = scale.fit.width * 4;
  std::vector<uint8_t> dest((size_t)dest_pitch * scale.fit.height);
  for (auto _ : state) {
    present_scale_draw(&scale, frame.data(), WIDTH, lut, dest.data(),
                       dest_pitch);
    benchmark::DoNotOptimize(dest.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)dest.size());
}
BENCHMARK(present_sharp)->Args({1366, 768})->Args({1920, 1080});

void memcpy_bytes(benchmark::State &state) {
  const size_t bytes = (size_t)state.range(0);
  std::vector<uint8_t> from(bytes, 1), to(bytes);
  for (auto _ : state) {
    memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)bytes);
}
// The bytes the conversion writes at 1x and 2x, one 8-bit frame, and the
// bytes of the sharp pictures at 1024 x 768 and 1440 x 1080.
BENCHMARK(memcpy_bytes)
    ->Arg((int64_t)FRAME_BYTES * 4)
    ->Arg((int64_t)FRAME_BYTES * 16)
    ->Arg((int64_t)FRAME_BYTES)
    ->Arg((int64_t)1024 * 768 * 4)
    ->Arg((int64_t)1440 * 1080 * 4);

void memset_bytes(benchmark::State &state) {
  std::vector<uint8_t> to(FRAME_BYTES);
  uint8_t colour = 0;
  for (auto _ : state) {
    memset(to.data(), colour++, FRAME_BYTES);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)FRAME_BYTES);
}
BENCHMARK(memset_bytes);

// Off-screen surfaces, so that nothing is presented.
struct Surfaces {
  DDObject *object = nullptr;
  DDSurface *dest = nullptr;
  DDSurface *source = nullptr;
  Surfaces() {
    dd_create(&object);
    dd_create_surface(object, WIDTH, HEIGHT, DDSCAPS_OFFSCREENPLAIN, &dest);
    dd_create_surface(object, WIDTH, HEIGHT, DDSCAPS_OFFSCREENPLAIN, &source);
    const std::vector<uint8_t> frame = test_frame();
    memcpy(source->pixels, frame.data(), FRAME_BYTES);
    dd_set_color_key(source, 0, 0);
  }
  ~Surfaces() {
    dd_release_surface(source);
    dd_release_surface(dest);
    dd_release_object(object);
  }
};

void surface_fill_640x480(benchmark::State &state) {
  Surfaces s;
  uint32_t colour = 0;
  for (auto _ : state) {
    dd_blt_fill(s.dest, colour++);
    benchmark::DoNotOptimize(s.dest->pixels);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)FRAME_BYTES);
}
BENCHMARK(surface_fill_640x480);

void surface_blit_640x480(benchmark::State &state) {
  Surfaces s;
  const RECT whole = {0, 0, WIDTH, HEIGHT};
  const int keyed = (int)state.range(0);
  for (auto _ : state) {
    dd_blt(s.dest, &whole, s.source, &whole, keyed);
    benchmark::DoNotOptimize(s.dest->pixels);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)FRAME_BYTES);
}
BENCHMARK(surface_blit_640x480)->Arg(0)->Arg(1);

}  // namespace
