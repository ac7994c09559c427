// The command line as the player types it: what each form asks for, and the
// one-line complaint for each kind of mistake.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/command_line.h"

namespace {

int parse(std::vector<const char *> args, LaunchOptions *options,
          std::string *error) {
  args.insert(args.begin(), "quillfire");
  return command_line_parse((int)args.size(), args.data(), options, error);
}

struct Accepted {
  std::vector<const char *> args;
  int help, version, no_sound, window, fullscreen;
  const char *data_dir;
};

TEST(CommandLine, AcceptedFormsFillTheRecord) {
  const Accepted cases[] = {
      {{}, 0, 0, 0, 0, 0, ""},
      {{"-h"}, 1, 0, 0, 0, 0, ""},
      {{"--help"}, 1, 0, 0, 0, 0, ""},
      {{"--version"}, 0, 1, 0, 0, 0, ""},
      {{"--nosound"}, 0, 0, 1, 0, 0, ""},
      {{"--data", "/tmp/a b"}, 0, 0, 0, 0, 0, "/tmp/a b"},
      {{"--data=/tmp/x"}, 0, 0, 0, 0, 0, "/tmp/x"},
      // A value that looks like an option is still the value.
      {{"--data", "--nosound"}, 0, 0, 0, 0, 0, "--nosound"},
      {{"--data=x=y"}, 0, 0, 0, 0, 0, "x=y"},
      {{"--data", "a", "--data", "b"}, 0, 0, 0, 0, 0, "b"},
      {{"-w"}, 0, 0, 0, 1, 0, ""},
      {{"--window", "--fullscreen"}, 0, 0, 0, 0, 1, ""},
      {{"-fw"}, 0, 0, 0, 1, 0, ""},
      {{"--fullscreen", "-h", "--nosound"}, 1, 0, 1, 0, 1, ""},
      {{"--nosound", "--"}, 0, 0, 1, 0, 0, ""},
  };
  for (const Accepted &c : cases) {
    std::string joined;
    for (const char *a : c.args) joined += std::string(a) + " ";
    SCOPED_TRACE(joined);
    LaunchOptions options;
    options.no_sound = 7;  // left over from before: parse starts afresh
    std::string error;
    ASSERT_EQ(parse(c.args, &options, &error), 1) << error;
    EXPECT_EQ(options.show_help, c.help);
    EXPECT_EQ(options.show_version, c.version);
    EXPECT_EQ(options.no_sound, c.no_sound);
    EXPECT_EQ(options.window, c.window);
    EXPECT_EQ(options.fullscreen, c.fullscreen);
    EXPECT_EQ(options.data_dir, c.data_dir);
  }
}

TEST(CommandLine, RecordingOptionsNameTheFileAndTheLastOneWins) {
  const struct {
    std::vector<const char *> args;
    int demo;
    const char *file;
  } cases[] = {
      {{"--record", "a.qfrec"}, DEMO_RECORD, "a.qfrec"},
      {{"--replay=b.qfrec", "--nosound"}, DEMO_REPLAY, "b.qfrec"},
      {{"--timedemo", "c"}, DEMO_TIMEDEMO, "c"},
      {{"--record", "a", "--timedemo", "c"}, DEMO_TIMEDEMO, "c"},
  };
  for (const auto &c : cases) {
    LaunchOptions options;
    std::string error;
    ASSERT_EQ(parse(c.args, &options, &error), 1) << error;
    EXPECT_EQ(options.demo, c.demo);
    EXPECT_EQ(options.demo_file, c.file);
  }
  LaunchOptions options;
  std::string error;
  EXPECT_EQ(parse({"--replay"}, &options, &error), 0);
  EXPECT_EQ(error, "option '--replay' requires a value");
  EXPECT_EQ(parse({"--record="}, &options, &error), 0);
  EXPECT_EQ(error, "invalid value '' for --record");
}

TEST(CommandLine, WaysOfRunningTakeTheirValuesAndHostingMayRecord) {
  LaunchOptions o;
  std::string error;
  ASSERT_EQ(parse({"--host", "127.0.0.1:7373", "--record=m.qfr"}, &o, &error),
            1)
      << error;
  EXPECT_EQ(o.host, "127.0.0.1:7373");
  EXPECT_EQ(o.demo, DEMO_RECORD);
  EXPECT_EQ(o.demo_file, "m.qfr");
  ASSERT_EQ(parse({"--watch=box:7000"}, &o, &error), 1) << error;
  EXPECT_EQ(o.watch, "box:7000");
  EXPECT_EQ(o.host, "");
}

struct Refused {
  std::vector<const char *> args;
  const char *error;
};

TEST(CommandLine, MistakesAreRefusedWithOneLine) {
  const Refused cases[] = {
      {{"--bogus"}, "unknown option '--bogus'"},
      {{"--bogus=1"}, "unknown option '--bogus'"},
      {{"-x"}, "unknown option '-x'"},
      {{"-wx"}, "unknown option '-x'"},
      {{"--hel"}, "unknown option '--hel'"},
      {{"---help"}, "unknown option '---help'"},
      {{"--NOSOUND"}, "unknown option '--NOSOUND'"},
      {{"level2"}, "unexpected argument 'level2'"},
      {{"-"}, "unexpected argument '-'"},
      {{"--nosound", "extra"}, "unexpected argument 'extra'"},
      {{"--", "--help"}, "unexpected argument '--help'"},
      {{"--data"}, "option '--data' requires a value"},
      {{"--data="}, "invalid value '' for --data"},
      {{"--data", ""}, "invalid value '' for --data"},
      {{"--help=yes"}, "option '--help' doesn't allow a value"},
      {{"--nosound="}, "option '--nosound' doesn't allow a value"},
      {{"--host", ""}, "invalid value '' for --host"},
      {{"--join", "a", "--watch", "b"},
       "--join and --watch can't be used together"},
      {{"--host", "1", "--join", "a"},
       "--host and --join can't be used together"},
      {{"--watch", "h", "--record", "f"},
       "--watch and --record can't be used together"},
      {{"--host", "1", "--replay", "g"},
       "--host and --replay can't be used together"},
  };
  for (const Refused &c : cases) {
    SCOPED_TRACE(c.args[0]);
    LaunchOptions options;
    std::string error;
    EXPECT_EQ(parse(c.args, &options, &error), 0);
    EXPECT_EQ(error, c.error);
  }
}

TEST(CommandLine, ScaleIsSharpOrInteger) {
  const struct {
    std::vector<const char *> args;
    int ok, integer_scale;
    const char *error;
  } cases[] = {
      {{}, 1, 0, ""},
      {{"--scale", "integer"}, 1, 1, ""},
      {{"--scale=integer", "-w"}, 1, 1, ""},
      {{"--scale=integer", "--scale=sharp"}, 1, 0, ""},
      {{"--scale=Integer"}, 0, 0, "invalid value 'Integer' for --scale"},
      {{"--scale", "2"}, 0, 0, "invalid value '2' for --scale"},
      {{"--scale"}, 0, 0, "option '--scale' requires a value"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.args.empty() ? "" : c.args.back());
    LaunchOptions options;
    std::string error;
    ASSERT_EQ(parse(c.args, &options, &error), c.ok);
    if (c.ok) {
      EXPECT_EQ(options.integer_scale, c.integer_scale);
    } else {
      EXPECT_EQ(error, c.error);
    }
  }
  EXPECT_NE(command_line_usage().find("\n      --scale MODE "),
            std::string::npos);
}

TEST(CommandLine, UsageNamesEveryOptionOnItsOwnLine) {
  const std::string usage = command_line_usage();
  const char *lines[] = {
      "  -h, --help ",
      "      --version ",
      "      --data DIR ",
      "      --nosound ",
      "  -w, --window ",
      "  -f, --fullscreen ",
      "      --record FILE ",
      "      --host [ADDR:]PORT  ",
      "      --join HOST[:PORT]  ",
      "      --watch HOST[:PORT] ",
  };
  for (const char *line : lines) {
    EXPECT_NE(usage.find(std::string("\n") + line), std::string::npos) << line;
  }
  EXPECT_EQ(usage.rfind("Usage: quillfire [OPTION]...\n", 0), 0u);
  EXPECT_EQ(usage.back(), '\n');
}

}  // namespace
