// The rollback layer's state, shared by its files (rollback_layer.cpp: the
// calls of its table; rollback_inputs.cpp: the ticks' inputs and guesses;
// rollback_sounds.cpp: sounds started once).
#ifndef QUILLFIRE_ROLLBACK_STATE_H
#define QUILLFIRE_ROLLBACK_STATE_H

#include <deque>
#include <map>
#include <vector>

#include "platform/plat_backend.h"
#include "platform/rollback/rollback.h"

struct RollbackSound {
  uint32_t tick;  // the tick whose frame started it
  PlatVoice voice;
  uint32_t started_ms;  // the backend's clock when it was started
  int matched;          // started again by the passes run again since
};

struct RollbackState {
  PlatBackend table;
  const PlatBackend *below;
  RollbackRules rules;
  int side;
  uint32_t delay;
  int active;

  // The game's reads.
  uint32_t tick;            // the next tick read
  int fixed;                // the inputs of `tick` are taken (an Escape query)
  RollbackInput now[2];     // the inputs of `tick` once fixed
  RollbackInput before[2];  // the inputs of the tick before, as used
  uint32_t newest;
  int may_guess;
  int unseen;
  int ended;
  int close_owed;   // the game must end: WM_CLOSE is still to be given
  int close_taken;  // the game took it (a rewind to before gives it again)

  // The inputs, by tick.
  std::vector<RollbackInput> own;  // read so far (input delay: ahead)
  std::vector<RollbackInput> remote;
  std::vector<uint8_t> remote_has;
  uint32_t remote_known;  // every remote input below this is known
  int remote_ended;
  uint32_t remote_end_tick;
  RollbackInput remote_end_input;
  std::map<uint32_t, RollbackInput> guesses;  // ticks run on a guess
  uint32_t wrong;
  uint8_t raw_keys[256];  // this machine's keyboard as last read
  int raw_pending;        // ... read by a wait, not yet taken by a tick
  int away;               // this machine's window has lost the focus

  // The window and the clock.
  PlatWindow *window;
  std::deque<PlatMessage> posts;  // the game's own, and the close
  uint32_t clock;                 // passes run unseen: a virtual clock
  uint32_t last_served_ms;
  uint32_t shown_ms;  // when the last frame was last presented

  // The last frame shown, to show again with a new note.
  std::vector<uint8_t> frame;
  uint8_t palette[1024];
  int32_t pitch, width, height;

  std::vector<RollbackSound> sounds;
  // Frames shown on a guess, by tick, to be compared with the same tick's
  // frame once it is run on known keys.
  std::map<uint32_t, uint32_t> shown_on_guess;
  int confirming;
  void (*verdict)(uint32_t tick, int same);
  RollbackCounts counts;
};

extern RollbackState rollback_state;

// rollback_inputs.cpp: fixes the inputs of the next tick (reads own keys,
// takes or guesses the other's, waits when it may not guess).
void rollback_fix_tick(void);
// Serves the network while waiting, at most `wait_ms`.
void rollback_serve(uint32_t wait_ms);
// Takes what the window system queued: the focus, a close.
void rollback_drain_messages(void);

// rollback_sounds.cpp
int rollback_voice_play(PlatVoice voice, int looping);
void rollback_sounds_rewound(uint32_t tick);
void rollback_sounds_settle(void);
void rollback_sounds_forget_before(uint32_t tick);

#endif
