// Showing the 8-bit frames: each present looks the frame up through the
// palette and scales it (present_scale: sharp at any size, or by whole
// numbers only) straight into the window's own surface, centred between
// black bars, then shows the surface. Nothing is made per frame: the 256-entry
// lookup is rebuilt only when the palette or the surface's format changes,
// the scaler's tables and the bars only when the surface or the frame size
// changes. The last frame is kept, so that a new window size shows it at
// once. There is no wait for the vertical retrace; the frame clock paces the
// game.
#include <string.h>

#include <vector>

#include "platform/platform.h"
#include "platform/sdl/present_convert.h"
#include "platform/sdl/present_scale.h"
#include "platform/sdl/sdl_internal.h"

namespace {

const int32_t MAX_MODE_SIDE = 16384;

int mode_set;

// The lookup and what it was built for.
uint32_t lut[256];
uint8_t lut_palette[1024];
Uint32 lut_format;
int lut_valid;

// Where the picture sits and how it is scaled, and on which surface of which
// size that was worked out (and the bars painted).
PresentScale layout;
SDL_Surface *laid_out_on;
int32_t laid_target_w, laid_target_h, laid_frame_w, laid_frame_h,
    laid_whole_only;

// The last frame presented, packed row after row.
std::vector<uint8_t> last_pixels;
uint8_t last_palette[1024];
int32_t last_width, last_height;

void update_lut(const SDL_PixelFormat *format, const uint8_t palette[1024]) {
  if (lut_valid && lut_format == format->format &&
      memcmp(lut_palette, palette, sizeof lut_palette) == 0) {
    return;
  }
  for (int i = 0; i < 256; i++) {
    lut[i] = SDL_MapRGB(format, palette[4 * i], palette[4 * i + 1],
                        palette[4 * i + 2]);
  }
  memcpy(lut_palette, palette, sizeof lut_palette);
  lut_format = format->format;
  lut_valid = 1;
}

// True when the picture's place had to be worked out again; the whole
// surface is then black, ready for the picture.
bool lay_out(SDL_Surface *target, int32_t width, int32_t height) {
  const int32_t whole_only = sdl_whole_scale_only();
  if (target == laid_out_on && target->w == laid_target_w &&
      target->h == laid_target_h && width == laid_frame_w &&
      height == laid_frame_h && whole_only == laid_whole_only) {
    return false;
  }
  present_scale_layout(&layout, width, height, target->w, target->h,
                       whole_only);
  SDL_FillRect(target, nullptr, SDL_MapRGB(target->format, 0, 0, 0));
  laid_out_on = target;
  laid_target_w = target->w;
  laid_target_h = target->h;
  laid_frame_w = width;
  laid_frame_h = height;
  laid_whole_only = whole_only;
  return true;
}

void forget_layout() {
  laid_out_on = nullptr;
  lut_valid = 0;
}

}  // namespace

int plat_display_set_mode(int32_t width, int32_t height, int32_t bits) {
  if (bits != 8 || width <= 0 || height <= 0 || width > MAX_MODE_SIDE ||
      height > MAX_MODE_SIDE || !sdl_window()) {
    return 0;
  }
  mode_set = 1;
  forget_layout();
  return 1;
}

namespace {

void show(const uint8_t *pixels, int32_t pitch, int32_t width, int32_t height,
          const uint8_t palette[1024]) {
  SDL_Window *window = sdl_window();
  if (!mode_set || !window) return;
  SDL_Surface *target = SDL_GetWindowSurface(window);
  if (!target || target->w <= 0 || target->h <= 0) return;
  update_lut(target->format, palette);
  lay_out(target, width, height);
  if (SDL_MUSTLOCK(target) && SDL_LockSurface(target) != 0) return;
  const PresentFit &fit = layout.fit;
  const int32_t bytes_per_pixel = target->format->BytesPerPixel;
  uint8_t *dest = (uint8_t *)target->pixels +
                  (ptrdiff_t)fit.top * target->pitch +
                  (ptrdiff_t)fit.left * bytes_per_pixel;
  if (bytes_per_pixel == 4) {
    present_scale_draw(&layout, pixels, pitch, lut, dest, target->pitch);
  } else {
    present_convert_any(pixels, pitch, width, height, lut, dest, target->pitch,
                        fit.width, fit.height, bytes_per_pixel);
  }
  if (SDL_MUSTLOCK(target)) SDL_UnlockSurface(target);
  // The whole surface, bars too, so that a window uncovered since the last
  // change shows them again.
  SDL_UpdateWindowSurface(window);
}

}  // namespace

void plat_present(const uint8_t *pixels, int32_t pitch, int32_t width,
                  int32_t height, const uint8_t palette[1024]) {
  if (!mode_set || !sdl_window() || !pixels || !palette || width <= 0 ||
      height <= 0) {
    return;
  }
  // Kept first: the copy is what is shown, and what is shown again.
  const size_t bytes = (size_t)width * height;
  if (last_pixels.size() != bytes) last_pixels.resize(bytes);
  for (int32_t y = 0; y < height; y++) {
    memcpy(&last_pixels[(size_t)y * width], pixels + (ptrdiff_t)y * pitch,
           (size_t)width);
  }
  memcpy(last_palette, palette, sizeof last_palette);
  last_width = width;
  last_height = height;
  // The transitions present step after step without reading the keyboard:
  // a switch asked for meanwhile is carried out here, with this frame.
  SDL_PumpEvents();
  sdl_after_pump();
  show(last_pixels.data(), width, width, height, last_palette);
}

void sdl_present_again(void) {
  if (last_width <= 0) return;
  // The surface may be new at an old address and size: bars painted again.
  laid_out_on = nullptr;
  show(last_pixels.data(), last_width, last_width, last_height, last_palette);
}

void sdl_present_close(void) {
  mode_set = 0;
  forget_layout();
  last_width = last_height = 0;
}

void plat_display_close(void) { sdl_present_close(); }
