// Showing the 8-bit frames: the window's own surface, refilled through the
// palette and scaled to fit, letterboxed.
#include <string.h>

#include "platform/platform.h"
#include "platform/sdl/sdl_internal.h"

namespace {

int32_t mode_width, mode_height;
int mode_set;

}  // namespace

int plat_display_set_mode(int32_t width, int32_t height, int32_t bits) {
  if (bits != 8 || width <= 0 || height <= 0 || !sdl_window()) return 0;
  mode_width = width;
  mode_height = height;
  mode_set = 1;
  return 1;
}

void plat_present(const uint8_t *pixels, int32_t pitch, int32_t width,
                  int32_t height, const uint8_t palette[1024]) {
  SDL_Window *window = sdl_window();
  if (!mode_set || !window || !pixels) return;
  SDL_Surface *target = SDL_GetWindowSurface(window);
  if (!target) return;
  Uint32 colors[256];
  for (int i = 0; i < 256; i++) {
    colors[i] = SDL_MapRGB(target->format, palette[4 * i], palette[4 * i + 1],
                           palette[4 * i + 2]);
  }
  // The largest whole scale that fits, centred.
  int scale = target->w / width < target->h / height ? target->w / width
                                                     : target->h / height;
  if (scale < 1) scale = 1;
  const int left = (target->w - width * scale) / 2;
  const int top = (target->h - height * scale) / 2;
  SDL_LockSurface(target);
  SDL_FillRect(target, nullptr, SDL_MapRGB(target->format, 0, 0, 0));
  for (int y = 0; y < height * scale; y++) {
    const int ty = top + y;
    if (ty < 0 || ty >= target->h) continue;
    const uint8_t *from = pixels + (ptrdiff_t)(y / scale) * pitch;
    Uint32 *to =
        (Uint32 *)((uint8_t *)target->pixels + (ptrdiff_t)ty * target->pitch);
    for (int x = 0; x < width * scale; x++) {
      const int tx = left + x;
      if (tx >= 0 && tx < target->w) to[tx] = colors[from[x / scale]];
    }
  }
  SDL_UnlockSurface(target);
  SDL_UpdateWindowSurface(window);
}

void plat_display_close(void) { mode_set = 0; }

void sdl_present_shutdown(void) { mode_set = 0; }
