// qf_net_peer: one side of a networked match of the real game, on the
// headless platform paced by the real clock, played by a built-in player,
// for the tests that play whole matches through the test proxy. It ends
// with the game's exit status and writes what it measured to --report as
// "name value" lines.
//
//   qf_net_peer --host ADDR:PORT | --join HOST:PORT  [--report FILE]
//               [--record FILE] [--seed N] [--input-delay N]
//               [--differ-from TICK] [--shown FILE]
//
// The player follows the ball with its own paddle, lets about a third of
// the balls go and jiggles its keys every few frames, so that the other
// side's guesses of its keys are often wrong. The host chooses two players
// at the title once player 2 is there, serves its serves, and quits at the
// title after one match; the joiner serves the top paddle's serves.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <random>
#include <string>

#include "game/game.h"
#include "game/net_keys.h"
#include "game/net_match.h"
#include "game/net_play.h"
#include "platform/dik.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_audio.h"
#include "platform/record/record.h"
#include "platform/rollback/rollback.h"

namespace {

const uint32_t PROMPT_ANSWER_MS = 300;  // a player's time to press Space
const uint32_t TITLE_ANSWER_MS = 300;

uint64_t real_ms(void) {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (uint64_t)now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

uint64_t start_ms;

void sleep_ms(uint32_t ms) {
  timespec t = {(time_t)(ms / 1000), (long)(ms % 1000) * 1000000L};
  nanosleep(&t, nullptr);
}

// --- the headless platform on the real clock ---

uint32_t peer_ticks(void) { return (uint32_t)(real_ms() - start_ms); }

void peer_ticks_deadline(uint32_t deadline) {
  const int32_t left = (int32_t)(deadline - peer_ticks());
  if (left > 0) sleep_ms((uint32_t)left);
}

void peer_sleep(uint32_t ms) { sleep_ms(ms); }

void peer_wait_input(const uint32_t *deadline) {
  uint32_t ms = 5;
  if (deadline) {
    const int32_t left = (int32_t)(*deadline - peer_ticks());
    if (left < (int32_t)ms) ms = left > 0 ? (uint32_t)left : 0;
  }
  sleep_ms(ms);
}

// --- the built-in player ---

struct Bot {
  int side;
  std::mt19937 random;
  uint32_t title_since, prompt_since;
  int at_title, at_prompt;
  int played;             // a rally has run: the match is under way or over
  int32_t rally_ball_yv;  // the ball's way at the last look, for a new rally
  int give_up;            // this ball is let go
  int aim_error;          // pixels off the ball
  int jiggle_left;        // frames of a jiggled key left
  uint8_t jiggle_key;
  int pause_tap;
};

Bot bot;

void bot_new_ball(void) {
  bot.give_up = bot.random() % 3 == 0;
  bot.aim_error = (int)(bot.random() % 21) - 10;
}

int peer_keyboard_read(uint8_t keys[256]) {
  memset(keys, 0, 256);
  const uint32_t now = peer_ticks();
  if (title_showing) {
    if (!bot.at_title) bot.title_since = now;
    bot.at_title = 1;
    if (bot.side == NET_HOST && now - bot.title_since >= TITLE_ANSWER_MS &&
        net_match_heard())
      keys[bot.played ? DIK_Q : DIK_2] = 0x80;
    return 1;
  }
  bot.at_title = 0;
  if (serve_prompt_showing) {
    if (!bot.at_prompt) bot.prompt_since = now;
    bot.rally_ball_yv = 0;  // the serve is a new ball for both
    bot.at_prompt = 1;
    // The host serves player 2's serves too once it has gone.
    const int mine =
        game_state.serving_side == (bot.side == NET_HOST ? 1 : 2) ||
        (bot.side == NET_HOST && net_match_other_gone());
    if (mine && now - bot.prompt_since >= PROMPT_ANSWER_MS)
      keys[DIK_SPACE] = 0x80;
    return 1;
  }
  bot.at_prompt = 0;
  // Player 2 gone: the host plays on alone (P, pressed afresh).
  if (bot.side == NET_HOST && game_paused && net_match_other_gone()) {
    bot.pause_tap = !bot.pause_tap;
    if (bot.pause_tap) keys[DIK_P] = 0x80;
    return 1;
  }
  if (!rally_running()) return 1;
  bot.played = 1;
  // A new way of the ball towards this paddle is a new ball to play.
  const int32_t towards = bot.side == NET_HOST ? 1 : -1;
  if (ball.yv * towards > 0 && bot.rally_ball_yv * towards <= 0) bot_new_ball();
  bot.rally_ball_yv = ball.yv;
  const BOB &paddle = bot.side == NET_HOST ? paddle1 : paddle2;
  if (bot.jiggle_left > 0) {
    bot.jiggle_left--;
    keys[bot.jiggle_key] = 0x80;
    return 1;
  }
  if (bot.random() % 6 == 0) {
    bot.jiggle_left = 1 + bot.random() % 3;
    bot.jiggle_key = bot.random() % 2 ? DIK_LEFT : DIK_RIGHT;
  }
  if (bot.give_up) return 1;
  const int32_t target = ball.x + ball.width / 2 + bot.aim_error;
  const int32_t middle = paddle.x + paddle.width / 2;
  if (target > middle + 3) keys[DIK_RIGHT] = 0x80;
  if (target < middle - 3) keys[DIK_LEFT] = 0x80;
  return 1;
}

// The frames this machine showed and the sounds it started.
int peer_voice_plays(void) {
  size_t count = 0;
  const HeadlessAudioEvent *events = headless_audio_events(&count);
  int plays = 0;
  for (size_t i = 0; i < count; i++)
    if (events[i].kind == HEADLESS_AUDIO_PLAY) plays++;
  return plays;
}

// Each frame shown, as "f TICK GUESSED" and then what quillfire-run's
// frames.log has of it after the time (the ball, the paddles, the scores); and
// for each frame shown on a guess, once its tick ran on known keys, "v TICK 1"
// when that frame was the same, "v TICK 0" when it was not.
FILE *shown_log;
uint64_t frames_logged;

void peer_verdict(uint32_t tick, int same) {
  if (shown_log) fprintf(shown_log, "v %u %d\n", tick, same);
}

void peer_present(const uint8_t *pixels, int32_t pitch, int32_t width,
                  int32_t height, const uint8_t palette[1024]) {
  headless_backend()->present(pixels, pitch, width, height, palette);
  // Only the game's frames: not a frame shown again with a note.
  const RollbackCounts counts = rollback_counts();
  if (!shown_log || counts.shown == frames_logged) return;
  frames_logged = counts.shown;
  fprintf(shown_log, "f %u %d %d %d %d %d %d %d %d %d\n", rollback_tick() - 1,
          rollback_guessed(rollback_tick() - 1), ball.x, ball.y, ball.xv,
          ball.yv, paddle1.x, paddle2.x, game_state.player1_score,
          game_state.player2_score);
}

PlatBackend peer_table;

void use_real_clock(void) {
  peer_table = *headless_backend();
  peer_table.name = "peer";
  peer_table.ticks = peer_ticks;
  peer_table.ticks_deadline = peer_ticks_deadline;
  peer_table.sleep = peer_sleep;
  peer_table.wait_input = peer_wait_input;
  peer_table.keyboard_read = peer_keyboard_read;
  peer_table.present = peer_present;
  plat_use(&peer_table);
}

double cpu_seconds(void) {
  rusage use;
  getrusage(RUSAGE_SELF, &use);
  return use.ru_utime.tv_sec + use.ru_utime.tv_usec / 1e6 +
         use.ru_stime.tv_sec + use.ru_stime.tv_usec / 1e6;
}

}  // namespace

int main(int argc, char **argv) {
  std::string host, join, report_path, record_path, shown_path;
  uint32_t seed = 1, input_delay = 0, differ_from = 0;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    const char *value = argv[i + 1];
    if (name == "--host")
      host = value;
    else if (name == "--join")
      join = value;
    else if (name == "--report")
      report_path = value;
    else if (name == "--record")
      record_path = value;
    else if (name == "--shown")
      shown_path = value;
    else if (name == "--seed")
      seed = (uint32_t)atoi(value);
    else if (name == "--input-delay")
      input_delay = (uint32_t)atoi(value);
    else if (name == "--differ-from")
      differ_from = (uint32_t)atoi(value);
    else {
      fprintf(stderr, "qf_net_peer: unknown option %s\n", name.c_str());
      return 2;
    }
  }
  if (host.empty() == join.empty()) {
    fprintf(stderr, "qf_net_peer: give --host or --join\n");
    return 2;
  }
  // Files are named from where the peer was started.
  char here[4096];
  if (getcwd(here, sizeof here)) {
    for (std::string *path : {&report_path, &record_path, &shown_path})
      if (!path->empty() && (*path)[0] != '/')
        *path = std::string(here) + "/" + *path;
  }
  if (chdir(QF_RUN_DIR) != 0) {
    fprintf(stderr, "qf_net_peer: can't enter %s\n", QF_RUN_DIR);
    return 1;
  }
  if (!shown_path.empty()) {
    shown_log = fopen(shown_path.c_str(), "w");
    rollback_on_verdict(peer_verdict);
  }
  headless_reset();
  headless_set_time_limit(UINT64_MAX / 2);
  start_ms = real_ms();
  use_real_clock();
  bot.side = host.empty() ? NET_JOINER : NET_HOST;
  bot.random.seed(seed);
  bot_new_ball();

  if (!record_path.empty()) {
    RecordSink file;
    if (!record_file_sink(record_path.c_str(), &file) ||
        !record_add_sink(file)) {
      fprintf(stderr, "qf_net_peer: %s\n", record_error());
      return 1;
    }
  }
  std::string error;
  const int opened =
      bot.side == NET_HOST
          ? net_play_host(host.c_str(), &error)
          : net_play_connect(join.c_str(), 1, 10000, nullptr, &error);
  if (!opened) {
    fprintf(stderr, "qf_net_peer: %s\n", error.c_str());
    record_finish();
    return 1;
  }
  const uint64_t began = real_ms();
  const double cpu_before = cpu_seconds();
  const int status = net_play_match(bot.side, input_delay, differ_from);
  const double cpu = cpu_seconds() - cpu_before;
  record_finish();
  net_play_end();
  if (shown_log) fclose(shown_log);

  const NetMatchReport r = net_match_report();
  if (!report_path.empty()) {
    FILE *out = fopen(report_path.c_str(), "w");
    if (out) {
      const double seconds = (real_ms() - began) / 1000.0;
      fprintf(out, "status %d\n", status);
      fprintf(out, "seconds %.3f\n", seconds);
      fprintf(out, "cpu_seconds %.4f\n", cpu);
      fprintf(out, "shown %llu\n", (unsigned long long)r.counts.shown);
      fprintf(out, "run_again %llu\n", (unsigned long long)r.counts.run_again);
      fprintf(out, "guessed %llu\n", (unsigned long long)r.counts.guessed);
      fprintf(out, "wrong %llu\n", (unsigned long long)r.counts.wrong);
      fprintf(out, "corrections %llu\n",
              (unsigned long long)r.counts.corrections);
      fprintf(out, "deepest %u\n", r.counts.deepest);
      fprintf(out, "shown_right %llu\n",
              (unsigned long long)r.counts.shown_right);
      fprintf(out, "shown_wrong %llu\n",
              (unsigned long long)r.counts.shown_wrong);
      fprintf(out, "sounds_started %d\n", peer_voice_plays());
      fprintf(out, "sounds_late %llu\n",
              (unsigned long long)r.counts.sounds_late);
      fprintf(out, "sounds_stopped %llu\n",
              (unsigned long long)r.counts.sounds_stopped);
      fprintf(out, "checks_compared %u\n", r.checks_compared);
      fprintf(out, "out_of_step %d\n", r.out_of_step);
      fprintf(out, "out_of_step_tick %u\n", r.out_of_step_tick);
      // On the one monotonic clock of the machine, which both sides share.
      fprintf(out, "out_of_step_ms %llu\n",
              (unsigned long long)r.out_of_step_ms);
      fprintf(out, "differ_began_ms %llu\n",
              (unsigned long long)r.differ_began_ms);
      fprintf(out, "confirmed_ticks %u\n", r.confirmed_ticks);
      fprintf(out, "score %d %d\n", r.confirmed_score[0], r.confirmed_score[1]);
      fprintf(out, "lost %d\n", r.lost);
      fprintf(out, "other_left %d\n", r.other_left);
      fprintf(out, "udp_bytes_out %llu\n",
              (unsigned long long)r.link.bytes_out);
      fprintf(out, "udp_bytes_in %llu\n", (unsigned long long)r.link.bytes_in);
      fprintf(out, "datagrams_out %llu\n",
              (unsigned long long)r.link.datagrams_out);
      fclose(out);
    }
  }
  return status;
}
