// The sound table on the headless audio backend, fed any bytes as a WAV
// file: the game's four loads, every sound played (once looping) and mixed
// past its end, stopped, and the table shut down. Each input starts from a
// closed device, as a new run of the game does.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include "engine/sound/sound.h"
#include "fuzz/memory_file.h"
#include "platform/headless/headless_audio.h"

namespace {
MemoryFile input;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  headless_audio_reset();
  sound_first_call = 1;
  sound_init();
  const char *path = memory_file_hold(&input, data, size);
  int32_t ids[4];
  for (int32_t &id : ids) id = sound_load_wav(path, DSBCAPS_CTRLVOLUME);
  sound_play(ids[0], 0);
  sound_play(ids[1], DSBPLAY_LOOPING);
  sound_play(ids[2], 0);
  static int16_t mix[4096];
  // The mixer walks every playing voice, a whole sound's length and more.
  headless_audio_render(mix, 4096);
  sound_stop(ids[2]);
  sound_play(ids[2], 0);
  headless_audio_render(mix, 1024);
  sound_stop_all();
  sound_shutdown();
  if (headless_audio_voice_count() != 0) abort();  // nothing outlives it
  return 0;
}
