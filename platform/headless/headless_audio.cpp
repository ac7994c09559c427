// Not built yet: the headless audio mix.
#include "platform/headless/headless.h"

void headless_set_audio_present(int) {}
int plat_audio_open(void) { return 0; }
PlatVoice plat_voice_create(uint32_t) { return 0; }
uint8_t *plat_voice_lock(PlatVoice, uint32_t *) { return nullptr; }
int plat_voice_unlock(PlatVoice) { return 0; }
int plat_voice_play(PlatVoice, int) { return 0; }
int plat_voice_stop(PlatVoice) { return 0; }
int plat_voice_rewind(PlatVoice) { return 0; }
int plat_voice_playing(PlatVoice) { return 0; }
void plat_voice_destroy(PlatVoice) {}
void plat_audio_close(void) {}
