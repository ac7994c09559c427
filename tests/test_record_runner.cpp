// quillfire-run's key scripts and its built-in player, as a script writer
// meets them.
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
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

}  // namespace
