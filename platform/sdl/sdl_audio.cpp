// Audio on SDL: one device opened in its own format, and voices converted to
// that format once, when their samples are handed over, so that the audio
// callback only adds bytes together.
//
// The callback runs on SDL's audio thread. It reads the voice list and each
// voice's converted samples, position and flags; the game's thread changes
// those only while holding SDL_LockAudioDevice. The game's thread alone
// writes a voice's unconverted samples, which the callback never sees.
#include "platform/sdl/sdl_audio.h"

#include <limits.h>
#include <string.h>

#include <vector>

#include "platform/platform.h"
#include "platform/sdl/sdl_internal.h"

namespace {

// Frames per callback: 512 at 48 kHz is under 11 ms, so a sound started in a
// frame is heard within that 20 ms frame.
const Uint16 DEVICE_FRAMES = 512;
const uint8_t SILENCE = 0x80;

struct Voice {
  PlatVoice handle;
  uint8_t *samples;  // the game's 8-bit mono samples (SDL_malloc'd)
  uint32_t bytes;
  int locked;
  uint8_t *converted;  // the samples in the device's format (SDL_malloc'd)
  uint32_t length;     // bytes of `converted`, whole frames
  uint32_t position;   // byte offset into `converted`
  int playing;
  int looping;
};

SDL_AudioDeviceID device;
SDL_AudioSpec device_spec;
std::vector<Voice *> voices;
PlatVoice next_handle = 1;
SDL_atomic_t muted;  // read by the audio thread

// SDL's own mixing clamps integer samples at every add, but lets float ones
// run past full scale; they are brought back here, once the sum is complete.
void clamp_float_mix(Uint8 *stream, uint32_t len) {
  if (device_spec.format != AUDIO_F32SYS) return;
  float *samples = (float *)stream;
  for (uint32_t i = 0; i < len / sizeof(float); i++) {
    if (samples[i] > 1.0f) samples[i] = 1.0f;
    if (samples[i] < -1.0f) samples[i] = -1.0f;
  }
}

void SDLCALL mix(void *, Uint8 *stream, int len) {
  memset(stream, device_spec.silence, (size_t)len);
  const uint32_t wanted = (uint32_t)len;
  for (Voice *v : voices) {
    uint32_t done = 0;
    while (v->playing && done < wanted) {
      if (v->length == 0) {
        v->playing = 0;
        break;
      }
      uint32_t count = v->length - v->position;
      if (count > wanted - done) count = wanted - done;
      SDL_MixAudioFormat(stream + done, v->converted + v->position,
                         device_spec.format, count, SDL_MIX_MAXVOLUME);
      done += count;
      v->position += count;
      if (v->position >= v->length) {
        v->position = 0;
        if (!v->looping) v->playing = 0;
      }
    }
  }
  clamp_float_mix(stream, wanted);
  if (SDL_AtomicGet(&muted)) memset(stream, device_spec.silence, wanted);
}

Voice *find(PlatVoice handle) {
  if (!device) return nullptr;
  for (Voice *v : voices) {
    if (v->handle == handle) return v;
  }
  return nullptr;
}

uint8_t *convert_for_device(const uint8_t *samples, uint32_t bytes,
                            uint32_t *length) {
  return sdl_audio_convert(samples, bytes, device_spec.format,
                           device_spec.channels, device_spec.freq, length);
}

void free_voice(Voice *v) {
  SDL_free(v->samples);
  SDL_free(v->converted);
  delete v;
}

// Opens the default device in its own format, or returns 0.
SDL_AudioDeviceID open_device(SDL_AudioSpec *have) {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return 0;
  SDL_AudioSpec want;
  SDL_zero(want);
  want.freq = 48000;
  want.format = AUDIO_F32SYS;
  want.channels = 2;
  // Ask for the device's own format where SDL can tell it, so that SDL has
  // nothing to convert after the mix.
  char *name = nullptr;
  SDL_AudioSpec preferred;
  if (SDL_GetDefaultAudioInfo(&name, &preferred, 0) == 0) {
    if (preferred.freq > 0) want.freq = preferred.freq;
    if (preferred.format != 0) want.format = preferred.format;
    if (preferred.channels > 0) want.channels = preferred.channels;
    SDL_free(name);
  }
  want.samples = DEVICE_FRAMES;
  want.callback = mix;
  const SDL_AudioDeviceID opened =
      SDL_OpenAudioDevice(nullptr, 0, &want, have, SDL_AUDIO_ALLOW_ANY_CHANGE);
  if (!opened) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  return opened;
}

}  // namespace

uint8_t *sdl_audio_convert(const uint8_t *samples, uint32_t bytes,
                           SDL_AudioFormat format, uint8_t channels, int freq,
                           uint32_t *converted) {
  if (bytes == 0) return nullptr;
  SDL_AudioCVT cvt;
  if (SDL_BuildAudioCVT(&cvt, AUDIO_U8, 1, VOICE_RATE, format, channels, freq) <
      0) {
    return nullptr;
  }
  // SDL converts in place in a buffer len_mult times the input, and counts
  // its lengths in int.
  const uint64_t room = (uint64_t)bytes * (uint64_t)cvt.len_mult;
  if (room > (uint64_t)INT_MAX) return nullptr;
  uint8_t *buffer = (uint8_t *)SDL_malloc((size_t)room);
  if (!buffer) return nullptr;
  memcpy(buffer, samples, bytes);
  cvt.buf = buffer;
  cvt.len = (int)bytes;
  if (SDL_ConvertAudio(&cvt) != 0) {
    SDL_free(buffer);
    return nullptr;
  }
  *converted = (uint32_t)cvt.len_cvt;
  return buffer;
}

void sdl_audio_toggle_mute(void) {
  SDL_AtomicSet(&muted, !SDL_AtomicGet(&muted));
}

int sdl_audio_muted(void) { return SDL_AtomicGet(&muted); }

void sdl_audio_mute(int mute) { SDL_AtomicSet(&muted, mute ? 1 : 0); }

int sdl_audio_device_spec(SDL_AudioSpec *spec) {
  if (!device) return 0;
  *spec = device_spec;
  return 1;
}

int sdl_audio_open(void) {
  if (device) return 1;
  // ALSA lists every missing card while SDL looks for a device; a game
  // without sound runs on silently.
  const int saved = sdl_hush_stderr();
  device = open_device(&device_spec);
  sdl_restore_stderr(saved);
  if (!device) return 0;
  SDL_PauseAudioDevice(device, 0);
  return 1;
}

PlatVoice sdl_voice_create(uint32_t bytes) {
  if (!device || bytes == 0) return 0;
  Voice *v = new Voice{};
  v->samples = (uint8_t *)SDL_malloc(bytes);
  if (v->samples) {
    memset(v->samples, SILENCE, bytes);
    v->converted = convert_for_device(v->samples, bytes, &v->length);
  }
  if (!v->samples || !v->converted) {
    free_voice(v);
    return 0;
  }
  v->bytes = bytes;
  v->handle = next_handle++;
  SDL_LockAudioDevice(device);
  voices.push_back(v);
  SDL_UnlockAudioDevice(device);
  return v->handle;
}

uint8_t *sdl_voice_lock(PlatVoice voice, uint32_t *bytes) {
  Voice *v = find(voice);
  if (!v) return nullptr;
  v->locked = 1;
  *bytes = v->bytes;
  return v->samples;
}

int sdl_voice_unlock(PlatVoice voice) {
  Voice *v = find(voice);
  if (!v || !v->locked) return 0;
  v->locked = 0;
  uint32_t length = 0;
  uint8_t *converted = convert_for_device(v->samples, v->bytes, &length);
  if (!converted) return 0;
  SDL_LockAudioDevice(device);
  uint8_t *old = v->converted;
  v->converted = converted;
  v->length = length;
  if (v->position >= length) v->position = 0;
  SDL_UnlockAudioDevice(device);
  SDL_free(old);
  return 1;
}

int sdl_voice_play(PlatVoice voice, int looping) {
  Voice *v = find(voice);
  if (!v) return 0;
  SDL_LockAudioDevice(device);
  v->playing = 1;
  v->looping = looping ? 1 : 0;
  SDL_UnlockAudioDevice(device);
  return 1;
}

int sdl_voice_stop(PlatVoice voice) {
  Voice *v = find(voice);
  if (!v) return 0;
  SDL_LockAudioDevice(device);
  v->playing = 0;
  SDL_UnlockAudioDevice(device);
  return 1;
}

int sdl_voice_rewind(PlatVoice voice) {
  Voice *v = find(voice);
  if (!v) return 0;
  SDL_LockAudioDevice(device);
  v->position = 0;
  SDL_UnlockAudioDevice(device);
  return 1;
}

int sdl_voice_playing(PlatVoice voice) {
  Voice *v = find(voice);
  if (!v) return 0;
  SDL_LockAudioDevice(device);
  const int playing = v->playing;
  SDL_UnlockAudioDevice(device);
  return playing;
}

void sdl_voice_destroy(PlatVoice voice) {
  Voice *v = find(voice);
  if (!v) return;
  SDL_LockAudioDevice(device);
  for (size_t i = 0; i < voices.size(); i++) {
    if (voices[i] == v) {
      voices.erase(voices.begin() + (long)i);
      break;
    }
  }
  SDL_UnlockAudioDevice(device);
  free_voice(v);
}

void sdl_audio_close(void) {
  if (!device) return;
  // Once closed the callback no longer runs, so the voices left can go
  // without the lock.
  SDL_CloseAudioDevice(device);
  device = 0;
  for (Voice *v : voices) free_voice(v);
  voices.clear();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}
