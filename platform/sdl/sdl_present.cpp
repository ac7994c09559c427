// Showing the 8-bit frames: each present looks the frame up through the
// palette and scales it by a whole number straight into the window's own
// surface, centred between black bars, then shows the surface. Nothing is
// made per frame: the 256-entry lookup is rebuilt only when the palette or
// the surface's format changes, and the bars are painted only when the
// surface or the frame size changes. There is no wait for the vertical
// retrace; the frame clock paces the game.
#include <string.h>

#include "platform/platform.h"
#include "platform/sdl/present_convert.h"
#include "platform/sdl/sdl_internal.h"

namespace {

const int32_t kMaxModeSide = 16384;

int mode_set;

// The lookup and what it was built for.
uint32_t lut[256];
uint8_t lut_palette[1024];
Uint32 lut_format;
int lut_valid;

// Where the picture sits, and on which surface of which size that was
// worked out (and the bars painted).
PresentFit fit;
SDL_Surface *laid_out_on;
int32_t laid_target_w, laid_target_h, laid_frame_w, laid_frame_h;

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
  if (target == laid_out_on && target->w == laid_target_w &&
      target->h == laid_target_h && width == laid_frame_w &&
      height == laid_frame_h) {
    return false;
  }
  fit = present_fit(width, height, target->w, target->h);
  SDL_FillRect(target, nullptr, SDL_MapRGB(target->format, 0, 0, 0));
  laid_out_on = target;
  laid_target_w = target->w;
  laid_target_h = target->h;
  laid_frame_w = width;
  laid_frame_h = height;
  return true;
}

void forget_layout() {
  laid_out_on = nullptr;
  lut_valid = 0;
}

}  // namespace

int plat_display_set_mode(int32_t width, int32_t height, int32_t bits) {
  if (bits != 8 || width <= 0 || height <= 0 || width > kMaxModeSide ||
      height > kMaxModeSide || !sdl_window()) {
    return 0;
  }
  mode_set = 1;
  forget_layout();
  return 1;
}

void plat_present(const uint8_t *pixels, int32_t pitch, int32_t width,
                  int32_t height, const uint8_t palette[1024]) {
  SDL_Window *window = sdl_window();
  if (!mode_set || !window || !pixels || !palette || width <= 0 ||
      height <= 0) {
    return;
  }
  SDL_Surface *target = SDL_GetWindowSurface(window);
  if (!target || target->w <= 0 || target->h <= 0) return;
  update_lut(target->format, palette);
  lay_out(target, width, height);
  if (SDL_MUSTLOCK(target) && SDL_LockSurface(target) != 0) return;
  const int32_t bytes_per_pixel = target->format->BytesPerPixel;
  uint8_t *dest = (uint8_t *)target->pixels +
                  (ptrdiff_t)fit.top * target->pitch +
                  (ptrdiff_t)fit.left * bytes_per_pixel;
  if (bytes_per_pixel == 4 && fit.scale >= 1) {
    present_convert_scaled(pixels, pitch, width, height, lut, fit.scale, dest,
                           target->pitch);
  } else {
    present_convert_any(pixels, pitch, width, height, lut, dest, target->pitch,
                        fit.width, fit.height, bytes_per_pixel);
  }
  if (SDL_MUSTLOCK(target)) SDL_UnlockSurface(target);
  // The whole surface, bars too, so that a window uncovered since the last
  // change shows them again.
  SDL_UpdateWindowSurface(window);
}

void sdl_present_close(void) {
  mode_set = 0;
  forget_layout();
}

void plat_display_close(void) { sdl_present_close(); }
