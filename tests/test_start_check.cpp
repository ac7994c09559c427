// The start-up checks on a copy of the generated files, damaged one way at a
// time: each damage is named, and intact files pass.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "engine/display/bmp.h"
#include "engine/sound/wav.h"
#include "game/start_check.h"
#include "wav_files.h"

namespace fs = std::filesystem;

namespace {

// An uncompressed bottom-up BMP of the given size and depth: the 14 and 40
// byte headers, a colour table for 8 bits (all 256 colours unless told),
// rows padded to 4 bytes.
std::string bmp_file(int32_t width, int32_t height, int bits,
                     uint32_t colours = 256) {
  const uint32_t row = (width * (bits / 8) + 3) / 4 * 4, pixels = row * height;
  const uint32_t table = bits == 8 ? 4 * colours : 0, offset = 54 + table;
  return "BM" + le32(offset + pixels) + le32(0) + le32(offset) + le32(40) +
         le32(width) + le32(height) + le16(1) + le16(bits) + le32(0) +
         le32(pixels) + le32(0) + le32(0) + le32(colours == 256 ? 0 : colours) +
         le32(0) + std::string(table, '\x40') + std::string(pixels, '\x01');
}

class StartCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qf_check_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder = pattern;
    for (const auto &entry : fs::directory_iterator(QF_RUN_DIR)) {
      fs::copy(entry.path(), folder);
    }
  }
  void TearDown() override { fs::remove_all(folder); }

  void replace(const std::string &name, const std::string &bytes) {
    fs::remove_all(folder + "/" + name);
    std::ofstream(folder + "/" + name, std::ios::binary) << bytes;
  }
  std::string contents(const std::string &name) {
    std::ifstream in(folder + "/" + name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
  }
  std::string folder;
};

// Each picture is also tried one pixel short of what its cells need: the
// ball's 11 x 11 cell, both paddle cells side by side, the 639 x 479 court
// and the 619 x 459 title, each inside a 1-pixel frame.
TEST_F(StartCheck, IntactFilesPassAndEachDamagedPictureIsNamedWithWhy) {
  std::string name = "untouched", reason = "untouched";
  EXPECT_EQ(start_check_pictures(folder, &name, &reason), 1);
  EXPECT_EQ(name, "untouched");
  for (const char *sound : {"BOING.WAV", "BUZZER.WAV", "SPIKE.WAV", "FIRE.WAV"})
    EXPECT_EQ(start_check_sound(folder, sound), "") << sound;
  const std::string damaged =
      "damaged, cut short or not an uncompressed BMP picture";
  const struct {
    const char *name;
    int32_t short_width, short_height;
    const char *too_small;
  } pictures[] = {
      {"BALL3D8BIG.BMP", 8, 12,
       "(8 x 12 pixels, where the game needs 12 x 12)"},
      {"PADDLES3D8.BMP", 131, 9,
       "(131 x 9 pixels, where the game needs 132 x 9)"},
      {"BACK8.BMP", 640, 479,
       "(640 x 479 pixels, where the game needs 640 x 480)"},
      {"TITLE8.BMP", 616, 460,
       "(616 x 460 pixels, where the game needs 620 x 460)"},
  };
  for (const auto &p : pictures) {
    const std::string good = contents(p.name);
    const struct {
      std::string bytes;
      std::string reason;
    } damages[] = {
        {"", "empty"},
        {good.substr(0, good.size() / 2), damaged},
        {"BM not a picture at all", damaged},
        {bmp_file(640, 480, 24), "not an 8-bit (256-colour) picture"},
        {bmp_file(p.short_width, p.short_height, 8),
         std::string("too small ") + p.too_small},
    };
    for (const auto &d : damages) {
      SCOPED_TRACE(std::string(p.name) + ": " + d.reason);
      replace(p.name, d.bytes);
      std::string name, reason;
      EXPECT_EQ(start_check_pictures(folder, &name, &reason), 0);
      EXPECT_EQ(name, p.name);
      EXPECT_EQ(reason, d.reason);
    }
    replace(p.name, good);
  }
}

// The ball picture's colours are the game's palette: a short table would
// draw everything past it black. The other pictures' tables are never
// shown.
TEST_F(StartCheck, OnlyTheBallPictureMustHoldEveryColourOfThePalette) {
  const struct {
    const char *name;
    uint32_t colours;
    const char *reason;
  } cases[] = {
      {"BALL3D8BIG.BMP", 1,
       "its colour table holds 1 colour, where the game's palette, taken "
       "from it, needs 256"},
      {"BALL3D8BIG.BMP", 16,
       "its colour table holds 16 colours, where the game's palette, taken "
       "from it, needs 256"},
      {"BALL3D8BIG.BMP", 255,
       "its colour table holds 255 colours, where the game's palette, taken "
       "from it, needs 256"},
      {"BALL3D8BIG.BMP", 256, ""},
      {"PADDLES3D8.BMP", 16, ""},
      {"BACK8.BMP", 1, ""},
  };
  const std::map<std::string, std::pair<int32_t, int32_t>> sizes = {
      {"BALL3D8BIG.BMP", {13, 13}},
      {"PADDLES3D8.BMP", {133, 10}},
      {"BACK8.BMP", {640, 480}}};
  for (const auto &c : cases) {
    SCOPED_TRACE(std::string(c.name) + " with " + std::to_string(c.colours));
    const std::string good = contents(c.name);
    const auto size = sizes.at(c.name);
    replace(c.name, bmp_file(size.first, size.second, 8, c.colours));
    EXPECT_EQ(start_check_picture(folder, c.name), c.reason);
    replace(c.name, good);
  }
}

TEST_F(StartCheck, FilesThatCannotBeOpenedAreNamedByWhy) {
  fs::remove(folder + "/TITLE8.BMP");
  EXPECT_EQ(start_check_picture(folder, "TITLE8.BMP"), "missing");
  fs::create_directory(folder + "/TITLE8.BMP");
  EXPECT_EQ(start_check_picture(folder, "TITLE8.BMP"), "a folder, not a file");
  fs::remove(folder + "/BOING.WAV");
  EXPECT_EQ(start_check_sound(folder, "BOING.WAV"), "missing");
  // A FIFO with no writer would hold any open for reading: the check and
  // the game's own readers refuse it at once.
  fs::remove(folder + "/SPIKE.WAV");
  ASSERT_EQ(mkfifo((folder + "/SPIKE.WAV").c_str(), 0644), 0);
  EXPECT_EQ(start_check_sound(folder, "SPIKE.WAV"), "not a regular file");
  WavData wav;
  EXPECT_EQ(wav_read((folder + "/SPIKE.WAV").c_str(), &wav), 0);
  fs::remove(folder + "/PADDLES3D8.BMP");
  ASSERT_EQ(mkfifo((folder + "/PADDLES3D8.BMP").c_str(), 0644), 0);
  EXPECT_EQ(start_check_picture(folder, "PADDLES3D8.BMP"),
            "not a regular file");
  BitmapFile bitmap = {};
  EXPECT_EQ(bmp_load(&bitmap, (folder + "/PADDLES3D8.BMP").c_str()), 0);
  replace("FIRE.WAV", "RIFF....WAVEjunk");
  EXPECT_EQ(start_check_sound(folder, "FIRE.WAV"),
            "damaged or not a PCM WAVE sound");
  // Permissions bind only a normal user.
  if (geteuid() != 0) {
    fs::permissions(folder + "/BACK8.BMP", fs::perms::none);
    EXPECT_EQ(start_check_picture(folder, "BACK8.BMP"),
              "can't be read: Permission denied");
  }
}

}  // namespace
