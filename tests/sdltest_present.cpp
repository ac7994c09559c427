// The SDL present path on SDL's dummy video driver, whose window surface is
// plain memory: what lands where in the window, in which colour.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sdl/present_convert.h"
#include "platform/sdl/sdl_internal.h"
#include "screenshot/png_write.h"

namespace {

intptr_t quiet_proc(PlatWindow *, uint32_t, uintptr_t, intptr_t) { return 0; }

// A frame whose neighbouring pixels differ, its rows a few bytes apart that
// are not the picture's, through a palette whose colours all differ; another
// `tint` changes every colour.
struct Frame {
  int32_t width, height, pitch;
  std::vector<uint8_t> pixels;
  uint8_t palette[1024] = {};
  Frame(int32_t w, int32_t h, uint8_t tint = 0)
      : width(w), height(h), pitch(w + 3), pixels((size_t)(w + 3) * h) {
    for (size_t i = 0; i < pixels.size(); i++) {
      pixels[i] = (uint8_t)(i * 37 + i / pitch);
    }
    for (int i = 0; i < 256; i++) {
      palette[4 * i] = (uint8_t)(i ^ tint);
      palette[4 * i + 1] = (uint8_t)(255 - i);
      palette[4 * i + 2] = (uint8_t)(i * 3);
    }
  }
};

class Present : public ::testing::Test {
 protected:
  void open(int32_t w, int32_t h, int whole_only = 1) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    ASSERT_EQ(plat_init(), 1) << plat_error();
    plat_window_options(0, whole_only);
    ASSERT_NE(plat_window_create("test", 0, 0, w, h, quiet_proc), nullptr);
    ASSERT_EQ(plat_display_set_mode(640, 480, 8), 1);
  }
  void TearDown() override { plat_shutdown(); }

  // Presents `f`; then every pixel of the window is the frame's scaled to
  // `fit`, black outside it.
  static void expect_shown(const Frame &f, const PresentFit &fit) {
    plat_present(f.pixels.data(), f.pitch, f.width, f.height, f.palette);
    expect_window_holds(f, fit);
  }

  static void expect_window_holds(const Frame &f, const PresentFit &fit) {
    SDL_Surface *s = SDL_GetWindowSurface(sdl_window());
    ASSERT_EQ(s->format->BytesPerPixel, 4);
    for (int32_t y = 0; y < s->h; y++) {
      const Uint32 *row = (const Uint32 *)((uint8_t *)s->pixels + y * s->pitch);
      for (int32_t x = 0; x < s->w; x++) {
        Uint32 want = SDL_MapRGB(s->format, 0, 0, 0);
        if (x >= fit.left && x < fit.left + fit.width && y >= fit.top &&
            y < fit.top + fit.height) {
          const int32_t fx = (x - fit.left) * f.width / fit.width;
          const int32_t fy = (y - fit.top) * f.height / fit.height;
          const uint8_t *e = f.palette + 4 * f.pixels[fy * f.pitch + fx];
          want = SDL_MapRGB(s->format, e[0], e[1], e[2]);
        }
        ASSERT_EQ(row[x], want) << x << "," << y;
      }
    }
  }
};

// Frames a few pixels off 640 wide leave the scalers a remainder after their
// steps of four pixels, with bars right after the picture's rows. In the same
// window, a new palette and a new frame size take effect at once.
TEST_F(Present, FrameGetsTheLargestWholeScaleCentredOrIsShrunk) {
  const struct {
    int32_t window_w, window_h, frame_w, frame_h;
    uint8_t tint;
    PresentFit fit;
  } cases[] = {
      {1280, 1024, 640, 480, 0, {0, 32, 1280, 960, 2}},  // bars above, below
      {1280, 1024, 640, 480, 0x5A, {0, 32, 1280, 960, 2}},
      {1280, 1024, 637, 480, 0, {3, 32, 1274, 960, 2}},  // and at the sides
      {1280, 1024, 639, 480, 0, {1, 32, 1278, 960, 2}},
      {1280, 1024, 320, 200, 0, {0, 112, 1280, 800, 4}},
      {1000, 700, 643, 480, 0, {178, 110, 643, 480, 1}},  // between scales
      {1000, 700, 641, 480, 0, {179, 110, 641, 480, 1}},
      {500, 300, 640, 480, 0, {50, 0, 400, 300, 0}},  // smaller: shrunk
      {400, 400, 640, 480, 0, {0, 50, 400, 300, 0}},
  };
  int32_t open_w = 0, open_h = 0;
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.frame_w << "x" << c.frame_h << " tint " << (int)c.tint);
    if (c.window_w != open_w || c.window_h != open_h) {
      plat_shutdown();
      open(open_w = c.window_w, open_h = c.window_h);
    }
    expect_shown(Frame(c.frame_w, c.frame_h, c.tint), c.fit);
  }
}

// F11 and Alt+Enter, as the window system hands them in: the game gets no
// message for them, the window switches, and the last frame is shown again
// at the new size without the game presenting anything.
TEST_F(Present, SwitchKeysChangeTheWindowAndShowTheLastFrameAgain) {
  open(1280, 1024);
  const Frame f(640, 480);
  expect_shown(f, PresentFit{0, 32, 1280, 960, 2});
  // The window's size after, and where the frame is in it; the dummy
  // driver's desktop is 1024 x 768.
  const struct {
    SDL_Scancode key;
    Uint16 mod;
    int32_t w, h;
    PresentFit fit;
  } presses[] = {
      {SDL_SCANCODE_F11, 0, 640, 480, {0, 0, 640, 480, 1}},  // 640 x 480 fits
      {SDL_SCANCODE_RETURN, KMOD_LALT, 1024, 768, {192, 144, 640, 480, 1}},
      {SDL_SCANCODE_KP_ENTER, KMOD_RALT, 640, 480, {0, 0, 640, 480, 1}},
  };
  for (const auto &p : presses) {
    SCOPED_TRACE(p.key);
    SDL_Event event = {};
    event.type = SDL_KEYDOWN;
    event.key.windowID = SDL_GetWindowID(sdl_window());
    event.key.state = SDL_PRESSED;
    event.key.keysym.scancode = p.key;
    event.key.keysym.mod = p.mod;
    ASSERT_EQ(SDL_PushEvent(&event), 1);
    PlatMessage msg;
    while (plat_peek_message(&msg)) {
      EXPECT_NE(msg.message, (uint32_t)WM_KEYDOWN) << "the game saw the key";
    }
    int w = 0, h = 0;
    SDL_GetWindowSize(sdl_window(), &w, &h);
    EXPECT_EQ(w, p.w);
    EXPECT_EQ(h, p.h);
    expect_window_holds(f, p.fit);
  }
}

// The pictures made headless (docs/, the runner's shots) must show the
// colours the window shows: a few palette entries, each pixel of a frame,
// come out as the same red, green and blue in the window and in the PNG's
// colour table, as stated here.
TEST_F(Present, WindowAndScreenshotShowAPaletteEntryAsTheSameColour) {
  open(640, 480);
  const struct {
    uint8_t index, red, green, blue;
  } entries[] = {
      {0, 0, 0, 0}, {1, 14, 14, 18},   {2, 255, 255, 255},
      {3, 1, 2, 3}, {4, 254, 127, 64}, {5, 63, 252, 3},
  };
  const int32_t w = 640, h = 480;
  std::vector<uint8_t> pixels((size_t)w * h);
  uint8_t palette[1024] = {};
  for (const auto &e : entries) {
    palette[4 * e.index] = e.red;
    palette[4 * e.index + 1] = e.green;
    palette[4 * e.index + 2] = e.blue;
  }
  // Entry k fills the k-th band of rows.
  for (int32_t y = 0; y < h; y++) {
    memset(&pixels[(size_t)y * w], y * 6 / h, w);
  }
  plat_present(pixels.data(), w, w, h, palette);
  SDL_Surface *s = SDL_GetWindowSurface(sdl_window());
  ASSERT_EQ(s->format->BytesPerPixel, 4);
  const std::vector<uint8_t> png =
      png_encode_indexed(pixels.data(), w, h, palette);
  // The colour table: after the 8-byte signature and the 25-byte header,
  // its length, "PLTE", then red, green, blue per entry.
  ASSERT_GT(png.size(), 41u + 18);
  ASSERT_EQ(std::string(png.begin() + 37, png.begin() + 41), "PLTE");
  for (const auto &e : entries) {
    SCOPED_TRACE(testing::Message() << "entry " << (int)e.index);
    const int32_t y = (int32_t)e.index * h / 6 + 1;
    const Uint32 shown =
        ((const Uint32 *)((uint8_t *)s->pixels + y * s->pitch))[w / 2];
    Uint8 r, g, b;
    SDL_GetRGB(shown, s->format, &r, &g, &b);
    EXPECT_EQ(r, e.red);
    EXPECT_EQ(g, e.green);
    EXPECT_EQ(b, e.blue);
    const uint8_t *in_png = &png[41 + 3 * e.index];
    EXPECT_EQ(in_png[0], e.red);
    EXPECT_EQ(in_png[1], e.green);
    EXPECT_EQ(in_png[2], e.blue);
  }
}

}  // namespace
