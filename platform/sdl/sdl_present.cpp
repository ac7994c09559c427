// Showing the 8-bit frames: each present looks the frame up through the
// palette and scales it (present_scale: sharp at any size, or by whole
// numbers only) straight into the window's own surface, centred between
// black bars, then shows the surface. Nothing is made per frame: the 256-entry
// lookup is rebuilt only when the palette or the surface's format changes,
// the scaler's tables and the bars only when the surface or the frame size
// changes. The last frame is kept, so that a new window size shows it at
// once, and so that a frame is drawn and sent only in the rows where it
// differs from the last: in a rally that is the ball and the paddles, a
// tenth of the picture. There is no wait for the vertical retrace; the frame
// clock paces the game.
#include <string.h>

#include <vector>

#include "platform/platform.h"
#include "platform/sdl/present_convert.h"
#include "platform/sdl/present_scale.h"
#include "platform/sdl/sdl_internal.h"

namespace {

const int32_t MAX_MODE_SIDE = 16384;
// Changed rows closer than this are drawn and sent as one run, and a frame
// with more runs than that is sent whole: each run is a request to the
// window system.
const int32_t ROW_RUN_GAP = 8;
const int MAX_ROW_RUNS = 16;

struct RowRun {
  int32_t first, end;
};

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

// True when the lookup had to be built again: every pixel is then stale.
bool update_lut(const SDL_PixelFormat *format, const uint8_t palette[1024]) {
  if (lut_valid && lut_format == format->format &&
      memcmp(lut_palette, palette, sizeof lut_palette) == 0) {
    return false;
  }
  for (int i = 0; i < 256; i++) {
    lut[i] = SDL_MapRGB(format, palette[4 * i], palette[4 * i + 1],
                        palette[4 * i + 2]);
  }
  memcpy(lut_palette, palette, sizeof lut_palette);
  lut_format = format->format;
  lut_valid = 1;
  return true;
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

int sdl_display_set_mode(int32_t width, int32_t height, int32_t bits) {
  if (bits != 8 || width <= 0 || height <= 0 || width > MAX_MODE_SIDE ||
      height > MAX_MODE_SIDE || !sdl_window()) {
    return 0;
  }
  mode_set = 1;
  forget_layout();
  return 1;
}

namespace {

// Draws the frame's rows in `runs` (all of them when `runs` is null) into
// the window's surface and sends those rows to the screen.
void show(const uint8_t *pixels, int32_t width, int32_t height,
          const uint8_t palette[1024], const RowRun *runs, int run_count) {
  SDL_Window *window = sdl_window();
  if (!mode_set || !window) return;
  SDL_Surface *target = SDL_GetWindowSurface(window);
  if (!target || target->w <= 0 || target->h <= 0) return;
  const bool new_lut = update_lut(target->format, palette);
  const bool new_layout = lay_out(target, width, height);
  const int32_t bytes_per_pixel = target->format->BytesPerPixel;
  const RowRun all = {0, height};
  if (!runs || new_lut || new_layout || bytes_per_pixel != 4) {
    runs = &all;
    run_count = 1;
  }
  if (SDL_MUSTLOCK(target) && SDL_LockSurface(target) != 0) return;
  const PresentFit &fit = layout.fit;
  uint8_t *dest = (uint8_t *)target->pixels +
                  (ptrdiff_t)fit.top * target->pitch +
                  (ptrdiff_t)fit.left * bytes_per_pixel;
  SDL_Rect rects[MAX_ROW_RUNS];
  int rect_count = 0;
  if (bytes_per_pixel == 4) {
    for (int i = 0; i < run_count; i++) {
      int32_t top, end;
      present_scale_draw_rows(&layout, pixels, width, lut, dest, target->pitch,
                              runs[i].first, runs[i].end, &top, &end);
      if (end > top) {
        rects[rect_count++] = {fit.left, fit.top + top, fit.width, end - top};
      }
    }
  } else {
    present_convert_any(pixels, width, width, height, lut, dest, target->pitch,
                        fit.width, fit.height, bytes_per_pixel);
  }
  if (SDL_MUSTLOCK(target)) SDL_UnlockSurface(target);
  if (runs == &all) {
    // The whole surface, bars too, so that a window uncovered since the
    // last change shows them again.
    SDL_UpdateWindowSurface(window);
  } else if (rect_count > 0) {
    SDL_UpdateWindowSurfaceRects(window, rects, rect_count);
  }
}

// Copies the frame over the last one, noting the runs of rows that differ.
// Returns the number of runs, or -1 when the frame is to be shown whole.
int keep_frame(const uint8_t *pixels, int32_t pitch, int32_t width,
               int32_t height, RowRun runs[MAX_ROW_RUNS]) {
  const size_t bytes = (size_t)width * height;
  const bool same_size = last_width == width && last_height == height;
  if (last_pixels.size() != bytes) last_pixels.resize(bytes);
  int count = 0;
  bool too_many = false;
  for (int32_t y = 0; y < height; y++) {
    const uint8_t *from = pixels + (ptrdiff_t)y * pitch;
    uint8_t *kept = &last_pixels[(size_t)y * width];
    if (memcmp(kept, from, (size_t)width) == 0) continue;
    memcpy(kept, from, (size_t)width);
    if (count > 0 && y - runs[count - 1].end < ROW_RUN_GAP) {
      runs[count - 1].end = y + 1;
    } else if (count < MAX_ROW_RUNS) {
      runs[count++] = {y, y + 1};
    } else {
      too_many = true;
    }
  }
  last_width = width;
  last_height = height;
  return same_size && !too_many ? count : -1;
}

}  // namespace

void sdl_present(const uint8_t *pixels, int32_t pitch, int32_t width,
                 int32_t height, const uint8_t palette[1024]) {
  if (!mode_set || !sdl_window() || !pixels || !palette || width <= 0 ||
      height <= 0) {
    return;
  }
  // Kept first: the copy is what is shown, and what is shown again.
  RowRun runs[MAX_ROW_RUNS];
  const int run_count = keep_frame(pixels, pitch, width, height, runs);
  memcpy(last_palette, palette, sizeof last_palette);
  // The transitions present step after step without reading the keyboard:
  // a switch asked for meanwhile is carried out here, with this frame.
  sdl_pump_events();
  sdl_after_pump();
  show(last_pixels.data(), width, height, last_palette,
       run_count < 0 ? nullptr : runs, run_count);
}

void sdl_present_again(void) {
  if (last_width <= 0) return;
  // The surface may be new at an old address and size: bars painted again.
  laid_out_on = nullptr;
  show(last_pixels.data(), last_width, last_height, last_palette, nullptr, 0);
}

void sdl_present_close(void) {
  mode_set = 0;
  forget_layout();
  last_width = last_height = 0;
}

void sdl_display_close(void) { sdl_present_close(); }
