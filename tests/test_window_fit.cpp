// Where the window goes: its inside worked out so that the window manager's
// frame lies on the screen, on the desktops players have.
#include <gtest/gtest.h>

#include <string>

#include "platform/sdl/window_fit.h"

namespace {

// openbox's frame in Xvfb: a 20-pixel title bar, 1-pixel sides, a 5-pixel
// bottom edge.
const FitBorders OPENBOX = {20, 1, 5, 1};
const FitBorders NO_FRAME = {0, 0, 0, 0};

std::string text(const FitRect &r) {
  return std::to_string(r.w) + "x" + std::to_string(r.h) + "+" +
         std::to_string(r.x) + "+" + std::to_string(r.y);
}

TEST(WindowFit, TheFrameLiesOnTheScreenFirstTimeAndWhenComingBack) {
  const FitRect wide[] = {{0, 0, 2560, 1440}};
  const FitRect two[] = {{0, 0, 1920, 1080}, {1920, 0, 2560, 1440}};
  const FitRect laptop[] = {{0, 0, 1366, 736}};  // 1366x768 less a panel
  const FitRect small[] = {{0, 0, 800, 560}};
  const FitRect tiny[] = {{0, 0, 600, 400}};
  const struct {
    const char *what;
    const FitRect *usable;
    int32_t count, home;
    FitBorders borders;
    int32_t kept_x, kept_y, kept_w, kept_h;  // kept_w 0: nothing kept
    const char *want;
  } rows[] = {
      // 1920 x 1440 would leave no room for the title bar.
      {"2560x1440, first", wide, 1, 0, OPENBOX, 0, 0, 0, 0, "1280x960+640+247"},
      {"2560x1440, no frame", wide, 1, 0, NO_FRAME, 0, 0, 0, 0,
       "1920x1440+320+0"},
      {"1920x1080, first", two, 1, 0, OPENBOX, 0, 0, 0, 0, "1280x960+320+67"},
      {"1366x768 less a panel", laptop, 1, 0, OPENBOX, 0, 0, 0, 0,
       "640x480+363+135"},
      {"800x560", small, 1, 0, NO_FRAME, 0, 0, 0, 0, "640x480+80+40"},
      // Smaller than the game's own frame: what the usable part leaves.
      {"600x400", tiny, 1, 0, OPENBOX, 0, 0, 0, 0, "598x375+1+20"},
      {"kept, on the screen", wide, 1, 0, OPENBOX, 301, 220, 1000, 700,
       "1000x700+301+220"},
      {"kept, the frame the whole screen", wide, 1, 0, OPENBOX, 1, 20, 2558,
       1415, "2558x1415+1+20"},
      // Its title bar would be off the top: the same size, centred.
      {"kept, title bar off the top", wide, 1, 0, OPENBOX, 0, 10, 1000, 700,
       "1000x700+780+377"},
      {"kept, off the right", wide, 1, 0, OPENBOX, 2000, 1000, 1000, 700,
       "1000x700+780+377"},
      {"kept, wider than the screen", wide, 1, 0, OPENBOX, 0, 0, 2560, 1400,
       "1280x960+640+247"},
      {"kept, on the second display", two, 2, 1, OPENBOX, 2300, 300, 1280, 960,
       "1280x960+2300+300"},
      {"kept, across both displays", two, 2, 1, OPENBOX, 1500, 100, 1000, 700,
       "1000x700+2700+377"},
  };
  for (const auto &row : rows) {
    const FitRect kept = {row.kept_x, row.kept_y, row.kept_w, row.kept_h};
    const FitRect got = window_fit(row.kept_w ? &kept : nullptr, row.borders,
                                   row.usable, row.count, row.home, 640, 480);
    EXPECT_EQ(text(got), row.want) << row.what;
    EXPECT_TRUE(window_fit_inside(got, row.borders, row.usable, row.count))
        << row.what;
  }
}

TEST(WindowFit, TheMinimumIs640By480OrTheScreenWhereSmaller) {
  EXPECT_EQ(text(window_fit_minimum(OPENBOX, {0, 0, 2560, 1440}, 640, 480)),
            "640x480+0+0");
  EXPECT_EQ(text(window_fit_minimum(OPENBOX, {0, 0, 600, 400}, 640, 480)),
            "598x375+0+0");
  EXPECT_EQ(text(window_fit_minimum(NO_FRAME, {0, 0, 640, 300}, 640, 480)),
            "640x300+0+0");
}

}  // namespace
