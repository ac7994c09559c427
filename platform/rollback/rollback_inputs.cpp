// The ticks' inputs: this machine's own, read when the game first asks
// about a tick; the other's, put in from the network, guessed when the pass
// may guess, and waited for otherwise.
#include <string.h>

#include "platform/rollback/rollback_state.h"

RollbackState rollback_state;

namespace {

RollbackState &s = rollback_state;

// How long one wait for the other's input lasts before the window is
// looked at again.
const uint32_t WAIT_SLICE_MS = 5;

bool remote_known_at(uint32_t tick) {
  return tick < s.remote_known || (s.remote_ended && tick >= s.remote_end_tick);
}

RollbackInput remote_at(uint32_t tick) {
  if (tick < s.remote_known) return s.remote[tick];
  if (s.remote_ended && tick >= s.remote_end_tick) return s.remote_end_input;
  return 0;
}

// This machine's keys for `tick`: read now unless read already (a frame run
// again reads nothing; with an input delay they were read ticks ago). The
// keys read as the game reaches `tick` count at `tick` + the delay.
void read_own_for(uint32_t tick) {
  if (s.own.empty()) s.own.assign(s.delay, 0);
  while (s.own.size() <= tick + s.delay) {
    if (!s.raw_pending && !s.below->keyboard_read(s.raw_keys))
      memset(s.raw_keys, 0, sizeof s.raw_keys);
    s.raw_pending = 0;
    rollback_drain_messages();
    s.own.push_back(s.rules.own(s.raw_keys, s.away));
  }
}

// The other's guess: its last known input.
RollbackInput guess(void) {
  return s.remote_known ? s.remote[s.remote_known - 1] : 0;
}

bool may_guess_now(uint32_t tick) {
  return s.may_guess && tick - s.remote_known < ROLLBACK_MAX_AHEAD;
}

// Waits until the other's input of `tick` is known, or the game must end.
// A pass run again that has to wait is past what can be run unseen: it is
// shown from here, and the ticks after it count as never run.
void wait_for(uint32_t tick) {
  if (s.unseen) {
    rollback_sounds_settle();
    s.unseen = 0;
    s.newest = tick;
  }
  while (!remote_known_at(tick) && !s.ended && !s.below->close_requested()) {
    rollback_drain_messages();
    rollback_serve(WAIT_SLICE_MS);
    rollback_refresh();
  }
}

}  // namespace

void rollback_fix_tick(void) {
  if (s.fixed) return;
  const uint32_t tick = s.tick;
  read_own_for(tick);
  RollbackInput remote;
  if (remote_known_at(tick)) {
    remote = remote_at(tick);
  } else if (may_guess_now(tick)) {
    remote = guess();
    s.guesses[tick] = remote;
    s.counts.guessed++;
  } else {
    wait_for(tick);
    remote = remote_at(tick);
  }
  s.may_guess = 0;
  s.now[s.side] = s.own[tick];
  s.now[1 - s.side] = remote;
  s.fixed = 1;
}

void rollback_serve(uint32_t wait_ms) {
  s.last_served_ms = s.below->ticks();
  if (s.rules.serve) s.rules.serve(wait_ms);
}

void rollback_drain_messages(void) {
  PlatMessage msg;
  while (s.below->peek_message(&msg)) {
    if (msg.message == WM_KILLFOCUS) s.away = 1;
    if (msg.message == WM_SETFOCUS) s.away = 0;
    // The player closing this machine's window ends its game: the one
    // message of the window system the game is given (kept apart from the
    // game's own posts, which a rewind puts back as they were).
    if (msg.message == WM_CLOSE) s.close_owed = 1;
  }
}

uint32_t rollback_tick(void) { return s.tick; }
uint32_t rollback_newest(void) { return s.newest; }
uint32_t rollback_own_known(void) { return (uint32_t)s.own.size(); }
RollbackInput rollback_own(uint32_t tick) {
  return tick < s.own.size() ? s.own[tick] : 0;
}
uint32_t rollback_remote_known(void) {
  return s.remote_ended && s.remote_end_tick <= s.remote_known ? UINT32_MAX
                                                               : s.remote_known;
}

RollbackInput rollback_own_next(void) {
  read_own_for(s.tick);
  return s.own[s.tick];
}

int rollback_put_remote(uint32_t tick, RollbackInput input) {
  if (s.remote_ended && tick >= s.remote_end_tick) return 0;
  if (tick >= s.remote.size()) {
    // Far ahead of what is known is no input of a player's: the other can't
    // read ticks that this machine hasn't.
    if (tick > s.tick + ROLLBACK_MAX_AHEAD * 8 + 1024) return 0;
    s.remote.resize(tick + 1, 0);
    s.remote_has.resize(tick + 1, 0);
  }
  if (s.remote_has[tick]) return 0;
  s.remote[tick] = input;
  s.remote_has[tick] = 1;
  while (s.remote_known < s.remote.size() && s.remote_has[s.remote_known])
    s.remote_known++;
  auto guessed = s.guesses.find(tick);
  if (guessed != s.guesses.end() && guessed->second != input) {
    if (tick < s.wrong) s.wrong = tick;
    s.counts.wrong++;
  }
  return 1;
}

void rollback_remote_ends(uint32_t tick, RollbackInput input) {
  if (s.remote_ended) return;
  // Inputs past a gap are not the other's last: it ends where all are known.
  if (tick > s.remote_known) tick = s.remote_known;
  s.remote_ended = 1;
  s.remote_end_tick = tick;
  s.remote_end_input = input;
  for (auto &g : s.guesses)
    if (g.first >= tick && g.second != input && g.first < s.wrong)
      s.wrong = g.first;
}

uint32_t rollback_take_wrong(void) {
  const uint32_t wrong = s.wrong;
  s.wrong = UINT32_MAX;
  return wrong;
}

void rollback_may_guess(int may) { s.may_guess = may; }

int rollback_guessed(uint32_t tick) { return s.guesses.count(tick) ? 1 : 0; }

void rollback_forget_before(uint32_t tick) {
  s.guesses.erase(s.guesses.begin(), s.guesses.lower_bound(tick));
  s.shown_on_guess.erase(s.shown_on_guess.begin(),
                         s.shown_on_guess.lower_bound(tick));
  rollback_sounds_forget_before(tick);
}
