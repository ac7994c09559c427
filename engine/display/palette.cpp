// Palette effects and screen transitions.
#include "engine/display/palette.h"

#include <string.h>

#include "engine/clock.h"
#include "engine/display/display.h"
#include "engine/display/lines.h"
#include "engine/random.h"
#include "platform/platform.h"

namespace {

const uint32_t STEP_MS = 12;
const uint32_t BLACK = 0;

// How one channel moves in one step of a palette transition.
enum ChannelRule {
  FADE_3,  // 4 or less -> 0, else down by 3: a slow fade that never quite ends
  DOWN_4,  // down by 4, not below 0
  UP_4,    // up by 4, not above 255
  UP_6     // up by 6, not above 255
};

struct PaletteFade {
  int32_t steps;
  int32_t first_entry;  // entries below it are left alone
  ChannelRule red, green, blue;
};

uint8_t apply(ChannelRule rule, uint8_t c) {
  switch (rule) {
    case FADE_3:
      return c <= 4 ? 0 : (uint8_t)(c - 3);
    case DOWN_4:
      return c < 4 ? 0 : (uint8_t)(c - 4);
    case UP_4:
      return c > 251 ? 255 : (uint8_t)(c + 4);
    case UP_6:
      return c > 249 ? 255 : (uint8_t)(c + 6);
  }
  return c;
}

// A transition is only a way to show the next screen: once the program has
// been asked to end there is no next screen, and it stops at its next step.
bool cut_short() { return plat_close_requested() != 0; }

// Every step of a transition is held 12 ms on the frame clock.
void wait_step() {
  clock_start();
  clock_wait(STEP_MS);
}

// One step of a palette transition: the installed palette moved and put on
// the screen, then held.
void palette_step(const PaletteFade &fade) {
  PALETTEENTRY entries[256];
  palette_save(entries);
  for (int32_t i = fade.first_entry; i < 256; i++) {
    PALETTEENTRY &e = entries[i];
    e.peRed = apply(fade.red, e.peRed);
    e.peGreen = apply(fade.green, e.peGreen);
    e.peBlue = apply(fade.blue, e.peBlue);
  }
  palette_set(entries);
  wait_step();
}

void run_palette_fade(const PaletteFade &fade) {
  for (int32_t step = 0; step < fade.steps && !cut_short(); step++) {
    palette_step(fade);
  }
}

// Pixels written into the primary's memory are not seen by the display layer
// until it is shown again; a drawing transition on the screen shows itself
// after each step so that it is watched as it happens.
void show_if_screen(const uint8_t *start) {
  if (primary_surface && start == primary_surface->pixels) {
    dd_present(primary_surface);
  }
}

void close_columns(uint8_t *start, int32_t pitch, int32_t w, int32_t h) {
  for (int32_t i = 0; i < w / 2 && !cut_short(); i += 2) {
    wait_step();
    vline_clipped(0, h - 1, w - i - 1, BLACK, start, pitch);
    vline_clipped(0, h - 1, i, BLACK, start, pitch);
    vline_clipped(0, h - 1, w - i - 2, BLACK, start, pitch);
    vline_clipped(0, h - 1, i + 1, BLACK, start, pitch);
    show_if_screen(start);
  }
}

void close_rows(uint8_t *start, int32_t pitch, int32_t w, int32_t h) {
  for (int32_t i = 0; i < h / 2 && !cut_short(); i += 2) {
    wait_step();
    hline_clipped(0, w - 1, h - i - 1, BLACK, start, pitch);
    hline_clipped(0, w - 1, i, BLACK, start, pitch);
    hline_clipped(0, w - 1, h - i - 2, BLACK, start, pitch);
    hline_clipped(0, w - 1, i + 1, BLACK, start, pitch);
    show_if_screen(start);
  }
}

// The steps follow the width; the rows wrap round once they meet in the
// middle. A display under 2 rows high has no middle to close towards (and the
// row number would be taken modulo 0), so there nothing is drawn.
void close_both(uint8_t *start, int32_t pitch, int32_t w, int32_t h) {
  if (h / 2 == 0) return;
  for (int32_t i = 0; i < w / 2 && !cut_short(); i += 2) {
    wait_step();
    const int32_t r = i % (h / 2);
    hline_clipped(0, w - 1, h - r - 1, BLACK, start, pitch);
    hline_clipped(0, w - 1, r, BLACK, start, pitch);
    hline_clipped(0, w - 1, h - r - 2, BLACK, start, pitch);
    hline_clipped(0, w - 1, r + 1, BLACK, start, pitch);
    vline_clipped(0, h - 1, w - i - 1, BLACK, start, pitch);
    vline_clipped(0, h - 1, i, BLACK, start, pitch);
    vline_clipped(0, h - 1, w - i - 2, BLACK, start, pitch);
    vline_clipped(0, h - 1, i + 1, BLACK, start, pitch);
    show_if_screen(start);
  }
}

// 4 x w x h + 1 pixels at random, the row drawn first, with no wait between
// them. On the screen the picture is shown now and then as it dissolves.
void scatter(uint8_t *start, int32_t pitch, int32_t w, int32_t h) {
  const int64_t last = 4 * (int64_t)w * h;
  const int64_t show_every = (int64_t)w * h / 8 + 1;
  for (int64_t n = 0; n <= last; n++) {
    const int32_t y = random_next() % h;
    const int32_t x = random_next() % w;
    plot_pixel(x, y, BLACK, start, pitch);
    if (n % show_every == 0) {
      show_if_screen(start);
      if (cut_short()) return;
    }
  }
  show_if_screen(start);
}

}  // namespace

int32_t palette_save(PALETTEENTRY *destination) {
  if (destination) {
    memcpy(destination, display_palette, sizeof display_palette);
  }
  return 1;
}

// Before the display is set up there is no palette object: only the system's
// copy changes, and display_init writes its own over it.
int32_t palette_set(const PALETTEENTRY *source) {
  if (!source) return 1;
  memcpy(display_palette, source, sizeof display_palette);
  if (palette_object) {
    dd_palette_set_entries(palette_object, 0, 256, display_palette);
  }
  return 1;
}

int32_t palette_restore(const PALETTEENTRY *source) {
  if (!source) return 1;
  memcpy(display_palette, source, sizeof display_palette);
  if (palette_object) {
    memcpy(palette_object->entries, display_palette, sizeof display_palette);
  }
  return 1;
}

void screen_transition(int32_t type, uint8_t *start, int32_t pitch) {
  static const PaletteFade DARKEN = {80, 1, FADE_3, FADE_3, FADE_3};
  static const PaletteFade LIGHTEN = {64, 0, UP_4, UP_4, UP_4};
  static const PaletteFade TO_BLUE = {64, 0, DOWN_4, DOWN_4, UP_6};
  static const PaletteFade TO_RED = {64, 0, UP_6, DOWN_4, DOWN_4};
  static const PaletteFade TO_GREEN = {64, 0, DOWN_4, UP_6, DOWN_4};

  const int32_t w = display_width;
  const int32_t h = display_height;
  // The drawing types need a picture and a display with some size to it.
  const bool can_draw = start && w > 0 && h > 0;
  switch (type) {
    case TRANSITION_DARKEN:
      run_palette_fade(DARKEN);
      break;
    case TRANSITION_LIGHTEN:
      run_palette_fade(LIGHTEN);
      break;
    case TRANSITION_TO_BLUE:
      run_palette_fade(TO_BLUE);
      break;
    case TRANSITION_TO_RED:
      run_palette_fade(TO_RED);
      break;
    case TRANSITION_TO_GREEN:
      run_palette_fade(TO_GREEN);
      break;
    case TRANSITION_CLOSE_COLUMNS:
      if (can_draw) close_columns(start, pitch, w, h);
      break;
    case TRANSITION_CLOSE_ROWS:
      if (can_draw) close_rows(start, pitch, w, h);
      break;
    case TRANSITION_CLOSE_BOTH:
      if (can_draw) close_both(start, pitch, w, h);
      break;
    case TRANSITION_SCATTER:
      if (can_draw) scatter(start, pitch, w, h);
      break;
    default:
      break;  // no such transition
  }
}
