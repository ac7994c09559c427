// A networked match of two: both players run the game, each with its own
// keys at once (platform/rollback), and send their keys for every frame to
// the other as datagrams. This runs the game pass by pass: before each pass
// it takes what the network brought; when the other's keys for frames run
// on a guess have come, it loads the last moment whose keys were all known
// and runs the passes since again, unseen, with the right keys; then it runs
// the next pass and shows it.
//
// The moments whose keys are all known are recorded (the recording layer is
// paused for frames run on a guess), so a recording or a watcher's stream
// holds only confirmed frames, a few frames behind the players. Every
// NET_MATCH_CHECK_EVERY_TICKS confirmed ticks each side hashes its game's
// state and sends it; a difference ends the match on both sides as out of
// step.
#ifndef QUILLFIRE_NET_MATCH_H
#define QUILLFIRE_NET_MATCH_H

#include <stdint.h>

#include "game/net_keys.h"
#include "platform/net/net_link.h"
#include "platform/rollback/rollback.h"

const uint32_t NET_MATCH_CHECK_EVERY_TICKS = 10;
// A checkpoint is sent in every datagram for this long after it is taken.
const uint32_t NET_MATCH_CHECK_SENT_MS = 1000;
// The other side's silence: a note after this long, the match lost after
// NET_MATCH_LOST_MS.
const uint32_t NET_MATCH_QUIET_MS = 500;
const uint32_t NET_MATCH_LOST_MS = 10000;
// A datagram goes at least this often, with nothing new (acknowledgements,
// the round trip, the other's silence judged by it).
const uint32_t NET_MATCH_ALIVE_MS = 50;
// After the game ends, the last keys are sent until the other has them, at
// most this long.
const uint32_t NET_MATCH_LINGER_MS = 1000;
// The exit status of a match that went out of step.
const int NET_MATCH_OUT_OF_STEP_STATUS = 3;
const uint32_t NET_MATCH_OUT_OF_STEP_SHOWN_MS = 2000;
const int INPUT_DELAY_DEFAULT = 0;
// A joiner that hears nothing of the host's datagrams this long gives up.
const uint32_t NET_MATCH_FIRST_DATAGRAM_MS = 5000;
// How long a joiner's screen says why its game ended.
const uint32_t NET_MATCH_LAST_WORD_MS = 2000;

struct NetMatchOptions {
  int side;  // NET_HOST or NET_JOINER
  NetLink *link;
  uint32_t input_delay;
  // Called each time the network is served: the TCP side (watchers, the
  // host's stream).
  void (*serve_tcp)(void);
  // What only this machine shows over each frame (notes); may be null.
  const uint8_t *(*over)(const uint8_t *pixels, int32_t pitch, int32_t width,
                         int32_t height);
  // Shows `line` on this machine's screen for `ms`, before the window goes
  // (out of step; a joiner's host gone). May be null.
  void (*last_word)(const char *line, uint32_t ms);
  uint16_t host_port;  // named when the host's datagrams never come
  // Tests only: from this tick on, this side's ball drifts a pixel a frame
  // in a running rally, as a game whose rules differ would. 0: never.
  uint32_t differ_from_tick;
};

struct NetMatchReport {
  RollbackCounts counts;
  uint32_t checks_compared;
  uint32_t out_of_step_tick;  // 0 unless out of step
  int out_of_step;
  uint64_t out_of_step_ms;   // net_now_ms() when found
  uint64_t differ_began_ms;  // tests: when the rules began to differ
  int lost;                  // the other went silent for NET_MATCH_LOST_MS, its
                             // datagrams never came, or it was dropped
  char lost_line[200];
  int other_left;  // the other left (its Q, Escape, window)
  int left;        // this player left (a joiner's Q or Escape)
  uint32_t confirmed_ticks;
  int32_t confirmed_score[2];  // the scores at the last confirmed moment
  NetLinkCounts link;
};

// Runs the game as one side of the match (shell_start, the passes,
// shell_end) under the rollback layer and the recording layer, which must be
// recording (record_start is called here once the layers are in place).
// Returns the game's exit status, or NET_MATCH_OUT_OF_STEP_STATUS.
int net_match_run(const NetMatchOptions *options);

NetMatchReport net_match_report(void);

// For the notes, while the match runs: the round trip as measured (0 before
// it is), how long the other has been silent, and whether it has left.
uint32_t net_match_round_trip_ms(void);
int net_match_heard(void);  // a datagram of the other's has come
uint32_t net_match_silent_ms(void);
int net_match_other_gone(void);
int net_match_running(void);

#endif
