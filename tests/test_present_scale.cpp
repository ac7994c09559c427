// The scaler that takes the 640 x 480 frame to any window: where the picture
// goes, what it leaves alone, and what each screen pixel is made of.
#include <gtest/gtest.h>
#include <math.h>

#include <algorithm>
#include <tuple>
#include <vector>

#include "platform/sdl/present_scale.h"

namespace {

const uint32_t UNTOUCHED = 0xDEADBEEFu;

struct Target {
  int32_t w, h;
};

// Indices to 0xRRGGBB; index 1 is black, index 2 white.
struct Lut {
  uint32_t table[256];
  Lut() {
    for (int i = 0; i < 256; i++) {
      table[i] = (uint32_t)((i * 97) & 0xFF) << 16 |
                 (uint32_t)((i * 31 + 7) & 0xFF) << 8 | (uint32_t)(255 - i);
    }
    table[1] = 0x000000;
    table[2] = 0xFFFFFF;
  }
};

struct Screen {
  int32_t width;
  std::vector<uint32_t> pixels;
  PresentFit fit;
  uint32_t at(int32_t x, int32_t y) const {
    return pixels[(size_t)y * width + x];
  }
};

// The frame drawn into a screen of `size` that held UNTOUCHED everywhere.
Screen draw(const std::vector<uint8_t> &frame, Target size, int32_t whole_only,
            const Lut &lut = Lut()) {
  PresentScale scale;
  present_scale_layout(&scale, 640, 480, size.w, size.h, whole_only);
  Screen s{size.w, std::vector<uint32_t>((size_t)size.w * size.h, UNTOUCHED),
           scale.fit};
  uint8_t *corner =
      (uint8_t *)(s.pixels.data() + (size_t)scale.fit.top * size.w +
                  scale.fit.left);
  present_scale_draw(&scale, frame.data(), 640, lut.table, corner, size.w * 4);
  return s;
}

std::vector<uint8_t> busy_frame() {
  std::vector<uint8_t> f(640 * 480);
  for (size_t i = 0; i < f.size(); i++) f[i] = (uint8_t)(i * 37 + i / 640 * 11);
  return f;
}

// Single-pixel lines: black and white columns (or rows).
std::vector<uint8_t> lines(bool columns) {
  std::vector<uint8_t> f(640 * 480);
  for (size_t i = 0; i < f.size(); i++) {
    f[i] = 1 + ((columns ? i % 640 : i / 640) & 1);
  }
  return f;
}

// The bars are left as they were and the picture covers all of its place;
// by a whole factor k (0: not whole), each frame pixel is a k x k block of its
// own colour.
TEST(PresentScale, PictureFillsTheLargestFourByThreeRectangleCentred) {
  const struct {
    Target size;
    int32_t whole_only;
    PresentFit fit;
  } cases[] = {
      {{640, 480}, 0, {0, 0, 640, 480, 1}},
      {{800, 600}, 0, {0, 0, 800, 600, 0}},
      {{1024, 768}, 0, {0, 0, 1024, 768, 0}},
      {{1280, 1024}, 0, {0, 32, 1280, 960, 2}},
      {{1366, 768}, 0, {171, 0, 1024, 768, 0}},
      {{1920, 1080}, 0, {240, 0, 1440, 1080, 0}},
      {{2560, 1440}, 0, {320, 0, 1920, 1440, 3}},
      {{1920, 1440}, 0, {0, 0, 1920, 1440, 3}},
      {{768, 1366}, 0, {0, 395, 768, 576, 0}},
      {{1001, 751}, 0, {0, 0, 1001, 751, 0}},  // 750.75 rows, rounded
      {{1366, 768}, 1, {363, 144, 640, 480, 1}},
      {{1920, 1080}, 1, {320, 60, 1280, 960, 2}},
      {{1000, 1000}, 1, {180, 260, 640, 480, 1}},
      {{400, 400}, 1, {0, 50, 400, 300, 0}},
      {{400, 400}, 0, {0, 50, 400, 300, 0}},
      // A window dragged down to almost nothing.
      {{1, 1}, 0, {0, 0, 1, 1, 0}},
      {{2, 1000}, 0, {0, 499, 2, 2, 0}},
  };
  const std::vector<uint8_t> frame = busy_frame();
  const Lut lut;
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message() << c.size.w << "x" << c.size.h
                                    << (c.whole_only ? " whole" : ""));
    const Screen s = draw(frame, c.size, c.whole_only);
    const int32_t k = c.fit.scale;
    const PresentFit &f = s.fit;
    EXPECT_EQ(std::tie(f.left, f.top, f.width, f.height, f.scale),
              std::tie(c.fit.left, c.fit.top, c.fit.width, c.fit.height, k));
    int32_t wrong = 0;
    for (int32_t y = 0; y < c.size.h; y++) {
      for (int32_t x = 0; x < c.size.w; x++) {
        const int32_t fx = x - c.fit.left, fy = y - c.fit.top;
        const uint32_t p = s.at(x, y);
        if (fx < 0 || fx >= c.fit.width || fy < 0 || fy >= c.fit.height) {
          wrong += p != UNTOUCHED;
        } else if (k) {
          wrong += p != lut.table[frame[fy / k * 640 + fx / k]];
        } else {
          wrong += p == UNTOUCHED;
        }
      }
    }
    EXPECT_EQ(wrong, 0);
  }
}

// Reads one line of screen pixels across black and white frame lines: each
// pixel must be the colour of the frame line it is in, or a grey seam between
// that line and the next. Each frame line gets a block of whole pixels, the
// blocks no more than a pixel apart, and covers its share of the screen in all
// (seams split by their grey).
void expect_sharp_line(const std::vector<uint32_t> &line, int32_t frame_lines) {
  std::vector<int32_t> whole(frame_lines, 0);
  std::vector<double> cover(frame_lines, 0.0);
  int32_t at = 0;  // the frame line being read
  auto colour = [](int32_t i) { return i % 2 ? 0xFFFFFFu : 0x000000u; };
  for (size_t p = 0; p < line.size(); p++) {
    const uint32_t c = line[p], grey = c & 0xFF;
    ASSERT_EQ(c, grey * 0x010101u) << "pixel " << p << " is not grey";
    if (c != colour(at)) {
      ASSERT_LT(at + 1, frame_lines) << "pixel " << p << " past the last line";
      at++;
    }
    if (c == colour(at)) {  // whole, or a seam that fell on a pixel's edge
      whole[at]++;
      cover[at] += 1;
    } else {
      // A seam: this line's share is how far the grey is towards its colour.
      const double mine = colour(at) ? grey / 255.0 : 1 - grey / 255.0;
      cover[at - 1] += 1 - mine;
      cover[at] += mine;
    }
  }
  EXPECT_EQ(at, frame_lines - 1) << "the line does not reach the last";
  const double share = (double)line.size() / frame_lines;
  const auto [low, high] = std::minmax_element(whole.begin(), whole.end());
  EXPECT_LE(*high - *low, 1) << "blocks differ by more than a pixel";
  EXPECT_GE(*low, (int32_t)floor(share) - 1);
  double worst = 0;
  for (double c : cover) worst = std::max(worst, fabs(c - share));
  EXPECT_LT(worst, 0.02) << "a frame line covers the wrong share";
}

TEST(PresentScale, BetweenWholeFactorsEachFramePixelIsASharpBlockWithOneSeam) {
  const Target sizes[] = {{800, 600},  {1024, 768}, {1366, 768},  {1920, 1080},
                          {768, 1366}, {1001, 751}, {1300, 1000}, {641, 481}};
  for (int32_t columns = 0; columns < 2; columns++) {
    const std::vector<uint8_t> frame = lines(columns == 1);
    for (const Target &t : sizes) {
      SCOPED_TRACE(testing::Message()
                   << t.w << "x" << t.h << (columns ? " columns" : " rows"));
      const Screen s = draw(frame, t, 0);
      const int32_t across = columns ? s.fit.width : s.fit.height;
      // Every screen line across the frame lines reads the same way.
      const int32_t along = columns ? s.fit.height : s.fit.width;
      for (int32_t k = 0; k < along; k += 97) {
        std::vector<uint32_t> line;
        for (int32_t i = 0; i < across; i++) {
          line.push_back(columns ? s.at(s.fit.left + i, s.fit.top + k)
                                 : s.at(s.fit.left + k, s.fit.top + i));
        }
        expect_sharp_line(line, columns ? 640 : 480);
        if (HasFatalFailure()) return;
      }
    }
  }
}

}  // namespace

// A frame that changed in a few rows is shown by drawing just those rows:
// the screen then equals the whole new frame drawn afresh, and every screen
// row that differs lies within the rows reported drawn (the only ones sent).
TEST(PresentScale, ChangedRowsAloneGiveTheWholeNewPicture) {
  const struct {
    int32_t first, end;
  } changes[] = {{0, 1}, {100, 117}, {239, 241}, {479, 480}};
  for (Target size : {Target{1280, 960}, Target{1366, 768}, Target{1920, 1080},
                      Target{320, 240}}) {
    SCOPED_TRACE(testing::Message() << size.w << "x" << size.h);
    const std::vector<uint8_t> before = busy_frame();
    std::vector<uint8_t> after = before;
    for (auto c : changes) {
      for (int32_t y = c.first; y < c.end; y++) {
        std::fill_n(&after[(size_t)y * 640], 640, (uint8_t)(y % 3 + 1));
      }
    }
    const Screen old = draw(before, size, 0);
    Screen shown = old;
    const Screen expected = draw(after, size, 0);
    PresentScale scale;
    present_scale_layout(&scale, 640, 480, size.w, size.h, 0);
    uint8_t *corner =
        (uint8_t *)(shown.pixels.data() + (size_t)scale.fit.top * size.w +
                    scale.fit.left);
    std::vector<bool> sent((size_t)size.h, false);
    for (auto c : changes) {
      int32_t top, end;
      present_scale_draw_rows(&scale, after.data(), 640, Lut().table, corner,
                              size.w * 4, c.first, c.end, &top, &end);
      ASSERT_LT(top, end);
      for (int32_t y = top; y < end; y++) sent[(size_t)(scale.fit.top + y)] = 1;
    }
    for (int32_t y = 0; y < size.h; y++) {
      for (int32_t x = 0; x < size.w; x++) {
        if (shown.at(x, y) != expected.at(x, y)) {
          FAIL() << "differs at " << x << "," << y;
        }
      }
      if (!sent[(size_t)y]) {
        ASSERT_TRUE(std::equal(&old.pixels[(size_t)y * size.w],
                               &old.pixels[(size_t)(y + 1) * size.w],
                               &expected.pixels[(size_t)y * size.w]))
            << "row " << y << " changed but was not sent";
      }
    }
  }
}
