// Window sizes and places from rectangles; see window_fit.h.
#include "platform/sdl/window_fit.h"

namespace {

int32_t smaller(int32_t a, int32_t b) { return a < b ? a : b; }

// The room the frame leaves for the inside in `usable`.
FitRect room(const FitBorders &b, const FitRect &usable) {
  return FitRect{usable.x + b.left, usable.y + b.top,
                 usable.w - b.left - b.right, usable.h - b.top - b.bottom};
}

FitRect centred(int32_t w, int32_t h, const FitRect &space) {
  return FitRect{space.x + (space.w - w) / 2, space.y + (space.h - h) / 2, w,
                 h};
}

}  // namespace

int window_fit_inside(const FitRect &inside, const FitBorders &b,
                      const FitRect *usable, int32_t count) {
  const FitRect frame = {inside.x - b.left, inside.y - b.top,
                         inside.w + b.left + b.right,
                         inside.h + b.top + b.bottom};
  for (int32_t i = 0; i < count; i++) {
    const FitRect &u = usable[i];
    if (frame.x >= u.x && frame.y >= u.y && frame.x + frame.w <= u.x + u.w &&
        frame.y + frame.h <= u.y + u.h) {
      return 1;
    }
  }
  return 0;
}

FitRect window_fit(const FitRect *kept, const FitBorders &borders,
                   const FitRect *usable, int32_t count, int32_t home,
                   int32_t frame_w, int32_t frame_h) {
  if (kept && kept->w > 0 && kept->h > 0 &&
      window_fit_inside(*kept, borders, usable, count)) {
    return *kept;
  }
  const FitRect space = room(borders, usable[home]);
  if (kept && kept->w > 0 && kept->h > 0 && kept->w <= space.w &&
      kept->h <= space.h) {
    return centred(kept->w, kept->h, space);
  }
  const int32_t k = smaller(space.w / frame_w, space.h / frame_h);
  if (k >= 1) return centred(frame_w * k, frame_h * k, space);
  const FitRect least =
      window_fit_minimum(borders, usable[home], frame_w, frame_h);
  return centred(least.w, least.h, space);
}

FitRect window_fit_minimum(const FitBorders &borders, const FitRect &usable,
                           int32_t frame_w, int32_t frame_h) {
  const FitRect space = room(borders, usable);
  FitRect least = {0, 0, smaller(frame_w, space.w), smaller(frame_h, space.h)};
  if (least.w < 1) least.w = 1;
  if (least.h < 1) least.h = 1;
  return least;
}
