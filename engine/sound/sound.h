// The sound table: up to 64 sounds loaded from WAV files, played, rewound and
// stopped by sound id.
#ifndef QUILLFIRE_SOUND_H
#define QUILLFIRE_SOUND_H

#include <stdint.h>

#include "platform/platform.h"

const int32_t SOUND_MAX = 64;

const uint32_t DSBCAPS_STATIC = 0x2;
const uint32_t DSBCAPS_LOCSOFTWARE = 0x8;
const uint32_t DSBCAPS_CTRLFREQUENCY = 0x20;
const uint32_t DSBCAPS_CTRLPAN = 0x40;
const uint32_t DSBCAPS_CTRLVOLUME = 0x80;
const uint32_t DSBPLAY_LOOPING = 0x1;

struct SoundSlot {
  PlatVoice buffer;  // 0 when the slot holds no sound
  int32_t state;     // 0 free, 1 claimed by a load
  int32_t rate;      // samples per second stated by the file
  int32_t size;      // bytes of sample data
  int32_t id;        // the slot's own index
};

extern SoundSlot sound_table[SOUND_MAX];
// 1 until the first sound_init, which opens the audio device.
extern int32_t sound_first_call;

// Back to the state the program starts with, releasing whatever is held;
// for tests and tools that run the library many times in one process. The
// game never calls it.
void sound_reset(void);

// The first call opens the audio device (0 when there is none; the game then
// runs silent). Every call stops and releases all loaded sounds and empties
// the table.
int32_t sound_init(void);
// Loads a WAV file into the first free slot and returns its id, or -1. A load
// that fails after the file was read keeps its slot claimed until the next
// sound_init. Without an audio device every load returns -1.
int32_t sound_load_wav(const char *filename, uint32_t flags);
// Plays the sound from its start (DSBPLAY_LOOPING: for ever). Ids that hold no
// sound, including those outside 0..63, do nothing and give 1.
int32_t sound_play(int32_t id, uint32_t flags);
// Silences the sound and rewinds it. Always 1.
int32_t sound_stop(int32_t id);
int32_t sound_stop_all(void);
// Stops every sound, then releases them all and closes the device. Last of
// all sound calls.
int32_t sound_shutdown(void);

#endif
