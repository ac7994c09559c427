// The command line as the player types it: what each form asks for, and the
// one-line complaint for each kind of mistake.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/command_line.h"

namespace {

// Parses the arguments into a record that starts with leftovers (parse must
// start afresh) and says what was asked for: the fields that are set, in the
// record's order, or "refused: " and the complaint.
std::string asked(std::vector<const char *> args) {
  args.insert(args.begin(), "quillfire");
  LaunchOptions o;
  o.no_sound = 7;
  o.host = "left over";
  std::string error;
  if (!command_line_parse((int)args.size(), args.data(), &o, &error)) {
    return "refused: " + error;
  }
  // A flag set to anything but 1 shows its value.
  std::string said;
  auto add = [&](int set, const std::string &what) {
    if (!set) return;
    said += (said.empty() ? "" : " ") + what;
    if (set != 1) said += "=" + std::to_string(set);
  };
  add(o.show_help, "help");
  add(o.show_version, "version");
  add(!o.data_dir.empty(), "data=" + o.data_dir);
  add(o.no_sound, "nosound");
  add(o.window, "window");
  add(o.fullscreen, "fullscreen");
  add(o.integer_scale, "integer");
  add(o.scale_given, "scale-given");
  add(o.no_config, "no-config");
  add(o.demo != 0, "demo" + std::to_string(o.demo) + "=" + o.demo_file);
  add(!o.host.empty(), "host=" + o.host);
  add(!o.join.empty(), "join=" + o.join);
  add(!o.watch.empty(), "watch=" + o.watch);
  add(o.input_delay != 0, "input-delay=" + std::to_string(o.input_delay));
  return said;
}

TEST(CommandLine, EachFormAsksForWhatItSaysOrIsRefusedWithOneLine) {
  const struct {
    std::vector<const char *> args;
    const char *asked;
  } cases[] = {
      {{}, ""},
      {{"-h"}, "help"},
      {{"--help"}, "help"},
      {{"--version"}, "version"},
      {{"--nosound"}, "nosound"},
      {{"--data", "/tmp/a b"}, "data=/tmp/a b"},
      {{"--data=/tmp/x"}, "data=/tmp/x"},
      // A value that looks like an option is still the value.
      {{"--data", "--nosound"}, "data=--nosound"},
      {{"--data=x=y"}, "data=x=y"},
      {{"--data", "a", "--data", "b"}, "data=b"},
      {{"-w"}, "window"},
      {{"--window", "--fullscreen"}, "fullscreen"},
      {{"-fw"}, "window"},
      {{"--fullscreen", "-h", "--nosound"}, "help nosound fullscreen"},
      {{"--nosound", "--"}, "nosound"},
      {{"--scale", "integer"}, "integer scale-given"},
      {{"--scale=integer", "-w"}, "window integer scale-given"},
      {{"--scale=integer", "--scale=sharp"}, "scale-given"},
      {{"--no-config", "-f"}, "fullscreen no-config"},
      // Recordings: the last of --record, --replay and --timedemo wins.
      {{"--record", "a.qfrec"}, "demo1=a.qfrec"},
      {{"--replay=b.qfrec", "--nosound"}, "nosound demo2=b.qfrec"},
      {{"--timedemo", "c"}, "demo3=c"},
      {{"--record", "a", "--timedemo", "c"}, "demo3=c"},
      // Every way of network play may record; the ways take their values.
      {{"--host", "127.0.0.1:7373", "--record=m.qfr"},
       "demo1=m.qfr host=127.0.0.1:7373"},
      {{"--join=box", "--record", "j.qfr"}, "demo1=j.qfr join=box"},
      {{"--record", "w.qfr", "--watch", "box"}, "demo1=w.qfr watch=box"},
      {{"--join=box"}, "join=box"},
      {{"--watch=box:7000"}, "watch=box:7000"},
      {{"--join=box", "--input-delay", "4"}, "join=box input-delay=4"},
      {{"--host=7000", "--input-delay=0"}, "host=7000"},
      {{"--bogus"}, "refused: unknown option '--bogus'"},
      {{"--bogus=1"}, "refused: unknown option '--bogus'"},
      {{"-x"}, "refused: unknown option '-x'"},
      {{"-wx"}, "refused: unknown option '-x'"},
      {{"--hel"}, "refused: unknown option '--hel'"},
      {{"---help"}, "refused: unknown option '---help'"},
      {{"--NOSOUND"}, "refused: unknown option '--NOSOUND'"},
      {{"level2"}, "refused: unexpected argument 'level2'"},
      {{"-"}, "refused: unexpected argument '-'"},
      {{"--nosound", "extra"}, "refused: unexpected argument 'extra'"},
      {{"--", "--help"}, "refused: unexpected argument '--help'"},
      {{"--data"}, "refused: option '--data' requires a value"},
      {{"--data="}, "refused: invalid value '' for --data"},
      {{"--data", ""}, "refused: invalid value '' for --data"},
      {{"--help=yes"}, "refused: option '--help' doesn't allow a value"},
      {{"--nosound="}, "refused: option '--nosound' doesn't allow a value"},
      {{"--replay"}, "refused: option '--replay' requires a value"},
      {{"--record="}, "refused: invalid value '' for --record"},
      {{"--scale=Integer"}, "refused: invalid value 'Integer' for --scale"},
      {{"--scale", "2"}, "refused: invalid value '2' for --scale"},
      {{"--scale"}, "refused: option '--scale' requires a value"},
      {{"--host", ""}, "refused: invalid value '' for --host"},
      {{"--input-delay", "5"}, "refused: invalid value '5' for --input-delay"},
      {{"--input-delay=-1"}, "refused: invalid value '-1' for --input-delay"},
      {{"--input-delay", "12"},
       "refused: invalid value '12' for --input-delay"},
      {{"--join", "a", "--watch", "b"},
       "refused: --join and --watch can't be used together"},
      {{"--host", "1", "--join", "a"},
       "refused: --host and --join can't be used together"},
      {{"--join", "a", "--timedemo", "f"},
       "refused: --join and --timedemo can't be used together"},
      {{"--host", "1", "--replay", "g"},
       "refused: --host and --replay can't be used together"},
  };
  for (const auto &c : cases) {
    std::string joined;
    for (const char *a : c.args) joined += std::string(a) + " ";
    EXPECT_EQ(asked(c.args), c.asked) << joined;
  }
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
      "      --scale MODE ",
      "      --no-config ",
      "      --record FILE ",
      "      --host [ADDR:]PORT  ",
      "      --join HOST[:PORT]  ",
      "      --watch HOST[:PORT] ",
      "      --input-delay N ",
  };
  for (const char *line : lines) {
    EXPECT_NE(usage.find(std::string("\n") + line), std::string::npos) << line;
  }
  EXPECT_EQ(usage.rfind("Usage: quillfire [OPTION]...\n", 0), 0u);
  EXPECT_EQ(usage.back(), '\n');
}

// A terminal of 80 columns shows the help unwrapped, each option's text
// starting in one column, and it points to the keys and the manual.
TEST(CommandLine, UsageFitsEightyColumnsInOneAlignedColumn) {
  const std::string usage = command_line_usage();
  size_t help_column = 0;
  int option_lines = 0;
  size_t start = 0;
  while (start < usage.size()) {
    const size_t end = usage.find('\n', start);
    const std::string line = usage.substr(start, end - start);
    start = end + 1;
    EXPECT_LE(line.size(), 80u) << line;
    if (line.rfind("  -", 0) != 0 && line.rfind("      --", 0) != 0) continue;
    ++option_lines;
    // The help starts after the first run of two or more spaces past the
    // option's name.
    const size_t gap = line.find("  ", line.find("--"));
    ASSERT_NE(gap, std::string::npos) << line;
    const size_t column = line.find_first_not_of(' ', gap);
    if (help_column == 0) help_column = column;
    EXPECT_EQ(column, help_column) << line;
  }
  EXPECT_GE(option_lines, 13);
  for (const char *named : {"Space", "F11", "Esc", "man 6 quillfire"}) {
    EXPECT_NE(usage.find(named), std::string::npos) << named;
  }
}

TEST(CommandLine, RefusalIsTheComplaintAndWhereToLookOnTwoLines) {
  EXPECT_EQ(command_line_refusal("unknown option '--bogus'"),
            "quillfire: unknown option '--bogus'\n"
            "Try 'quillfire --help'.\n");
}

// Addresses and ports are refused while the command line is read, with a
// complaint that names the address given, or the port and its range.
TEST(CommandLine, NetworkValuesThatCantBeUsedAreRefused) {
  const struct {
    std::vector<const char *> args;
    const char *named;
  } refused[] = {
      {{"--host", "127.0.0.1:70000"}, "port 70000 out of range (1 to 65535)"},
      {{"--host=box:port"}, "port 'port' is not a number"},
      {{"--join", "box:0"}, "port 0 out of range (1 to 65535)"},
      {{"--host", "0"}, "port 0 out of range (1 to 65535)"},
      {{"--join", ":7373"}, ":7373"},
      {{"--watch", ":::"}, ":::"},
      {{"--watch=[::1"}, "[::1"},
      {{"--watch", "box:65536"}, "port 65536 out of range (1 to 65535)"},
  };
  for (const auto &c : refused) {
    const std::string said = asked(c.args);
    EXPECT_EQ(said.rfind("refused: ", 0), 0u) << c.named << ": " << said;
    EXPECT_NE(said.find(c.named), std::string::npos) << said;
  }
  const struct {
    std::vector<const char *> args;
    const char *asked;
  } taken[] = {
      {{"--host", "65535"}, "host=65535"},
      {{"--host", "[::1]:7373"}, "host=[::1]:7373"},
      {{"--join", "box:1"}, "join=box:1"},
      {{"--watch", "[::1]"}, "watch=[::1]"},
  };
  for (const auto &c : taken) EXPECT_EQ(asked(c.args), c.asked) << c.asked;
}

}  // namespace
