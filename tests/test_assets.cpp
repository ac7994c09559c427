// The generated pictures and sounds, read here with a reader of our own (not
// the game's loader), and the screenshot tool's PNG writer and key script.
#include <string.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "screenshot/capture.h"
#include "screenshot/png_write.h"
#include "support.h"
#include "wav_files.h"

namespace {

typedef std::vector<uint8_t> Bytes;

Bytes read_file(const std::string &name) {
  std::ifstream in(std::string(QF_RUN_DIR) + "/" + name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

uint32_t u16(const Bytes &d, size_t at) {
  return d[at] | (uint32_t)d[at + 1] << 8;
}
uint32_t u32(const Bytes &d, size_t at) {
  return u16(d, at) | u16(d, at + 2) << 16;
}
uint32_t u32be(const uint8_t *p) {
  return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 |
         p[3];
}

// Red, green, blue of 4-byte palette entries whose red is at `red_at` (0 in
// the screen's order, 2 in a BMP's), without the fourth byte.
Bytes rgb_of(const uint8_t *quads, int entries, int red_at) {
  Bytes rgb;
  for (const uint8_t *q = quads; q < quads + 4 * entries; q += 4) {
    rgb.insert(rgb.end(), {q[red_at], q[1], q[2 - red_at]});
  }
  return rgb;
}

float luma(const Bytes &rgb, int i) {
  return 0.299f * rgb[3 * i] + 0.587f * rgb[3 * i + 1] +
         0.114f * rgb[3 * i + 2];
}

struct Picture {
  int32_t width = 0, height = 0;
  Bytes palette;  // red, green, blue of 256 entries
  Bytes pixels;   // as stored: bottom row first
  // Throws rather than read past the pixels when a picture is too small.
  int at(int32_t x, int32_t y) const {
    return pixels.at((size_t)(height - 1 - y) * width + x);
  }
};

// Checks the form the game's loader needs (it takes the pixels to be the last
// biSizeImage bytes, rows packed with no filler, bottom row first) and reads
// the picture.
void load_bmp(const std::string &name, Picture *p) {
  SCOPED_TRACE(name);
  const Bytes f = read_file(name);
  ASSERT_GE(f.size(), 54u + 1024u) << "missing or short";
  EXPECT_TRUE(f[0] == 'B' && f[1] == 'M');
  EXPECT_EQ(u32(f, 2), f.size()) << "file size";
  EXPECT_EQ(u32(f, 14), 40u) << "info header size";
  p->width = (int32_t)u32(f, 18);
  p->height = (int32_t)u32(f, 22);
  ASSERT_GT(p->width, 0);
  ASSERT_GT(p->height, 0) << "rows must be stored bottom-up";
  ASSERT_EQ(u16(f, 28), 8u) << "bits per pixel";
  EXPECT_EQ(u32(f, 30), 0u) << "compressed";
  EXPECT_EQ(p->width % 4, 0) << "rows would need filler bytes";
  const uint32_t image_bytes = u32(f, 34);
  ASSERT_EQ(image_bytes, (uint32_t)p->width * (uint32_t)p->height);
  ASSERT_EQ(u32(f, 10) + image_bytes, f.size()) << "pixels not at the end";
  p->palette = rgb_of(&f[54], 256, 2);
  p->pixels.assign(f.end() - image_bytes, f.end());
}

// How many pixels of the w by h region at (x, y) hold index 0, transparent.
int zeros_in(const Picture &p, int32_t x, int32_t y, int32_t w, int32_t h) {
  int n = 0;
  for (int32_t j = y; j < y + h; j++) {
    for (int32_t i = x; i < x + w; i++) n += p.at(i, j) == 0;
  }
  return n;
}

// How many pixels of a shot from (sx, sy) equal those of a picture from
// (px, py), over w by h.
int matching(const Shot &shot, int32_t sx, int32_t sy, const Picture &p,
             int32_t px, int32_t py, int32_t w, int32_t h) {
  int n = 0;
  for (int32_t j = 0; j < h; j++) {
    for (int32_t i = 0; i < w; i++) {
      n += shot.pixels[(size_t)(sy + j) * shot.width + sx + i] ==
           p.at(px + i, py + j);
    }
  }
  return n;
}

class AssetPictures : public ::testing::Test {
 protected:
  void SetUp() override {
    load_bmp("BALL3D8BIG.BMP", &ball);
    load_bmp("PADDLES3D8.BMP", &paddles);
    load_bmp("BACK8.BMP", &back);
    load_bmp("TITLE8.BMP", &title);
  }
  Picture ball, paddles, back, title;
};

// Every cell the game cuts is framed by lines of index 0 (below and right
// too where the cell is closed). Index 0 is transparent: around a shape it
// lets the court show, inside one it would be a hole. A sprite shows its
// cell less the last column and row; paddle 1's cell is 66 wide, its last
// column the line on paddle 2's left.
TEST_F(AssetPictures, CellsAreFramedAndSpritesWholeShapesInOnePalette) {
  const struct {
    const Picture *p;
    int32_t x, y, w, h;
    bool closed;
    int32_t shown_w, shown_h;  // 0 for a picture that is no sprite
  } cells[] = {{&ball, 1, 1, 11, 11, true, 10, 10},
               {&paddles, 1, 1, 65, 8, true, 65, 7},
               {&paddles, 67, 1, 65, 8, true, 64, 7},
               {&back, 1, 1, 639, 479, false, 0, 0},
               {&title, 1, 1, 619, 459, false, 0, 0}};
  for (const auto &c : cells) {
    SCOPED_TRACE(testing::Message()
                 << "cell at x " << c.x << ", " << c.w << " wide");
    ASSERT_GE(c.p->width, c.x + c.w + c.closed);
    ASSERT_GE(c.p->height, c.y + c.h + c.closed);
    // The lines are the region round the cell less the cell.
    EXPECT_EQ(zeros_in(*c.p, c.x - 1, c.y - 1, c.w + 1 + c.closed,
                       c.h + 1 + c.closed),
              zeros_in(*c.p, c.x, c.y, c.w, c.h))
        << "a gap in the lines round the cell";
    if (!c.shown_w) continue;
    // The shape spans the part shown, and has no holes.
    EXPECT_EQ(zeros_in(*c.p, c.x, c.y + c.shown_h / 2, c.shown_w, 1), 0)
        << "middle row";
    EXPECT_EQ(zeros_in(*c.p, c.x + c.shown_w / 2, c.y, 1, c.shown_h), 0)
        << "middle column";
    for (int32_t j = c.y; j < c.y + c.shown_h; j++) {
      int32_t first = c.x + c.shown_w, last = first - 1;
      for (int32_t i = c.x; i < c.x + c.shown_w; i++) {
        if (c.p->at(i, j)) first = std::min(first, i), last = i;
      }
      EXPECT_EQ(zeros_in(*c.p, first, j, last - first + 1, 1), 0)
          << "hole in row " << j;
    }
  }
  for (int32_t x : {1, 10}) {
    for (int32_t y : {1, 10}) EXPECT_EQ(ball.at(x, y), 0) << "ball corner";
  }
  // Only the ball's palette is installed; the others must show the same.
  EXPECT_EQ(paddles.palette, ball.palette);
  EXPECT_EQ(back.palette, ball.palette);
  EXPECT_EQ(title.palette, ball.palette);
}

TEST_F(AssetPictures, PaletteHasBlackAtZeroWhiteAndTextReadableOnTheCourt) {
  const Bytes &pal = ball.palette;
  EXPECT_EQ(luma(pal, 0), 0.0f);
  bool white = false;
  for (int i = 0; i < 256; i++) {
    white |= Bytes(&pal[3 * i], &pal[3 * i + 3]) == Bytes(3, 255);
  }
  EXPECT_TRUE(white) << "the score lines are drawn in pure white";
  // Messages in colour 144 at (230..370, 235..247), score lines in white at
  // y 1..12; screen (x, y) shows pixel (x + 1, y + 1) of the court's file.
  const float message = luma(pal, 144);
  EXPECT_GT(message, 150.0f);
  for (int32_t y = 235; y < 247; y++) {
    for (int32_t x = 230; x < 370; x++) {
      EXPECT_LT(luma(pal, back.at(x + 1, y + 1)), message - 80.0f)
          << "message hard to read at (" << x << ", " << y << ")";
    }
  }
  for (int32_t y = 1; y < 12; y++) {
    for (int32_t x : {20, 60, 100, 545, 580, 619}) {
      EXPECT_LT(luma(pal, back.at(x + 1, y + 1)), 110.0f)
          << "score hard to read at (" << x << ", " << y << ")";
    }
  }
}

TEST(AssetSounds, AreEightBitMonoPcmOfSaneLengthAndUnclipped) {
  // After "RIFF" and its size: a 16-byte PCM format chunk (tag 1, 1 channel,
  // 11025 samples and bytes a second, 1-byte blocks of 8 bits), then data.
  const std::string form = "WAVE" + chunk("fmt ", format16(1, 11025)) + "data";
  for (const char *name :
       {"BOING.WAV", "BUZZER.WAV", "SPIKE.WAV", "FIRE.WAV"}) {
    SCOPED_TRACE(name);
    const Bytes f = read_file(name);
    ASSERT_GE(f.size(), 44u) << "missing or short";
    EXPECT_EQ(memcmp(f.data(), "RIFF", 4), 0);
    EXPECT_EQ(u32(f, 4), f.size() - 8);
    ASSERT_EQ(std::string(f.begin() + 8, f.begin() + 40), form);
    const uint32_t size = u32(f, 40);
    ASSERT_EQ(44u + size + (size & 1), f.size()) << "odd chunks get a pad";
    const Bytes samples(f.begin() + 44, f.begin() + 44 + size);
    EXPECT_GE(samples.size(), 11025u / 20) << "shorter than 0.05 s";
    EXPECT_LE(samples.size(), 11025u * 3 / 2) << "longer than 1.5 s";
    int peak = 0;
    for (uint8_t v : samples) peak = std::max(peak, std::abs(v - 128));
    EXPECT_GE(peak, 60) << "hardly audible";
    EXPECT_LE(peak, 110) << "too loud: it would clip when mixed";
    // A jump from or to silence is heard as a click.
    EXPECT_LE(std::abs(samples.front() - 128), 2);
    EXPECT_LE(std::abs(samples.back() - 128), 2);
  }
}

TEST(ScreenshotPng, ReadsBackAsThePaletteIndicesAndColours) {
  const int32_t w = 7, h = 3;
  uint8_t pixels[w * h], palette[1024];
  for (int i = 0; i < w * h; i++) pixels[i] = (uint8_t)(i * 9 % 200);
  pixels[4] = 200;  // the highest index used
  for (int i = 0; i < 1024; i++) palette[i] = (uint8_t)(i * 7 + 3);
  const Bytes f = png_encode_indexed(pixels, w, h, palette);

  ASSERT_GE(f.size(), 8u);
  EXPECT_EQ(std::string(f.begin(), f.begin() + 8), "\x89PNG\r\n\x1A\n");
  std::string order;
  Bytes plte, idat;
  size_t at = 8;
  while (at + 12 <= f.size()) {
    const uint32_t length = u32be(&f[at]);
    ASSERT_LE(at + 12 + length, f.size());
    const std::string type((const char *)&f[at + 4], 4);
    const uint8_t *data = &f[at + 8];
    EXPECT_EQ(u32be(data + length), crc32(0L, &f[at + 4], length + 4)) << type;
    if (type == "IHDR") {
      // Size, 8 bits of palette index, deflate, no interlace.
      EXPECT_EQ(Bytes(data, data + 13),
                Bytes({0, 0, 0, w, 0, 0, 0, h, 8, 3, 0, 0, 0}));
    }
    if (type == "PLTE") plte.assign(data, data + length);
    if (type == "IDAT") idat.insert(idat.end(), data, data + length);
    order += type;
    at += 12 + length;
  }
  EXPECT_EQ(at, f.size());
  EXPECT_EQ(order, "IHDRPLTEIDATIEND");
  // Colours up to the highest index used; each row after a filter byte of 0.
  EXPECT_EQ(plte, rgb_of(palette, 201, 0));
  Bytes rows((w + 1) * h + 1), want;
  uLongf size = (uLongf)rows.size();
  ASSERT_EQ(uncompress(rows.data(), &size, idat.data(), idat.size()), Z_OK);
  rows.resize(size);
  for (int32_t y = 0; y < h; y++) {
    want.push_back(0);
    want.insert(want.end(), pixels + y * w, pixels + (y + 1) * w);
  }
  EXPECT_EQ(rows, want);

  EXPECT_TRUE(png_encode_indexed(pixels, 0, h, palette).empty());
  EXPECT_TRUE(png_encode_indexed(nullptr, w, h, palette).empty());
}

TEST_F(AssetPictures, ScreenshotScriptKeepsTheTitleAndAServedRallyThenQuits) {
  reset_everything();
  const Capture c = capture_run(QF_RUN_DIR);
  reset_everything();
  ASSERT_EQ(c.ended, 1) << "the script did not end the game";
  EXPECT_EQ(c.exit_status, 0);
  ASSERT_EQ(c.title_taken, 1);
  ASSERT_EQ(c.court_taken, 1);
  ASSERT_EQ(c.title.pixels.size(), (size_t)640 * 480);
  ASSERT_EQ(c.court.pixels.size(), (size_t)640 * 480);
  // The title picture whole at (20, 20) in the palette's full colours: not a
  // frame of a fade, not the loading screen.
  EXPECT_EQ(matching(c.title, 20, 20, title, 1, 1, 619, 459), 619 * 459);
  EXPECT_EQ(rgb_of(c.title.palette, 256, 0), ball.palette);
  EXPECT_EQ(rgb_of(c.court.palette, 256, 0), ball.palette);
  // The court in play: mostly the background, and the serve prompt (colour
  // 144) gone.
  EXPECT_GT(matching(c.court, 0, 0, back, 1, 1, 639, 479), 639 * 479 * 9 / 10);
  EXPECT_EQ(std::count(c.court.pixels.begin(), c.court.pixels.end(), 144), 0);
}

}  // namespace
