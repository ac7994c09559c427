// The rollback layer: network play where both players run the game, each
// with its own keys at once and a guess of the other's, and where frames
// run on a wrong guess are run again.
//
// How it sits. One more table of calls (platform/plat_backend.h), put in use
// over the backend by rollback_start; the recording layer, when it records,
// sits over this one and records what the game read. rollback_finish puts
// the backend back.
//
// Ticks. A tick is one keyboard read of the game. Each tick has one input of
// each player (a RollbackInput, whose bits the game's rules give meaning to):
// this machine's own, read from its keyboard when the game first asks about
// the tick (its Escape query or its read), and the other player's, put in
// from the network (rollback_put_remote). The game's keyboard for the tick,
// its Escape query and its lost focus are all made from the two inputs by
// the rules (RollbackRules.merge), so that both machines' games read the
// same keys at the same tick. The window system's own messages never reach
// the game, but for the close: a lost focus becomes a bit of this machine's
// input instead.
//
// Guesses. The caller (network play, pass by pass) says when the next pass
// may run on a guess (rollback_may_guess): then its first tick, when the
// other's input for it is not known yet, runs with the other's last known
// input. Any other tick whose input is missing waits for it. Once the real
// input of a guessed tick has come, the caller loads the game's state of the
// last moment whose ticks were all known (rollback_mark / rollback_rewind
// beside game_load) and runs the passes up to the newest again, unseen
// (rollback_unseen): they present nothing and start no sound their first
// run started. A sound that the passes run again no longer start is stopped
// if it began less than ROLLBACK_SOUND_TAKEN_BACK_MS ago, and let go
// otherwise: cutting a sound off in its middle sounds worse than hearing a
// bounce that didn't happen end.
#ifndef QUILLFIRE_ROLLBACK_H
#define QUILLFIRE_ROLLBACK_H

#include <stdint.h>

#include <deque>

#include "platform/plat_backend.h"

typedef uint16_t RollbackInput;

// Which player this machine is: its input is index ROLLBACK_HOST or
// ROLLBACK_JOINER of the pairs the rules are given.
const int ROLLBACK_HOST = 0;
const int ROLLBACK_JOINER = 1;

// A guess goes at most this many ticks past the other's last known input;
// further, the game waits for it.
const uint32_t ROLLBACK_MAX_AHEAD = 20;
// A sound started by a frame that is taken back is stopped only this early
// in its playing.
const uint32_t ROLLBACK_SOUND_TAKEN_BACK_MS = 60;
// A sound that a frame run again starts, and its first run did not, is
// heard late only when that frame is this close to the newest.
const uint32_t ROLLBACK_LATE_SOUND_TICKS = 5;
// Input delay: own inputs are counted this many ticks late at most.
const uint32_t ROLLBACK_INPUT_DELAY_MAX = 4;

struct RollbackRules {
  // This machine's input from its keyboard as read now, and whether its
  // window has lost the focus.
  RollbackInput (*own)(const uint8_t keys[256], int away);
  // The game's keyboard for a tick, from both inputs of the tick and of the
  // tick before (index ROLLBACK_HOST, ROLLBACK_JOINER). Called once per
  // read, as the game reads.
  void (*merge)(const RollbackInput now[2], const RollbackInput before[2],
                uint8_t keys[256]);
  // The game's Escape query for a tick.
  int (*escape)(const RollbackInput now[2]);
  // Called while the layer waits for the other's input, and in every wait
  // of the game: takes what the network brought (rollback_put_remote), and
  // may wait on it at most `wait_ms`.
  void (*serve)(uint32_t wait_ms);
  // What only this machine shows over each frame it presents (notes): the
  // pixels to present instead (its own copy), or `pixels` itself. May be
  // null.
  const uint8_t *(*over)(const uint8_t *pixels, int32_t pitch, int32_t width,
                         int32_t height);
  // Whether the game is told at a tick's read, from the same inputs as
  // merge, that its window lost the focus: the layer then hands it
  // WM_KILLFOCUS among its messages, which it takes at its next look as it
  // takes the window system's. So a recording made over the layer holds it
  // as it holds a lost focus of a game played alone, and its replay pauses
  // where the game paused. May be null.
  int (*lost_focus)(const RollbackInput now[2], const RollbackInput before[2]);
};

// Called by network play before the game starts (and before the recording
// layer): puts the layer in use over the backend in use. `side` is
// ROLLBACK_HOST or ROLLBACK_JOINER; `input_delay` ticks (at most
// ROLLBACK_INPUT_DELAY_MAX) are added to own inputs.
void rollback_start(const RollbackRules *rules, int side, uint32_t input_delay);
// Called once the game has ended: the backend is in use again.
void rollback_finish(void);
// The backend below the layer, for what only this machine shows or reads
// outside the game (the waiting windows).
const PlatBackend *rollback_below(void);

// --- ticks and inputs ---

// The next tick the game will read (ticks read so far).
uint32_t rollback_tick(void);
// The highest tick any pass has reached, seen or unseen: passes that end at
// or before it are run again.
uint32_t rollback_newest(void);
// Own inputs are known for ticks below this (input delay: ahead of the
// game's reads), and the other's for ticks below rollback_remote_known.
uint32_t rollback_own_known(void);
RollbackInput rollback_own(uint32_t tick);
uint32_t rollback_remote_known(void);
// Reads own keys for the next tick now, if not yet read (network play asks
// before a pass whether this machine pressed Escape). Returns the input.
RollbackInput rollback_own_next(void);
// From the network: the other's input of `tick`. Repeats and inputs past a
// gap are kept; a repeat that differs from what is known is ignored (the
// first word counts). Returns 1 when it was new.
int rollback_put_remote(uint32_t tick, RollbackInput input);
// The other's inputs from `tick` on are all `input` (it left or was lost).
void rollback_remote_ends(uint32_t tick, RollbackInput input);
// The earliest tick whose guess proved wrong since the last call of
// rollback_take_wrong, or UINT32_MAX; taking it forgets it.
uint32_t rollback_take_wrong(void);
// 1 when the other's input of `tick` was guessed in its last run and has
// not come yet or came after (until the tick is forgotten).
int rollback_guessed(uint32_t tick);

// --- passes ---

// Called by network play before a pass that may run on a guess.
void rollback_may_guess(int may);
// Passes run again: nothing presented, no sound started twice (see above).
// Called with 1 before the first pass run again and 0 after the last.
void rollback_unseen(int unseen);
// 0 once a pass run again had to wait for the other's input: from there on
// it is shown, and rollback_newest is where it waits.
int rollback_is_unseen(void);
// A game that must end (the match was lost or out of step): every wait
// ends, and the close check says yes from now on.
void rollback_end(void);
int rollback_ended(void);

// A moment of the layer between two passes, kept beside the game's
// snapshot of the same moment.
struct RollbackMark {
  uint32_t tick;
  std::deque<PlatMessage> posts;  // the game's own posts not yet taken
  int close_taken;                // the game had taken its WM_CLOSE
};
void rollback_mark(RollbackMark *mark);
// Back to a marked moment (with the game's snapshot loaded): the ticks after
// it are read again. Guesses and sounds are kept.
void rollback_rewind(const RollbackMark *mark);
// Ticks below `tick` will never be read again: their guesses and sounds
// are forgotten.
void rollback_forget_before(uint32_t tick);

// The last frame shown presented again with what `over` draws now (a note
// that changed while the game waits).
void rollback_show_again(void);
// The same, at most every quarter second: for screens that wait.
void rollback_refresh(void);

// Called by network play around the passes it runs again whose keys are
// all known. While a test has set `verdict` (null: none, the default),
// each frame they compose is compared with the frame shown for the same
// tick on a guess, if any, and `verdict` is told whether they were the same
// (also counted in RollbackCounts.shown_right and shown_wrong).
void rollback_confirming(int confirming);
void rollback_on_verdict(void (*verdict)(uint32_t tick, int same));

// Counts, for the closing report and the tests.
struct RollbackCounts {
  uint64_t shown;        // frames presented
  uint64_t run_again;    // passes run unseen
  uint64_t guessed;      // ticks run on a guess
  uint64_t wrong;        // of those, guesses that proved wrong
  uint64_t corrections;  // times frames were taken back
  uint32_t deepest;      // the most ticks taken back at once
  uint32_t last_wrong;   // the tick of the last correction's wrong guess
  uint64_t sounds_late, sounds_stopped, sounds_let_go;
  // Frames shown on a guess, once run again on known keys: the same frame,
  // or another (the guess was wrong where it mattered).
  uint64_t shown_right, shown_wrong;
};
RollbackCounts rollback_counts(void);
// Called by network play as it runs the passes again after a wrong guess:
// the earliest wrong guess was of tick `wrong`, the newest tick `newest`.
void rollback_count_correction(uint32_t wrong, uint32_t newest);

#endif
