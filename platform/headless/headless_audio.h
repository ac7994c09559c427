// Controls of the headless audio, for tests.
//
// The headless platform mixes its voices in software, but only when a test
// asks for samples: headless_audio_render advances every playing voice by
// the frames it renders, exactly as a sound card's mixer would, and nothing
// else moves them. Every voice call that reaches a live voice is logged.
#ifndef QUILLFIRE_HEADLESS_AUDIO_H
#define QUILLFIRE_HEADLESS_AUDIO_H

#include <stddef.h>
#include <stdint.h>

#include "platform/platform.h"

enum HeadlessAudioEventKind {
  HEADLESS_AUDIO_CREATE,
  HEADLESS_AUDIO_UNLOCK,
  HEADLESS_AUDIO_PLAY,
  HEADLESS_AUDIO_STOP,
  HEADLESS_AUDIO_REWIND,
  HEADLESS_AUDIO_END,  // a voice played to its last sample and stopped
  HEADLESS_AUDIO_DESTROY
};

struct HeadlessAudioEvent {
  PlatVoice voice;
  HeadlessAudioEventKind kind;
  int looping;  // PLAY only: the looping argument
};

// Back to a fresh start: device closed, no voices, empty log, no failures,
// audio present, handles counted from 1 again.
void headless_audio_reset(void);

// Mixes `frames` samples at 11025 Hz, mono, into `out` (which may be null to
// only let time pass): each playing voice adds (sample - 128) * 256, and the
// sum is clamped to 16 bits. Voices are advanced as they are mixed.
void headless_audio_render(int16_t *out, uint32_t frames);

// The log since the reset (or the last clear), oldest first.
const HeadlessAudioEvent *headless_audio_events(size_t *count);
void headless_audio_clear_events(void);

int headless_audio_is_open(void);
int headless_audio_open_count(void);   // successful plat_audio_open calls
int headless_audio_voice_count(void);  // voices alive now

// The mute switch (the M key toggles it). While muted the mix is silent, but
// voices still play on and end as they would be heard.
void headless_audio_set_muted(int muted);
int headless_audio_muted(void);

// What can fail, each until the next reset.
void headless_audio_fail_create(int fail);  // plat_voice_create returns 0
void headless_audio_fail_lock(int fail);    // plat_voice_lock returns null

#endif
