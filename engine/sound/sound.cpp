// Not built yet: the sound table.
#include "engine/sound/sound.h"

SoundSlot sound_table[SOUND_MAX];
int32_t sound_first_call = 1;

int32_t sound_init(void) { return 0; }
int32_t sound_load_wav(const char *, uint32_t) { return -1; }
int32_t sound_play(int32_t, uint32_t) { return 1; }
int32_t sound_stop(int32_t) { return 1; }
int32_t sound_stop_all(void) { return 1; }
int32_t sound_shutdown(void) { return 1; }
