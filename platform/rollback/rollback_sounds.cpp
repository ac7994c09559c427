// Sounds started once: each sound a frame starts is kept with its tick, so
// that the same frame run again starts it only when its first run did not,
// and a sound that frames run again no longer start is taken back.
#include <algorithm>

#include "platform/rollback/rollback_state.h"

namespace {

RollbackState &s = rollback_state;

// The tick the sound being started belongs to: the last the game took.
uint32_t sound_tick(void) { return s.fixed ? s.tick : s.tick - 1; }

}  // namespace

int rollback_voice_play(PlatVoice voice, int looping) {
  const uint32_t tick = sound_tick();
  if (!s.unseen) {
    const int played = s.below->voice_play(voice, looping);
    if (played) s.sounds.push_back({tick, voice, s.below->ticks(), 1});
    return played;
  }
  for (RollbackSound &sound : s.sounds) {
    if (sound.tick == tick && sound.voice == voice && !sound.matched) {
      sound.matched = 1;  // its first run started it: heard once
      return 1;
    }
  }
  // New in this run: heard late, when its frame is close to the newest.
  if (tick + ROLLBACK_LATE_SOUND_TICKS < s.newest) return voice != 0;
  s.below->voice_rewind(voice);
  const int played = s.below->voice_play(voice, looping);
  if (played) {
    s.sounds.push_back({tick, voice, s.below->ticks(), 1});
    s.counts.sounds_late++;
  }
  return played;
}

// Before passes are run again from `tick`: their sounds are to be started
// again.
void rollback_sounds_rewound(uint32_t tick) {
  for (RollbackSound &sound : s.sounds)
    if (sound.tick >= tick) sound.matched = 0;
}

// After passes were run again: a sound they did not start again is taken
// back, stopped while still early, let go otherwise.
void rollback_sounds_settle(void) {
  const uint32_t now = s.below->ticks();
  auto gone = [&](const RollbackSound &sound) {
    if (sound.matched) return false;
    if (now - sound.started_ms < ROLLBACK_SOUND_TAKEN_BACK_MS) {
      s.below->voice_stop(sound.voice);
      s.counts.sounds_stopped++;
    } else {
      s.counts.sounds_let_go++;
    }
    return true;
  };
  s.sounds.erase(std::remove_if(s.sounds.begin(), s.sounds.end(), gone),
                 s.sounds.end());
}

void rollback_sounds_forget_before(uint32_t tick) {
  s.sounds.erase(std::remove_if(s.sounds.begin(), s.sounds.end(),
                                [&](const RollbackSound &sound) {
                                  return sound.tick < tick;
                                }),
                 s.sounds.end());
}
