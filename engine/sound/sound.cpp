// The sound table. Each loaded sound is one platform voice holding the whole
// sample data; the platform mixes whatever is playing.
#include "engine/sound/sound.h"

#include <string.h>

#include "engine/sound/wav.h"

SoundSlot sound_table[SOUND_MAX];
int32_t sound_first_call = 1;

namespace {

// Whether the audio device (the DirectSound object's stand-in) is open. Only
// the first sound_init opens it and only sound_shutdown closes it.
int device_open;

// The game plays whatever id a load returned, -1 included: ids outside the
// table are treated as a slot with no sound.
PlatVoice voice_of(int32_t id) {
  if (id < 0 || id >= SOUND_MAX) return 0;
  return sound_table[id].buffer;
}

}  // namespace

int32_t sound_init(void) {
  if (sound_first_call) {
    memset(sound_table, 0, sizeof sound_table);
    // Cleared before trying, so that a device that can't be opened is not
    // tried again by a later call.
    sound_first_call = 0;
    if (!plat_audio_open()) return 0;
    device_open = 1;
  }
  for (int32_t i = 0; i < SOUND_MAX; i++) {
    SoundSlot *slot = &sound_table[i];
    if (slot->buffer) {
      plat_voice_stop(slot->buffer);
      plat_voice_destroy(slot->buffer);
    }
    *slot = SoundSlot{0, 0, 0, 0, i};
  }
  return 1;
}

int32_t sound_load_wav(const char *filename, uint32_t flags) {
  // Every voice is a static, software-mixed buffer in the one fixed format
  // (8-bit unsigned mono at 11025 Hz); the platform offers no frequency, pan
  // or volume control for the caller's flags to ask for.
  (void)flags;
  int32_t id = 0;
  while (id < SOUND_MAX && sound_table[id].state != 0) id++;
  if (id == SOUND_MAX) return -1;
  // Without a device there is nothing to load into; the file is not read.
  if (!device_open) return -1;

  WavData wav;
  if (!wav_read(filename, &wav)) return -1;

  // From here on the slot is the load's, even if the voice can't be made.
  SoundSlot *slot = &sound_table[id];
  slot->state = 1;
  slot->rate = wav.rate;
  slot->size = (int32_t)wav.size;
  slot->buffer = plat_voice_create(wav.size);
  if (!slot->buffer) {
    wav_free(&wav);
    return -1;
  }
  uint32_t length = 0;
  uint8_t *samples = plat_voice_lock(slot->buffer, &length);
  if (!samples) {
    wav_free(&wav);
    return -1;
  }
  memcpy(samples, wav.samples, length < wav.size ? length : wav.size);
  const int unlocked = plat_voice_unlock(slot->buffer);
  wav_free(&wav);
  return unlocked ? id : -1;
}

int32_t sound_play(int32_t id, uint32_t flags) {
  const PlatVoice voice = voice_of(id);
  if (!voice) return 1;
  // One voice per sound: a sound that is still sounding starts again.
  if (!plat_voice_rewind(voice)) return 0;
  if (!plat_voice_play(voice, (flags & DSBPLAY_LOOPING) != 0)) return 0;
  return 1;
}

int32_t sound_stop(int32_t id) {
  const PlatVoice voice = voice_of(id);
  if (voice) {
    plat_voice_stop(voice);
    plat_voice_rewind(voice);
  }
  return 1;
}

int32_t sound_stop_all(void) {
  for (int32_t id = 0; id < SOUND_MAX; id++) sound_stop(id);
  return 1;
}

int32_t sound_shutdown(void) {
  sound_stop_all();
  for (int32_t id = 0; id < SOUND_MAX; id++) {
    if (sound_table[id].buffer) plat_voice_destroy(sound_table[id].buffer);
  }
  if (device_open) plat_audio_close();
  device_open = 0;
  return 1;
}

void sound_reset(void) {
  if (!sound_first_call) sound_shutdown();
  memset(sound_table, 0, sizeof sound_table);
  sound_first_call = 1;
  device_open = 0;
}
