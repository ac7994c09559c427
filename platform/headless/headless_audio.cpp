// The headless audio: voices in memory, mixed only when a test renders them.
#include "platform/headless/headless_audio.h"

#include <string.h>

#include <vector>

#include "platform/headless/headless.h"

namespace {

const uint8_t SILENCE = 0x80;

struct Voice {
  PlatVoice handle;
  std::vector<uint8_t> playing_samples;  // what the mix hears
  std::vector<uint8_t> locked_samples;   // what a lock hands out
  int locked;
  uint32_t position;
  int playing;
  int looping;
};

int audio_present = 1;
int audio_open;
int open_count;
int fail_create, fail_lock;
int muted;
PlatVoice next_handle = 1;
std::vector<Voice> voices;  // in creation order, which is also mixing order
std::vector<HeadlessAudioEvent> events;

void log_event(PlatVoice voice, HeadlessAudioEventKind kind, int looping = 0) {
  events.push_back(HeadlessAudioEvent{voice, kind, looping});
}

Voice *find(PlatVoice handle) {
  if (!audio_open) return nullptr;
  for (Voice &v : voices) {
    if (v.handle == handle) return &v;
  }
  return nullptr;
}

// The next sample of a playing voice, moving it on; at its end the voice
// loops or stops back at its start.
int32_t take_sample(Voice *v) {
  const int32_t sample = v->playing_samples[v->position];
  v->position++;
  if (v->position == v->playing_samples.size()) {
    v->position = 0;
    if (!v->looping) {
      v->playing = 0;
      log_event(v->handle, HEADLESS_AUDIO_END);
    }
  }
  return sample;
}

}  // namespace

void headless_set_audio_present(int present) { audio_present = present; }
void headless_audio_set_muted(int on) { muted = on; }
int headless_audio_muted(void) { return muted; }
void headless_audio_mute(int mute) { muted = mute ? 1 : 0; }

void headless_audio_reset(void) {
  audio_present = 1;
  muted = 0;
  audio_open = 0;
  open_count = 0;
  fail_create = fail_lock = 0;
  next_handle = 1;
  voices.clear();
  events.clear();
}

void headless_audio_render(int16_t *out, uint32_t frames) {
  for (uint32_t i = 0; i < frames; i++) {
    int32_t sum = 0;
    for (Voice &v : voices) {
      if (v.playing) sum += (take_sample(&v) - SILENCE) * 256;
    }
    if (sum > INT16_MAX) sum = INT16_MAX;
    if (sum < INT16_MIN) sum = INT16_MIN;
    if (out) out[i] = muted ? 0 : (int16_t)sum;
  }
}

const HeadlessAudioEvent *headless_audio_events(size_t *count) {
  *count = events.size();
  return events.data();
}

void headless_audio_clear_events(void) { events.clear(); }
int headless_audio_is_open(void) { return audio_open; }
int headless_audio_open_count(void) { return open_count; }
int headless_audio_voice_count(void) { return (int)voices.size(); }
void headless_audio_fail_create(int fail) { fail_create = fail; }
void headless_audio_fail_lock(int fail) { fail_lock = fail; }

int headless_audio_open(void) {
  if (!audio_present) return 0;
  if (!audio_open) open_count++;
  audio_open = 1;
  return 1;
}

PlatVoice headless_voice_create(uint32_t bytes) {
  if (!audio_open || bytes == 0 || fail_create) return 0;
  Voice v;
  v.handle = next_handle++;
  v.playing_samples.assign(bytes, SILENCE);
  v.locked = 0;
  v.position = 0;
  v.playing = 0;
  v.looping = 0;
  voices.push_back(v);
  log_event(v.handle, HEADLESS_AUDIO_CREATE);
  return v.handle;
}

uint8_t *headless_voice_lock(PlatVoice voice, uint32_t *bytes) {
  Voice *v = find(voice);
  if (!v || fail_lock) return nullptr;
  if (!v->locked) v->locked_samples = v->playing_samples;
  v->locked = 1;
  *bytes = (uint32_t)v->locked_samples.size();
  return v->locked_samples.data();
}

int headless_voice_unlock(PlatVoice voice) {
  Voice *v = find(voice);
  if (!v || !v->locked) return 0;
  v->playing_samples.swap(v->locked_samples);
  v->locked_samples.clear();
  v->locked = 0;
  log_event(voice, HEADLESS_AUDIO_UNLOCK);
  return 1;
}

int headless_voice_play(PlatVoice voice, int looping) {
  Voice *v = find(voice);
  if (!v) return 0;
  v->playing = 1;
  v->looping = looping ? 1 : 0;
  log_event(voice, HEADLESS_AUDIO_PLAY, v->looping);
  return 1;
}

int headless_voice_stop(PlatVoice voice) {
  Voice *v = find(voice);
  if (!v) return 0;
  v->playing = 0;
  log_event(voice, HEADLESS_AUDIO_STOP);
  return 1;
}

int headless_voice_rewind(PlatVoice voice) {
  Voice *v = find(voice);
  if (!v) return 0;
  v->position = 0;
  log_event(voice, HEADLESS_AUDIO_REWIND);
  return 1;
}

int headless_voice_playing(PlatVoice voice) {
  Voice *v = find(voice);
  return v && v->playing ? 1 : 0;
}

// Shared by headless_voice_destroy and headless_audio_close: a backend never
// calls plat_*, which would go through a layer over it (the recording's).
static void destroy_voice(PlatVoice voice) {
  for (size_t i = 0; audio_open && i < voices.size(); i++) {
    if (voices[i].handle == voice) {
      voices.erase(voices.begin() + (long)i);
      log_event(voice, HEADLESS_AUDIO_DESTROY);
      return;
    }
  }
}

void headless_voice_destroy(PlatVoice voice) { destroy_voice(voice); }

void headless_audio_close(void) {
  while (!voices.empty()) destroy_voice(voices.front().handle);
  audio_open = 0;
}
