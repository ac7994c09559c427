#include "game/net_match.h"

#include <stdio.h>
#include <string.h>

#include <map>
#include <new>
#include <string>

#include "game/court.h"
#include "game/game.h"
#include "game/snapshot.h"
#include "platform/net/net_datagram.h"
#include "platform/net/net_socket.h"
#include "platform/os.h"
#include "platform/record/record.h"

namespace {

// A moment whose ticks were all known: what a correction goes back to.
struct Moment {
  GameSnapshot snapshot;
  RollbackMark mark;
};

// A checkpoint of the game's state at a confirmed moment.
struct Check {
  uint32_t tick, hash;
};

struct NetMatchState {
  NetMatchOptions options;
  int running;
  Moment moment;
  int have_moment;
  int guessed_since_moment;  // passes after the moment ran on guesses
  // Checkpoints: this side's by tick (kept a while), the other's not yet
  // compared, and the last taken, sent for a while.
  std::map<uint32_t, uint32_t> own_checks, other_checks;
  uint32_t next_check_tick;
  Check sending;
  uint64_t sending_since_ms;
  int has_sending;
  // The link.
  uint32_t other_has;   // the other has our inputs below this
  uint32_t sent_known;  // own inputs known at the last datagram
  uint64_t last_sent_ms;
  uint32_t echo_ms;        // the other's last stamp
  uint64_t echo_taken_ms;  // when it came
  int has_echo;
  uint32_t round_trip_ms;
  uint64_t started_ms;
  int leaving;              // this player leaves
  int told_quiet;           // the other's silence has been said
  int lost_other;           // this host ended the match: player 2 was lost
  uint32_t other_end_tick;  // the other left after its keys of ticks below
  NetMatchReport report;
};

NetMatchState m;

uint32_t now_ms32(void) { return (uint32_t)net_now_ms(); }

// --- the state's hash: field by field, so that no padding counts ---

uint32_t mix(uint32_t hash, uint32_t value) {
  for (int i = 0; i < 4; i++) {
    hash ^= (value >> (8 * i)) & 0xFF;
    hash *= 16777619u;
  }
  return hash;
}

uint32_t motion_hash(uint32_t hash, const SpriteMotion &motion) {
  hash = mix(hash, (uint32_t)motion.x);
  hash = mix(hash, (uint32_t)motion.y);
  hash = mix(hash, (uint32_t)motion.xv);
  return mix(hash, (uint32_t)motion.yv);
}

uint32_t state_hash(const GameSnapshot &s) {
  uint32_t hash = 2166136261u;
  hash = mix(hash, (uint32_t)s.state.player1_score);
  hash = mix(hash, (uint32_t)s.state.player2_score);
  hash = mix(hash, (uint32_t)s.state.mode);
  hash = mix(hash, (uint32_t)s.state.serving_side);
  hash = mix(hash, s.state.goal_armed);
  hash = motion_hash(hash, s.ball);
  hash = motion_hash(hash, s.paddle1);
  hash = motion_hash(hash, s.paddle2);
  hash = mix(hash, s.random_state);
  hash = mix(hash, (uint32_t)s.game_paused);
  hash = mix(hash, (uint32_t)s.pause_key_was_down);
  hash = mix(hash, (uint32_t)s.title_showing);
  hash = mix(hash, (uint32_t)s.serve_prompt_showing);
  for (int k = 0; k < 256; k++) hash = mix(hash, s.keyboard_state[k]);
  return hash;
}

// --- out of step ---

// The recording of the confirmed frames, for the bug report:
// $XDG_STATE_HOME/quillfire/out-of-step-SIDE.qfrec.
void keep_recording_for_report(void) {
  const char *state = os_environment("XDG_STATE_HOME");
  const char *home = os_environment("HOME");
  std::string folder;
  if (state && state[0] == '/')
    folder = std::string(state) + "/quillfire";
  else if (home && home[0])
    folder = std::string(home) + "/.local/state/quillfire";
  else
    return;
  OsError error;
  if (!os_make_folders(folder.c_str(), &error)) {
    fprintf(stderr, "quillfire: can't make %s: %s\n", folder.c_str(),
            error.text);
    return;
  }
  const std::string path =
      folder + (m.options.side == NET_HOST ? "/out-of-step-host.qfrec"
                                           : "/out-of-step-joiner.qfrec");
  RecordSink sink;
  if (!record_file_sink(path.c_str(), &sink) || !record_add_sink(sink)) {
    fprintf(stderr, "quillfire: %s\n", record_error());
    return;
  }
  fprintf(stderr, "quillfire: the match's recording is in %s\n", path.c_str());
}

void out_of_step(uint32_t tick) {
  if (m.report.out_of_step) return;
  m.report.out_of_step = 1;
  m.report.out_of_step_tick = tick;
  m.report.out_of_step_ms = net_now_ms();
  fprintf(stderr, "quillfire: out of step at frame %u\n", tick);
  keep_recording_for_report();
  // The game is ended between two passes (play_passes), so that the
  // recording ends at a confirmed moment.
}

// Both games take their checkpoints at the same ticks, the first confirmed
// moment at or past every tenth tick. The other's checkpoint of a tick this
// side has gone past without taking one means that the moments themselves
// differ: out of step too.
void compare_checks(void) {
  for (auto it = m.other_checks.begin(); it != m.other_checks.end();) {
    auto own = m.own_checks.find(it->first);
    if (own == m.own_checks.end()) {
      const bool passed = !m.own_checks.empty() &&
                          it->first > m.own_checks.begin()->first &&
                          it->first < m.own_checks.rbegin()->first;
      if (passed) {
        out_of_step(it->first);
        it = m.other_checks.erase(it);
      } else if (!m.own_checks.empty() &&
                 it->first < m.own_checks.begin()->first) {
        it = m.other_checks.erase(it);  // older than any kept: forgotten
      } else {
        ++it;
      }
      continue;
    }
    m.report.checks_compared++;
    if (own->second != it->second) out_of_step(it->first);
    it = m.other_checks.erase(it);
  }
}

// --- the datagrams ---

void send_datagram(void) {
  NetDatagram d = {};
  d.session = m.options.link->session;
  d.stamp_ms = now_ms32();
  if (m.has_echo) {
    d.echo_ms = m.echo_ms;
    d.echo_held_ms = (uint32_t)(net_now_ms() - m.echo_taken_ms);
  }
  const uint32_t remote_known = rollback_remote_known();
  d.ack = remote_known == UINT32_MAX ? rollback_tick() : remote_known;
  const uint32_t known = rollback_own_known();
  uint32_t first = m.other_has;
  if (known - first > (uint32_t)NET_DATAGRAM_INPUTS_MAX)
    first = known - NET_DATAGRAM_INPUTS_MAX;
  d.first_tick = first;
  d.count = (uint8_t)(known - first);
  for (uint32_t i = 0; i < d.count; i++) d.inputs[i] = rollback_own(first + i);
  if (m.has_sending &&
      net_now_ms() - m.sending_since_ms < NET_MATCH_CHECK_SENT_MS) {
    d.has_check = 1;
    d.check_tick = m.sending.tick;
    d.check_hash = m.sending.hash;
  }
  d.leaving = m.leaving || m.lost_other;
  d.lost_you = m.lost_other;
  net_link_send(m.options.link, &d);
  m.sent_known = known;
  m.last_sent_ms = net_now_ms();
}

void lose_other(const char *why);

// Returns 1 when it brought inputs not known before (to be acknowledged).
int take_datagram(const NetDatagram &d) {
  int news = 0;
  for (uint32_t i = 0; i < d.count; i++)
    news |= rollback_put_remote(d.first_tick + i, d.inputs[i]);
  if (d.ack > m.other_has && d.ack <= rollback_own_known()) m.other_has = d.ack;
  if (d.echo_ms) {
    const uint32_t trip = now_ms32() - d.echo_ms - d.echo_held_ms;
    if (trip < 60000) m.round_trip_ms = trip;
  }
  m.echo_ms = d.stamp_ms;
  m.echo_taken_ms = net_now_ms();
  m.has_echo = 1;
  if (d.has_check && !m.other_checks.count(d.check_tick) &&
      m.other_checks.size() < 256)
    m.other_checks[d.check_tick] = d.check_hash;
  if (d.leaving && d.lost_you && !m.report.lost) {
    lose_other("the host lost this machine: nothing came from it for 10 s");
  } else if (d.leaving && !m.report.other_left && !m.report.lost) {
    m.report.other_left = 1;
    m.other_end_tick = d.first_tick + d.count;
    rollback_remote_ends(d.first_tick + d.count, NET_IN_GONE);
  }
  return news;
}

// The other went silent: lost after NET_MATCH_LOST_MS. The host plays on
// alone; a joiner has no game without its host.
void lose_other(const char *why) {
  if (m.report.lost || m.report.other_left) return;
  m.report.lost = 1;
  snprintf(m.report.lost_line, sizeof m.report.lost_line, "%s", why);
  rollback_remote_ends(rollback_remote_known(), NET_IN_GONE);
  if (m.options.side != NET_HOST) return;
  fprintf(stderr, "quillfire: player 2 was lost: %s\n", why);
  // A player 2 that comes back is told that its match is over; the host's
  // datagrams stop here.
  m.lost_other = 1;
  if (m.options.link->fd >= 0 && !m.options.link->dropped)
    for (int i = 0; i < 3; i++) send_datagram();
}

// A joiner that never hears the host's datagrams, though its TCP came
// through: the host's UDP port is not reachable.
void judge_silence(void) {
  if (m.report.lost || m.report.other_left) return;
  if (!net_match_heard()) {
    if (m.options.side == NET_JOINER &&
        net_now_ms() - m.started_ms >= NET_MATCH_FIRST_DATAGRAM_MS) {
      char why[200];
      snprintf(why, sizeof why,
               "no datagram came from the host (is its UDP port %u "
               "forwarded, as its TCP port is?)",
               (unsigned)m.options.host_port);
      lose_other(why);
    }
    return;
  }
  const uint32_t silent = net_match_silent_ms();
  if (silent >= NET_MATCH_LOST_MS) {
    lose_other("nothing came for 10 s");
  } else if (silent >= NET_MATCH_QUIET_MS && !m.told_quiet) {
    m.told_quiet = 1;
    fprintf(stderr, "quillfire: nothing from %s for %.1f s: waiting\n",
            m.options.side == NET_HOST ? "player 2" : "the host",
            silent / 1000.0);
  } else if (silent < NET_MATCH_QUIET_MS && m.told_quiet) {
    m.told_quiet = 0;
    fprintf(stderr, "quillfire: %s is back\n",
            m.options.side == NET_HOST ? "player 2" : "the host");
  }
}

// A joiner's game ends when its player leaves or its host is lost; a host
// that left is followed only as far as the host's game went, so that its
// last keys may still end the game the usual way (its Q at the title).
bool joiner_must_end(void) {
  if (m.options.side != NET_JOINER || quit_posted) return false;
  return m.leaving || m.report.lost ||
         (m.report.other_left && rollback_tick() >= m.other_end_tick);
}

void serve_network(uint32_t wait_ms) {
  NetLink *link = m.options.link;
  if (link->fd < 0 || m.report.lost) {
    // The host before player 2 has come, or once it was lost (a player 2
    // that comes back then finds the host silent, and ends): only the TCP
    // side.
    if (wait_ms) rollback_below()->sleep(wait_ms);
    if (m.options.serve_tcp) m.options.serve_tcp();
    return;
  }
  if (wait_ms) net_wait(link->fd, 0, wait_ms);
  NetDatagram d;
  int took = 0;
  while (net_link_receive(link, &d)) took |= take_datagram(d);
  if (link->dropped) lose_other(link->error);
  compare_checks();
  if (rollback_own_known() != m.sent_known || took ||
      net_now_ms() - m.last_sent_ms >= NET_MATCH_ALIVE_MS)
    send_datagram();
  judge_silence();
  // A joiner has no game without its host, nor once it leaves, wherever its
  // game waits (the first title runs inside shell_start, and a serve prompt
  // inside one pass, before play_passes looks): ended here while no frame
  // runs on a guess, so that what is recorded is confirmed.
  if (joiner_must_end() && !m.guessed_since_moment) rollback_end();
  if (m.options.serve_tcp) m.options.serve_tcp();
}

// --- the rules the layer is given ---

RollbackInput own_input(const uint8_t keys[256], int away) {
  // A joiner's Q or Escape leaves the match; they are no keys of the game.
  if (m.options.side == NET_JOINER && (keys[DIK_Q] || keys[DIK_ESCAPE]) &&
      !m.leaving) {
    m.leaving = 1;
    m.report.left = 1;
  }
  return net_keys_own(keys, away);
}

int escape_of(const RollbackInput now[2]) { return net_keys_escape(now); }

// The game's keys are the tick's alone.
void merge_of(const RollbackInput now[2], const RollbackInput *,
              uint8_t keys[256]) {
  net_keys_merge(now, keys);
}

int lost_focus_of(const RollbackInput now[2], const RollbackInput before[2]) {
  return net_keys_lost_focus(now, before);
}

// --- passes ---

void drift_if_asked(void) {
  if (m.options.differ_from_tick &&
      rollback_tick() >= m.options.differ_from_tick && rally_running() &&
      !game_paused) {
    ball.x += 1;
    if (!m.report.differ_began_ms) m.report.differ_began_ms = net_now_ms();
  }
}

// One pass of the game's loop. Returns 0 once the game has ended.
int pass(void) {
  const int more = shell_pass();
  if (more) drift_if_asked();
  return more;
}

// After a pass whose keys were all known: the new moment, and its
// checkpoint when one is due.
void confirmed(void) {
  // Every pass since the moment has run on known keys (and is recorded):
  // none is to be run again, not even to end the game.
  m.guessed_since_moment = 0;
  if (quit_posted) return;  // the end: no moment to go back to
  game_save(&m.moment.snapshot);
  rollback_mark(&m.moment.mark);
  m.have_moment = 1;
  m.report.confirmed_ticks = m.moment.mark.tick;
  m.report.confirmed_score[0] = game_state.player1_score;
  m.report.confirmed_score[1] = game_state.player2_score;
  rollback_forget_before(m.moment.mark.tick);
  if (m.moment.mark.tick < m.next_check_tick) return;
  m.next_check_tick = m.moment.mark.tick + NET_MATCH_CHECK_EVERY_TICKS;
  const Check check = {m.moment.mark.tick, state_hash(m.moment.snapshot)};
  m.own_checks[check.tick] = check.hash;
  while (m.own_checks.size() > 512) m.own_checks.erase(m.own_checks.begin());
  m.sending = check;
  m.sending_since_ms = net_now_ms();
  m.has_sending = 1;
  compare_checks();
}

// Back to the last confirmed moment: the passes run since are taken back.
void back_to_moment(void) {
  game_load(&m.moment.snapshot);
  rollback_rewind(&m.moment.mark);
  m.guessed_since_moment = 0;
}

// A pass on the other's known keys: recorded, and the new moment.
int known_pass(void) {
  record_pause(0);
  const int alive = pass();
  if (alive) confirmed();
  return alive;
}

// A pass whose first tick may run on a guess of the other's keys: not
// recorded until it is run again on known keys.
int guessed_pass(void) {
  record_pause(1);
  rollback_may_guess(1);
  m.guessed_since_moment = 1;
  const int alive = pass();
  rollback_may_guess(0);
  return alive;
}

bool other_known(uint32_t tick) {
  const uint32_t known = rollback_remote_known();
  return known == UINT32_MAX || tick < known;
}

// Whether the next pass may run on a guess of the other's keys.
bool may_guess_next(void) {
  if (!m.have_moment || !net_keys_guessable()) return false;
  const uint32_t tick = rollback_tick(), known = rollback_remote_known();
  if (tick >= known && tick - known >= ROLLBACK_MAX_AHEAD) return false;
  // This machine's Escape leaves the rally: not a frame to guess.
  return !net_keys_own_escape(m.options.side, rollback_own_next());
}

// The other's keys for frames run on a guess have come: back to the last
// confirmed moment, and every pass since run again, unseen; those whose
// keys are all known now are recorded and become the new moment. Returns 0
// once the game has ended.
int catch_up(void) {
  const uint32_t newest = rollback_tick();
  const uint32_t wrong = rollback_take_wrong();
  if (wrong != UINT32_MAX) rollback_count_correction(wrong, newest);
  back_to_moment();
  rollback_unseen(1);
  int alive = 1;
  // A pass that reads no tick (the game ending) ends the run as well.
  uint32_t before = UINT32_MAX;
  rollback_confirming(1);
  while (alive && rollback_is_unseen() && rollback_tick() < newest &&
         other_known(rollback_tick()) && rollback_tick() != before) {
    before = rollback_tick();
    alive = known_pass();
  }
  rollback_confirming(0);
  before = UINT32_MAX;
  while (alive && rollback_is_unseen() && rollback_tick() < newest &&
         rollback_tick() != before && may_guess_next()) {
    before = rollback_tick();
    alive = guessed_pass();
  }
  rollback_unseen(0);
  return alive;
}

// Frames are paced by each machine's own clock. The one that runs ahead of
// the other (by more than the link's delay explains) waits a little each
// frame, so that neither keeps guessing further than it must.
void keep_time(void) {
  const uint32_t known = rollback_remote_known();
  if (known == UINT32_MAX) return;
  const uint32_t ahead_by_delay = m.round_trip_ms / 2 / 20 + 2;
  if (rollback_tick() > known + ahead_by_delay) rollback_below()->sleep(2);
}

// Waits, serving the network and keeping the window alive, until the
// other's keys for the next tick have come or the game must end.
void wait_for_other(void) {
  const uint32_t tick = rollback_tick();
  // The other waits for this side's keys of the same tick: read and sent
  // now.
  rollback_own_next();
  while (!other_known(tick) && !rollback_ended() &&
         !rollback_below()->close_requested()) {
    serve_network(5);
    rollback_refresh();
  }
}

void play_passes(void) {
  for (;;) {
    serve_network(0);
    // (Not once the game is ending by itself: its last passes only take
    // its own messages.)
    if (!quit_posted && (m.report.out_of_step || joiner_must_end()))
      rollback_end();
    // Passes on guesses whose keys have come are run again first (a game
    // that must end runs its last passes as it stands). The network is
    // served inside them: keys that came meanwhile may confirm more, so the
    // loop looks again before any pass on known keys.
    if (m.guessed_since_moment && !rollback_ended() &&
        other_known(m.moment.mark.tick)) {
      if (!catch_up()) return;
      continue;
    }
    int alive;
    const bool ending = rollback_ended() || rollback_below()->close_requested();
    // A game whose end is posted reads no more keys: its last passes only
    // take its messages, up to its WM_QUIT.
    const bool known = other_known(rollback_tick()) || quit_posted;
    if ((known && !m.guessed_since_moment) || ending) {
      // A game that must end ends from the last confirmed moment: the frames
      // run on guesses since are dropped, and the recording, which holds
      // only confirmed frames, ends as the game does.
      if (ending && m.guessed_since_moment) back_to_moment();
      alive = known_pass();
    } else if (may_guess_next()) {
      keep_time();
      alive = guessed_pass();
    } else {
      wait_for_other();
      continue;
    }
    if (!alive) return;
  }
}

// Why this side's game ended, said on its screen before the window goes.
void last_word(void) {
  if (!m.options.last_word) return;
  char line[200];
  if (m.report.out_of_step) {
    snprintf(line, sizeof line, "Out of step at frame %u",
             m.report.out_of_step_tick);
    m.options.last_word(line, NET_MATCH_OUT_OF_STEP_SHOWN_MS);
  } else if (m.options.side == NET_JOINER && !m.leaving &&
             !rollback_below()->close_requested()) {
    m.options.last_word(
        m.report.lost ? "Connection lost" : "The host ended the game",
        NET_MATCH_LAST_WORD_MS);
  }
}

// Once the game has ended: the last keys go out until the other has them.
void linger_for_other(void) {
  const uint64_t start = net_now_ms();
  while (net_now_ms() - start < NET_MATCH_LINGER_MS && !m.report.lost &&
         !m.report.other_left && m.other_has < rollback_own_known()) {
    serve_network(10);
  }
}

}  // namespace

int net_match_run(const NetMatchOptions *options) {
  m.~NetMatchState();
  new (&m) NetMatchState();
  m.options = *options;
  m.started_ms = net_now_ms();
  m.running = 1;
  const RollbackRules rules = {own_input,     merge_of,      escape_of,
                               serve_network, options->over, lost_focus_of};
  rollback_start(&rules, options->side, options->input_delay);
  record_start();
  int status = 1;
  if (shell_start(plat_instance())) {
    // The first title and serve prompt ran inside shell_start, on keys
    // known to both.
    play_passes();
    last_word();
    status = shell_end();
  }
  m.report.counts = rollback_counts();
  m.report.link = options->link->counts;
  // The other is told that this side's game has ended.
  linger_for_other();
  m.leaving = 1;
  if (options->link->fd >= 0)
    for (int i = 0; i < 3; i++) send_datagram();
  m.running = 0;
  rollback_finish();
  if (m.report.out_of_step) status = NET_MATCH_OUT_OF_STEP_STATUS;
  return status;
}

NetMatchReport net_match_report(void) { return m.report; }
uint32_t net_match_round_trip_ms(void) { return m.round_trip_ms; }
int net_match_heard(void) {
  return m.options.link && m.options.link->last_heard_ms ? 1 : 0;
}
uint32_t net_match_silent_ms(void) {
  if (!net_match_heard()) return 0;
  return (uint32_t)(net_now_ms() - m.options.link->last_heard_ms);
}
int net_match_other_gone(void) { return m.report.other_left || m.report.lost; }
int net_match_running(void) { return m.running; }
