// Showing the 8-bit frames on the page's canvas: each present looks the
// frame up through the palette and scales it with the desktop's own sharp
// scaler (present_scale) into a buffer of the canvas's device pixels, which
// the page puts on the canvas. The canvas fills the page's largest 4:3
// area, so the picture fills it whole. The last frame is kept, so that a
// page resized while the game waits for a key shows it again at its new
// size.
#include <emscripten.h>
#include <string.h>

#include <vector>

#include "platform/sdl/present_convert.h"
#include "platform/sdl/present_scale.h"
#include "platform/web/web_internal.h"

namespace {

const int32_t MAX_MODE_SIDE = 16384;

int mode_set;
uint32_t lut[256];
PresentScale layout;
int32_t laid_canvas_w, laid_canvas_h, laid_frame_w, laid_frame_h;
std::vector<uint8_t> canvas_pixels;  // RGBA, row after row

std::vector<uint8_t> last_pixels;
uint8_t last_palette[1024];
int32_t last_width, last_height;

}  // namespace

EM_JS(void, web_js_fit, (int32_t * size), {
  var fit = qfWeb.fit();
  HEAP32[size >> 2] = fit[0];
  HEAP32[(size >> 2) + 1] = fit[1];
});
EM_JS(void, web_js_put, (const uint8_t *pixels, int32_t width, int32_t height),
      { qfWeb.put(pixels, width, height); });
EM_JS(int, web_js_take_resized, (void), {
  var resized = qfWeb.resized ? 1 : 0;
  qfWeb.resized = false;
  return resized;
});

namespace {

void show(const uint8_t *pixels, int32_t width, int32_t height,
          const uint8_t palette[1024]) {
  int32_t size[2];
  web_js_fit(size);
  if (size[0] <= 0 || size[1] <= 0) return;
  if (size[0] != laid_canvas_w || size[1] != laid_canvas_h ||
      width != laid_frame_w || height != laid_frame_h) {
    present_scale_layout(&layout, width, height, size[0], size[1], 0);
    laid_canvas_w = size[0];
    laid_canvas_h = size[1];
    laid_frame_w = width;
    laid_frame_h = height;
    // Black bars where the picture doesn't reach, opaque.
    canvas_pixels.assign((size_t)size[0] * size[1] * 4, 0);
    for (size_t i = 3; i < canvas_pixels.size(); i += 4) canvas_pixels[i] = 255;
  }
  // Bytes in memory order red, green, blue, alpha: ImageData's.
  for (int i = 0; i < 256; i++) {
    lut[i] = (uint32_t)palette[4 * i] | (uint32_t)palette[4 * i + 1] << 8 |
             (uint32_t)palette[4 * i + 2] << 16 | 0xFF000000u;
  }
  const PresentFit &fit = layout.fit;
  const int32_t pitch = laid_canvas_w * 4;
  uint8_t *dest =
      canvas_pixels.data() + (size_t)fit.top * pitch + (size_t)fit.left * 4;
  present_scale_draw(&layout, pixels, width, lut, dest, pitch);
  web_js_put(canvas_pixels.data(), laid_canvas_w, laid_canvas_h);
}

}  // namespace

int web_display_set_mode(int32_t width, int32_t height, int32_t bits) {
  if (bits != 8 || width <= 0 || height <= 0 || width > MAX_MODE_SIDE ||
      height > MAX_MODE_SIDE || !web_window()) {
    return 0;
  }
  mode_set = 1;
  laid_canvas_w = laid_canvas_h = 0;
  return 1;
}

void web_present(const uint8_t *pixels, int32_t pitch, int32_t width,
                 int32_t height, const uint8_t palette[1024]) {
  if (!mode_set || !web_window() || !pixels || !palette || width <= 0 ||
      height <= 0) {
    return;
  }
  last_pixels.resize((size_t)width * height);
  for (int32_t y = 0; y < height; y++) {
    memcpy(&last_pixels[(size_t)y * width], pixels + (ptrdiff_t)y * pitch,
           (size_t)width);
  }
  memcpy(last_palette, palette, sizeof last_palette);
  last_width = width;
  last_height = height;
  web_js_take_resized();
  show(last_pixels.data(), width, height, last_palette);
}

void web_present_again_if_resized(void) {
  if (!web_js_take_resized() || !mode_set || last_width <= 0) return;
  show(last_pixels.data(), last_width, last_height, last_palette);
}

void web_display_close(void) {
  mode_set = 0;
  last_width = last_height = 0;
}
