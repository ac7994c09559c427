// The SDL present path on SDL's dummy video driver, whose window surface is
// plain memory: what lands where in the window, in which colour.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <vector>

#include "platform/platform.h"
#include "platform/sdl/present_convert.h"
#include "platform/sdl/sdl_internal.h"

namespace {

intptr_t quiet_proc(PlatWindow *, uint32_t, uintptr_t, intptr_t) { return 0; }

struct Frame {
  int32_t width, height;
  std::vector<uint8_t> pixels;
  uint8_t palette[1024];
  Frame(int32_t w, int32_t h) : width(w), height(h), pixels((size_t)w * h) {
    for (int32_t i = 0; i < w * h; i++) pixels[i] = (uint8_t)(i * 37 + i / w);
    for (int i = 0; i < 256; i++) {
      palette[4 * i] = (uint8_t)i;
      palette[4 * i + 1] = (uint8_t)(255 - i);
      palette[4 * i + 2] = (uint8_t)(i * 3);
      palette[4 * i + 3] = 0;
    }
  }
  void present() const {
    plat_present(pixels.data(), width, width, height, palette);
  }
};

class Present : public ::testing::Test {
 protected:
  void open(int32_t w, int32_t h) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    ASSERT_EQ(plat_init(), 1) << plat_error();
    ASSERT_NE(plat_window_create("test", 0, 0, w, h, quiet_proc), nullptr);
    ASSERT_EQ(plat_display_set_mode(640, 480, 8), 1);
  }
  void TearDown() override { plat_shutdown(); }

  static SDL_Surface *window_surface() {
    return SDL_GetWindowSurface(sdl_window());
  }

  static Uint32 pixel(int32_t x, int32_t y) {
    SDL_Surface *s = window_surface();
    const uint8_t *row = (const uint8_t *)s->pixels + y * s->pitch;
    Uint32 value = 0;
    memcpy(&value, row + x * s->format->BytesPerPixel,
           s->format->BytesPerPixel);
    return value;
  }

  static Uint32 colour(const Frame &f, int32_t x, int32_t y) {
    const uint8_t *e = f.palette + 4 * f.pixels[y * f.width + x];
    return SDL_MapRGB(window_surface()->format, e[0], e[1], e[2]);
  }

  // Every pixel of the window: the frame's scaled to `fit`, black outside.
  static void expect_window(const Frame &f, const PresentFit &fit) {
    SDL_Surface *s = window_surface();
    const Uint32 black = SDL_MapRGB(s->format, 0, 0, 0);
    for (int32_t y = 0; y < s->h; y++) {
      for (int32_t x = 0; x < s->w; x++) {
        const bool inside = x >= fit.left && x < fit.left + fit.width &&
                            y >= fit.top && y < fit.top + fit.height;
        const Uint32 want =
            inside ? colour(f, (x - fit.left) * f.width / fit.width,
                            (y - fit.top) * f.height / fit.height)
                   : black;
        ASSERT_EQ(pixel(x, y), want) << x << "," << y;
      }
    }
  }
};

TEST_F(Present, DesktopGetsTheLargestWholeScaleCentred) {
  open(1280, 1024);
  Frame f(640, 480);
  f.present();
  const PresentFit fit = {0, 32, 1280, 960, 2};
  expect_window(f, fit);

  // A new palette is used at once; a new frame size lays the bars anew.
  for (int i = 0; i < 1024; i++) f.palette[i] = (uint8_t)(f.palette[i] ^ 0x5A);
  f.present();
  expect_window(f, fit);
  Frame small(320, 200);
  small.present();
  expect_window(small, PresentFit{0, 112, 1280, 800, 4});
}

TEST_F(Present, WindowBetweenScalesKeepsScaleOneWithBars) {
  open(1000, 700);
  Frame f(640, 480);
  f.present();
  expect_window(f, PresentFit{180, 110, 640, 480, 1});
}

TEST_F(Present, WindowSmallerThanTheFrameShrinksIt) {
  open(500, 300);
  Frame f(640, 480);
  f.present();
  expect_window(f, PresentFit{50, 0, 400, 300, 0});
}

TEST(PresentConvert, EveryScaleMatchesPlainNearestNeighbour) {
  // Widths that leave every remainder of the four-pixel steps.
  for (int32_t width = 1; width <= 9; width++) {
    for (int32_t scale = 1; scale <= 3; scale++) {
      const int32_t height = 3, pitch = width + 5;
      std::vector<uint8_t> frame((size_t)pitch * height);
      for (size_t i = 0; i < frame.size(); i++) frame[i] = (uint8_t)(i * 11);
      uint32_t lut[256];
      for (int i = 0; i < 256; i++) lut[i] = 0x01000000u * i + 0x10101u * i;
      const int32_t dest_w = width * scale, dest_pitch = dest_w * 4 + 8;
      std::vector<uint8_t> dest((size_t)dest_pitch * height * scale, 0xAB);
      present_convert_scaled(frame.data(), pitch, width, height, lut, scale,
                             dest.data(), dest_pitch);
      for (int32_t y = 0; y < height * scale; y++) {
        for (int32_t x = 0; x < dest_w; x++) {
          uint32_t got;
          memcpy(&got, &dest[y * dest_pitch + 4 * x], 4);
          ASSERT_EQ(got, lut[frame[(y / scale) * pitch + x / scale]])
              << width << "x" << scale << " at " << x << "," << y;
        }
        // The bytes past each row are the caller's.
        ASSERT_EQ(dest[y * dest_pitch + dest_w * 4], 0xAB);
      }
    }
  }
}

}  // namespace
