// Whole networked matches of the real game: two qf_net_peer processes, each
// one side on the headless platform paced by the real clock with a built-in
// player, the joiner's traffic through the test proxy (qf_net_proxy) with a
// set delay, jitter and loss. What each side measured comes back in its
// report; its recording is replayed alone by quillfire-run.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

extern char **environ;

namespace {

const char *const PEER = QF_NET_PEER;
const char *const PROXY = QF_NET_PROXY;
const char *const RUNNER = QF_RUNNER;
const char *const GAME = QF_GAME;

uint64_t now_ms(void) {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (uint64_t)t.tv_sec * 1000 + t.tv_nsec / 1000000;
}

std::string scratch(const std::string &name) {
  const std::string dir = std::string(QF_TEST_TMP) + "/netplay_proxy";
  mkdir(QF_TEST_TMP, 0755);
  mkdir(dir.c_str(), 0755);
  return dir + "/" + name;
}

// Starts `args` with its standard output and error to `log`.
pid_t spawn(const std::vector<std::string> &args, const std::string &log,
            const std::vector<std::string> &env_extra = {}) {
  std::vector<char *> argv;
  for (const std::string &a : args) argv.push_back((char *)a.c_str());
  argv.push_back(nullptr);
  std::vector<std::string> env_strings(env_extra);
  for (char **e = environ; *e; e++) env_strings.push_back(*e);
  std::vector<char *> envp;
  for (std::string &e : env_strings) envp.push_back((char *)e.c_str());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) !=
      0)
    pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// Waits for `pid` at most `ms`; kills it then. Returns its exit status, or
// -1 when it had to be killed or died of a signal.
int finish(pid_t pid, uint64_t ms) {
  const uint64_t end = now_ms() + ms;
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (now_ms() > end) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    usleep(20000);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string read_all(const std::string &path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A peer's report: "name value..." lines.
std::map<std::string, std::string> report(const std::string &path) {
  std::map<std::string, std::string> values;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    const size_t space = line.find(' ');
    if (space != std::string::npos)
      values[line.substr(0, space)] = line.substr(space + 1);
  }
  return values;
}

double number(std::map<std::string, std::string> &r, const char *name) {
  return atof(r[name].c_str());
}

// The port a program says it listens on, as "...AT<port>" in its log,
// waited for up to 2 s; 0 when it never says.
int port_said(const std::string &log, const std::string &at) {
  for (int i = 0; i < 200; i++) {
    const std::string text = read_all(log);
    const size_t found = text.find(at);
    if (found != std::string::npos)
      return atoi(text.c_str() + found + at.size());
    usleep(10000);
  }
  return 0;
}

// The proxy, listening on a port of its own choice, which it prints.
struct Proxy {
  pid_t pid;
  int port;
  std::string log;
};

Proxy start_proxy(const std::string &name, int target_port, int delay,
                  int jitter, double loss) {
  Proxy p;
  p.log = scratch(name + ".proxy.log");
  p.pid =
      spawn({PROXY, "--listen", "0", "--to",
             "127.0.0.1:" + std::to_string(target_port), "--delay",
             std::to_string(delay), "--jitter", std::to_string(jitter),
             "--loss", std::to_string(loss), "--reorder", "1", "--seed", "7"},
            p.log);
  p.port = port_said(p.log, "127.0.0.1:");
  return p;
}

// One match: the host direct, the joiner through the proxy.
struct Match {
  std::string name;
  Proxy proxy;
  pid_t host, joiner;
  int host_status, joiner_status;
  std::map<std::string, std::string> host_report, joiner_report;
};

Match start_match(const std::string &name, int delay, int jitter, double loss,
                  const std::vector<std::string> &joiner_extra = {},
                  const std::vector<std::string> &env = {}) {
  Match m;
  m.name = name;
  // The host on a port the system picks (a port picked here could be taken
  // meanwhile by any of the other tests' connections); the proxy in front.
  m.host = spawn(
      {PEER, "--host", "127.0.0.1:0", "--report", scratch(name + ".host.txt"),
       "--record", scratch(name + ".host.qfrec"), "--shown",
       scratch(name + ".host.shown"), "--seed", "11"},
      scratch(name + ".host.log"), env);
  const int port =
      port_said(scratch(name + ".host.log"), "hosting at 127.0.0.1:");
  m.proxy = start_proxy(name, port, delay, jitter, loss);
  std::vector<std::string> joiner = {
      PEER,
      "--join",
      "127.0.0.1:" + std::to_string(m.proxy.port),
      "--report",
      scratch(name + ".joiner.txt"),
      "--record",
      scratch(name + ".joiner.qfrec"),
      "--shown",
      scratch(name + ".joiner.shown"),
      "--seed",
      "23"};
  joiner.insert(joiner.end(), joiner_extra.begin(), joiner_extra.end());
  m.joiner = spawn(joiner, scratch(name + ".joiner.log"), env);
  return m;
}

void end_match(Match *m, uint64_t ms) {
  m->host_status = finish(m->host, ms);
  m->joiner_status = finish(m->joiner, 10000);
  kill(m->proxy.pid, SIGTERM);
  finish(m->proxy.pid, 5000);
  m->host_report = report(scratch(m->name + ".host.txt"));
  m->joiner_report = report(scratch(m->name + ".joiner.txt"));
}

// quillfire-run's timedemo of a recording: its exit status and its line;
// its frames.log goes to `out` when given.
int replay(const std::string &recording, std::string *line,
           const std::string &out = "") {
  const std::string log = recording + ".replay.log";
  std::vector<std::string> args = {RUNNER, "--timedemo", recording};
  if (!out.empty()) {
    mkdir(out.c_str(), 0755);
    args.insert(args.end(), {"--out", out});
  }
  const int status = finish(spawn(args, log), 60000);
  *line = read_all(log);
  return status;
}

std::vector<std::string> lines_of(const std::string &path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

// The frames a side showed beside those its recording's replay shows (the
// ball, the paddles and the scores of each). A frame shown on a guess was
// compared by its side with the same tick run on known keys: the same, or
// not (a wrong guess). Every frame shown on known keys, or on a guess that
// proved right, is one the replay shows too, in the same order. A frame
// shown on a guess whose tick never ran again as a frame (a wrong guess
// had hidden a goal) is rare.
void expect_shown_as_replayed(const std::string &shown_path,
                              const std::string &frames_log) {
  struct Shown {
    uint32_t tick;
    std::string state;
    int verdict;  // -1 none, 0 wrong, 1 right
    bool guessed;
  };
  std::vector<Shown> shown;
  std::map<uint32_t, int> verdicts;
  for (const std::string &line : lines_of(shown_path)) {
    char *end = nullptr;
    const uint32_t tick = (uint32_t)strtoul(line.c_str() + 2, &end, 10);
    if (line[0] == 'v') {
      verdicts[tick] = atoi(end);
    } else {
      const int guessed = (int)strtol(end, &end, 10);
      shown.push_back({tick, std::string(end + 1), -1, guessed == 1});
    }
  }
  for (Shown &frame : shown)
    if (verdicts.count(frame.tick)) frame.verdict = verdicts[frame.tick];
  std::vector<std::string> replayed;
  for (const std::string &line : lines_of(frames_log))
    replayed.push_back(line.substr(line.find(' ') + 1));  // after the time
  size_t right = 0, wrong = 0, taken_back = 0, next = 0;
  for (size_t i = 0; i < shown.size(); i++) {
    const Shown &frame = shown[i];
    right += frame.verdict == 1;
    wrong += frame.verdict == 0;
    if (frame.verdict == 0) continue;
    if (frame.guessed && frame.verdict == -1) {
      taken_back++;
      continue;
    }
    const size_t from = next;
    while (next < replayed.size() && replayed[next] != frame.state) next++;
    ASSERT_LT(next, replayed.size())
        << "frame " << i << " (tick " << frame.tick << "), shown "
        << (frame.guessed ? "on a right guess" : "on known keys") << ": "
        << frame.state << ", is not among the replay's from frame " << from
        << " on";
    next++;
  }
  printf(
      "%s: %zu frames; on a guess: %zu right, %zu wrong, %zu taken back "
      "whole\n",
      shown_path.c_str(), shown.size(), right, wrong, taken_back);
  // Played on guesses, the other's keys changing every few frames: many
  // wrong, many right; a goal hidden by a wrong guess now and then.
  EXPECT_GT(right, shown.size() / 10);
  EXPECT_GT(wrong, shown.size() / 10);
  EXPECT_LT(taken_back, shown.size() / 20);
}

void print_measures(Match &m) {
  for (auto *side : {&m.host_report, &m.joiner_report}) {
    auto &r = *side;
    const double seconds = number(r, "seconds");
    const double shown = number(r, "shown");
    printf(
        "%s %s: %.0f s, %.0f frames shown, corrections %.0f (%.1f/s, "
        "deepest %.0f), frames run again per frame shown %.2f, CPU per "
        "frame %.3f ms, UDP out %.0f B/s in %.0f B/s, %.0f datagrams/s, "
        "checks compared %.0f\n",
        m.name.c_str(), side == &m.host_report ? "host" : "joiner", seconds,
        shown, number(r, "corrections"), number(r, "corrections") / seconds,
        number(r, "deepest"), number(r, "run_again") / shown,
        number(r, "cpu_seconds") * 1000 / shown,
        number(r, "udp_bytes_out") / seconds,
        number(r, "udp_bytes_in") / seconds,
        number(r, "datagrams_out") / seconds, number(r, "checks_compared"));
  }
  printf("%s proxy: %s", m.name.c_str(), read_all(m.proxy.log).c_str());
  fflush(stdout);
}

TEST(NetplayProxy, WholeMatchesAgreeAtEveryDelay) {
  std::vector<Match> matches;
  matches.push_back(start_match("direct", 0, 0, 0));
  matches.push_back(start_match("delay50", 50, 10, 2));
  matches.push_back(start_match("delay100", 100, 10, 2));
  // A watcher 8 s late through the 50 ms link: the real game on SDL's
  // dummy drivers, which catches up from the start.
  usleep(8000000);
  const std::string config = scratch("config");
  mkdir(config.c_str(), 0755);
  const pid_t watcher =
      spawn({GAME, "--nosound", "--watch",
             "127.0.0.1:" + std::to_string(matches[1].proxy.port), "--record",
             scratch("delay50.watcher.qfrec")},
            scratch("delay50.watcher.log"),
            {"SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy",
             "XDG_CONFIG_HOME=" + config});
  for (Match &m : matches) end_match(&m, 240000);
  // It ends with the host's game, keeping what the host recorded, byte for
  // byte, up to the end (nothing lost as the host closes).
  EXPECT_EQ(finish(watcher, 20000), 0)
      << read_all(scratch("delay50.watcher.log"));
  EXPECT_EQ(read_all(scratch("delay50.watcher.qfrec")),
            read_all(scratch("delay50.host.qfrec")));
  for (Match &m : matches) {
    SCOPED_TRACE(m.name);
    print_measures(m);
    auto &h = m.host_report, &j = m.joiner_report;
    ASSERT_EQ(m.host_status, 0) << read_all(scratch(m.name + ".host.log"));
    ASSERT_EQ(m.joiner_status, 0) << read_all(scratch(m.name + ".joiner.log"));
    EXPECT_EQ(h["out_of_step"], "0");
    EXPECT_EQ(j["out_of_step"], "0");
    // A checkpoint every 10 ticks was compared: far more than one a second.
    EXPECT_GE(number(h, "checks_compared"), number(h, "seconds"));
    EXPECT_GE(number(j, "checks_compared"), number(j, "seconds"));
    // The last confirmed moment is the same on both, the winner at 9: its
    // tenth point ends the match inside that pass.
    EXPECT_EQ(h["score"], j["score"]);
    EXPECT_EQ(h["confirmed_ticks"], j["confirmed_ticks"]);
    int32_t bottom = -1, top = -1;
    sscanf(h["score"].c_str(), "%d %d", &bottom, &top);
    EXPECT_EQ(std::max(bottom, top), 9);
    // Guesses were made and some were wrong: the match was played on
    // rollback, not in lockstep.
    EXPECT_GT(number(h, "corrections") + number(j, "corrections"), 10);
    // Each side's recording replays alone with every checkpoint matching,
    // and holds the frames it showed.
    for (const char *side : {"host", "joiner"}) {
      std::string line;
      const std::string out = scratch(m.name + "." + side + ".replayed");
      EXPECT_EQ(replay(scratch(m.name + "." + side + ".qfrec"), &line, out), 0)
          << side << ": " << line;
      expect_shown_as_replayed(scratch(m.name + "." + side + ".shown"),
                               out + "/frames.log");
      EXPECT_EQ(line.find("cut short"), std::string::npos) << line;
    }
    // Sounds: the same confirmed frames' sounds on both sides, each heard
    // once though thousands of frames were run again.
    const double host_sounds = number(h, "sounds_started");
    const double joiner_sounds = number(j, "sounds_started");
    EXPECT_GT(host_sounds, 10);
    EXPECT_LE(std::abs(host_sounds - joiner_sounds), 0.1 * host_sounds + 3);
  }
}

TEST(NetplayProxy, GamesThatDifferEndOutOfStep) {
  const std::string state = scratch("state");
  mkdir(state.c_str(), 0755);
  unlink((state + "/quillfire/out-of-step-host.qfrec").c_str());
  unlink((state + "/quillfire/out-of-step-joiner.qfrec").c_str());
  // The joiner's ball drifts a pixel a frame from a rally at tick 600 on.
  Match m = start_match("differ", 20, 5, 0, {"--differ-from", "600"},
                        {"XDG_STATE_HOME=" + state});
  end_match(&m, 120000);
  auto &h = m.host_report, &j = m.joiner_report;
  EXPECT_EQ(m.host_status, 3) << read_all(scratch("differ.host.log"));
  EXPECT_EQ(m.joiner_status, 3) << read_all(scratch("differ.joiner.log"));
  EXPECT_NE(read_all(scratch("differ.host.log")).find("out of step at frame"),
            std::string::npos);
  const double began = number(j, "differ_began_ms");
  ASSERT_GT(began, 0);
  for (auto *r : {&h, &j}) {
    const double found = number(*r, "out_of_step_ms");
    EXPECT_GT(found, began);
    EXPECT_LE(found - began, 2000) << "found after " << found - began << " ms";
    printf("out of step found %.0f ms after the rules began to differ\n",
           found - began);
  }
  // Each side wrote its recording for the bug report. The host's rules are
  // this game's: its recording replays alone. The joiner's differed from
  // frame 600: this game's replay of it goes out of step.
  std::string line;
  EXPECT_EQ(replay(state + "/quillfire/out-of-step-host.qfrec", &line), 0)
      << line;
  EXPECT_EQ(replay(state + "/quillfire/out-of-step-joiner.qfrec", &line), 3)
      << line;
}

TEST(NetplayProxy, APlayerGoneQuietIsWaitedForThenLost) {
  Match m = start_match("quiet", 20, 0, 0);
  // Into the match, then the joiner stops for a second and a half, then
  // for eleven.
  usleep(6000000);
  kill(m.joiner, SIGSTOP);
  usleep(1500000);
  kill(m.joiner, SIGCONT);
  usleep(3000000);
  const uint64_t stopped = now_ms();
  kill(m.joiner, SIGSTOP);
  std::string host_log;
  uint64_t lost_after = 0;
  while (now_ms() - stopped < 15000) {
    host_log = read_all(scratch("quiet.host.log"));
    if (host_log.find("player 2 was lost") != std::string::npos) {
      lost_after = now_ms() - stopped;
      break;
    }
    usleep(50000);
  }
  const uint64_t resumed = now_ms();
  kill(m.joiner, SIGCONT);
  m.joiner_status = finish(m.joiner, 8000);
  const uint64_t joiner_ended_after = now_ms() - resumed;
  m.host_status = finish(m.host, 120000);
  kill(m.proxy.pid, SIGTERM);
  finish(m.proxy.pid, 5000);
  host_log = read_all(scratch("quiet.host.log"));
  // Waited for, and on again once it was back.
  EXPECT_NE(host_log.find("nothing from player 2"), std::string::npos)
      << host_log;
  EXPECT_NE(host_log.find("player 2 is back"), std::string::npos) << host_log;
  // Lost 10 s after the last thing heard; the host played on alone and
  // ended its match; the joiner ended by itself soon after resuming.
  EXPECT_GE(lost_after, 9000u);
  EXPECT_LE(lost_after, 12000u);
  EXPECT_EQ(m.host_status, 0) << host_log;
  EXPECT_EQ(m.joiner_status, 1) << read_all(scratch("quiet.joiner.log"));
  EXPECT_LE(joiner_ended_after, 6000u);
}

}  // namespace
