// Where a window goes on the desktop, worked out from rectangles alone: the
// size and place of a window's inside so that its frame (the window
// manager's title bar and edges) lies within the displays' usable parts.
// No SDL here, so the tests run it with made-up desktops.
#ifndef QUILLFIRE_WINDOW_FIT_H
#define QUILLFIRE_WINDOW_FIT_H

#include <stdint.h>

struct FitRect {
  int32_t x, y, w, h;
};

// The widths of the window manager's frame round a window's inside.
struct FitBorders {
  int32_t top, left, bottom, right;
};

// 1 when the frame round the inside `inside` lies wholly within one of the
// `count` usable rectangles.
int window_fit_inside(const FitRect &inside, const FitBorders &borders,
                      const FitRect *usable, int32_t count);

// The window's inside, called by the SDL backend whenever a window is shown
// (at start, and back from full screen). `kept` (null when there is none):
// where the window was last, taken as it is when its frame fits one of the
// `count` usable rectangles of `usable`; else its size, centred in
// `usable[home]` (the display the window is on), when the frame fits there;
// else the largest whole multiple of frame_w by frame_h whose frame fits
// `usable[home]`, centred; where not even one does, as much of frame_w by
// frame_h as fits.
FitRect window_fit(const FitRect *kept, const FitBorders &borders,
                   const FitRect *usable, int32_t count, int32_t home,
                   int32_t frame_w, int32_t frame_h);

// The smallest inside the window manager is to allow: frame_w by frame_h,
// or what the frame leaves of `usable` where that is smaller.
FitRect window_fit_minimum(const FitBorders &borders, const FitRect &usable,
                           int32_t frame_w, int32_t frame_h);

#endif
