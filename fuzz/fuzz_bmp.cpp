// The BMP loader on any bytes, followed by what the scene does with a
// picture: its palette installed, cells cut into BOBs and images, and those
// drawn onto the back buffer.
#include <stddef.h>
#include <stdint.h>

#include "engine/display/bmp.h"
#include "engine/display/bob.h"
#include "engine/display/display.h"
#include "engine/display/image.h"
#include "engine/display/palette.h"
#include "engine/window.h"
#include "fuzz/memory_file.h"
#include "platform/headless/headless.h"

namespace {

intptr_t quiet_window_proc(PlatWindow *window, uint32_t message,
                           uintptr_t wparam, intptr_t lparam) {
  return plat_default_window_proc(window, message, wparam, lparam);
}

// The display stays up for the whole run, as it does in the game. The
// virtual clock never runs out: nothing here waits.
void open_display_once() {
  static bool open = false;
  if (open) return;
  headless_reset();
  headless_set_time_limit(UINT64_MAX);
  plat_init();
  main_window = plat_window_create("fuzz", 0, 0, 640, 480, quiet_window_proc);
  if (!main_window || !display_init(640, 480, 8)) abort();
  open = true;
}

// A sprite cut from cell (cx, cy) the way the scene cuts the ball and the
// paddles, drawn at a spot that also reaches past the screen's edge.
void cut_bob(const BitmapFile *bitmap, int32_t width, int32_t height,
             int32_t cx, int32_t cy, int32_t mode) {
  BOB bob = {};
  if (bob_create(&bob, 0, 0, width, height, 1, BOB_SHOWN, 0)) {
    if (bob_load_frame(&bob, bitmap, 0, cx, cy, mode)) {
      bob_draw(&bob, back_surface);
      bob_set_position(&bob, 635, 475);
      bob_draw(&bob, back_surface);
    }
  }
  bob_destroy(&bob);
}

void cut_image(const BitmapFile *bitmap, int32_t width, int32_t height,
               int32_t cx, int32_t cy, int32_t mode) {
  // A full-screen image is costly to make: made only when the picture holds
  // the cell, so that the fuzzer spends its time on the loader.
  if (!bmp_cell(bitmap, width, height, cx, cy, mode)) return;
  BitmapImage image = {};
  if (image_create(&image, 0, 0, width, height)) {
    // Drawn only when loaded: a blank image draws nothing worth the time.
    if (image_load(&image, bitmap, cx, cy, mode)) {
      lock_back();
      if (back_lock_ptr) image_draw(&image, back_lock_ptr, back_lock_pitch, 0);
      unlock_back();
    }
  }
  image_destroy(&image);
}

MemoryFile input;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  open_display_once();
  BitmapFile bitmap = {};
  if (!bmp_load(&bitmap, memory_file_hold(&input, data, size))) {
    bmp_unload(&bitmap);
    return 0;
  }
  palette_set(bitmap.palette);
  // The scene's own cuts: ball, both paddles, background and title.
  cut_bob(&bitmap, 11, 11, 0, 0, 0);
  cut_bob(&bitmap, 66, 8, 0, 0, 0);
  cut_bob(&bitmap, 65, 8, 0, 1, 0);
  cut_image(&bitmap, 639, 479, 0, 0, 0);
  cut_image(&bitmap, 619, 459, 0, 0, 0);
  // And cuts sized by the picture itself: the whole of it, and cells one
  // step in, in pixel mode and in cell mode.
  const int32_t w = bitmap.info_header.biWidth, h = bitmap.info_header.biHeight;
  cut_image(&bitmap, w, h, 0, 0, 1);
  cut_bob(&bitmap, w / 2, h / 2, 1, 1, 0);
  cut_image(&bitmap, w / 3, h / 3, 1, 1, 1);
  bmp_unload(&bitmap);
  return 0;
}
