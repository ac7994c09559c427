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
extern int32_t sound_first_call;

int32_t sound_init(void);
int32_t sound_load_wav(const char *filename, uint32_t flags);
int32_t sound_play(int32_t id, uint32_t flags);
int32_t sound_stop(int32_t id);
int32_t sound_stop_all(void);
int32_t sound_shutdown(void);

#endif
