// quillfire-run's key scripts and its built-in player, as a script writer
// meets them.
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/dik.h"
#include "run/key_script.h"
#include "run/runner.h"
#include "support.h"

namespace {

TEST(KeyScript, LinesBecomeStepsAndMistakesNameTheirLine) {
  std::vector<ScriptStep> steps;
  std::string error;
  ASSERT_EQ(script_parse("# the title\n"
                         "at 1500 down 2   # two players\n"
                         "\n"
                         "at 1600 up space\n"
                         "at 3500 player 2 on\n"
                         "at 4000 shot court-1\n"
                         "at 9000 end\n",
                         &steps, &error),
            1)
      << error;
  ASSERT_EQ(steps.size(), 5u);
  EXPECT_EQ(steps[0].at, 1500u);
  EXPECT_EQ(steps[0].action, SCRIPT_DOWN);
  EXPECT_EQ(steps[0].key, DIK_2);
  EXPECT_EQ(steps[1].action, SCRIPT_UP);
  EXPECT_EQ(steps[1].key, DIK_SPACE);
  EXPECT_EQ(steps[2].action, SCRIPT_PLAYER_ON);
  EXPECT_EQ(steps[2].paddle, 2);
  EXPECT_EQ(steps[3].name, "court-1");
  EXPECT_EQ(steps[4].action, SCRIPT_END);

  const struct {
    const char *text;
    const char *error;
  } refused[] = {
      {"at 10 down F13", "line 1: no key called 'F13'"},
      {"\nat -5 end", "line 2: '-5' is not a time in ms"},
      {"at 10 shot ../x",
       "line 1: a shot's name is letters, digits, '-' and '_'"},
      {"at 10 player 3 on",
       "line 1: expected down KEY, up KEY, shot NAME, end "
       "or player 1|2 on|off"},
      {"down 2", "line 1: expected 'at MS WHAT ...'"},
      {"at 99999999999 end", "line 1: '99999999999' is not a time in ms"},
  };
  for (const auto &r : refused) {
    steps.clear();
    EXPECT_EQ(script_parse(r.text, &steps, &error), 0) << r.text;
    EXPECT_EQ(error, r.error);
  }
}

// Two built-in players keep a rally going: with both paddles following the
// ball, nobody scores for long stretches, while with one of them idle the
// other side scores at once.
TEST(BuiltInPlayer, TwoPlayersReturnTheBall) {
  std::vector<ScriptStep> base;
  std::string error;
  ASSERT_EQ(script_parse("at 1500 down 2\nat 1600 up 2\n"
                         "at 3500 down SPACE\nat 3600 up SPACE\n"
                         "at 3500 player 1 on\n",
                         &base, &error),
            1);
  char dir[] = "/tmp/quillfire-runner-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  auto goals_by = [&](bool both, uint32_t until) {
    RunRequest request;
    request.script = base;
    if (both) request.script.push_back({3500, SCRIPT_PLAYER_ON, 0, 2, ""});
    request.script.push_back({until, SCRIPT_END, 0, 0, ""});
    request.out_dir = dir;
    request.assets_dir = QF_RUN_DIR;
    EXPECT_EQ(runner_run(request), 0);
    std::ifstream log(std::string(dir) + "/frames.log");
    // The most goals shown at once (the end, a close, takes the game back to
    // the title, which clears the scores).
    uint32_t tick;
    int x, y, xv, yv, p1, p2, s1, s2, most = 0;
    while (log >> tick >> x >> y >> xv >> yv >> p1 >> p2 >> s1 >> s2) {
      most = std::max(most, s1 + s2);
    }
    return most;
  };
  EXPECT_EQ(goals_by(true, 30000), 0);
  EXPECT_GE(goals_by(false, 30000), 1);
  std::filesystem::remove_all(dir);
}

// The colours of a file: a PNG's PLTE chunk, or a BMP's table (blue, green,
// red, unused), as red, green, blue bytes.
std::vector<uint8_t> png_colours(const std::string &path) {
  std::ifstream file(path, std::ios::binary);
  const std::string d((std::istreambuf_iterator<char>(file)), {});
  for (size_t at = 8; at + 12 <= d.size();) {
    const uint32_t length =
        (uint32_t)(uint8_t)d[at] << 24 | (uint32_t)(uint8_t)d[at + 1] << 16 |
        (uint32_t)(uint8_t)d[at + 2] << 8 | (uint8_t)d[at + 3];
    if (d.compare(at + 4, 4, "PLTE") == 0) {
      return std::vector<uint8_t>(d.begin() + at + 8,
                                  d.begin() + at + 8 + length);
    }
    at += 12 + length;
  }
  return {};
}

std::vector<uint8_t> bmp_colours(const std::string &path) {
  std::ifstream file(path, std::ios::binary);
  const std::string d((std::istreambuf_iterator<char>(file)), {});
  if (d.size() < 54 + 1024) return {};
  const size_t table = 14 + (uint8_t)d[14];  // after the info header
  std::vector<uint8_t> rgb;
  for (size_t i = 0; i < 256; i++) {
    for (int c : {2, 1, 0}) rgb.push_back((uint8_t)d[table + 4 * i + c]);
  }
  return rgb;
}

// A shot is what the screen showed at its time. The title waits for a key
// without showing new frames: a shot taken then is the title in its own
// colours, not the first frame of the fade that follows the key; one in the
// fade is darker; one after the game ended is refused.
TEST(Shots, AreTheScreenAtTheirTimeAlsoWhileAScreenWaits) {
  std::vector<ScriptStep> script;
  std::string error;
  ASSERT_EQ(script_parse("at 1400 shot title\n"
                         "at 1500 down 1\nat 1600 up 1\n"
                         "at 1700 shot fading\n"
                         "at 2000 end\n"
                         "at 5000 shot late\n",
                         &script, &error),
            1)
      << error;
  char dir[] = "/tmp/quillfire-shots-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  RunRequest request;
  request.script = script;
  request.out_dir = dir;
  request.assets_dir = QF_RUN_DIR;
  EXPECT_EQ(runner_run(request), 1);  // the late shot
  const std::string out = dir;
  const std::vector<uint8_t> title = bmp_colours(QF_RUN_DIR "/TITLE8.BMP");
  ASSERT_EQ(title.size(), 768u);
  const std::vector<uint8_t> shown = png_colours(out + "/title.png");
  ASSERT_FALSE(shown.empty());
  // The PNG lists colours up to the highest index the picture uses.
  ASSERT_LE(shown.size(), title.size());
  EXPECT_TRUE(std::equal(shown.begin(), shown.end(), title.begin()));
  const std::vector<uint8_t> fading = png_colours(out + "/fading.png");
  ASSERT_EQ(fading.size(), shown.size());
  int darker = 0;
  for (size_t i = 0; i < fading.size(); i++) {
    EXPECT_LE(fading[i], shown[i]) << i;
    darker += fading[i] < shown[i];
  }
  EXPECT_GT(darker, 100);
  EXPECT_FALSE(std::filesystem::exists(out + "/late.png"));
  std::filesystem::remove_all(dir);
}

}  // namespace
