// The 64-slot sound table's voices through Web Audio: each voice's 8-bit
// 11025 Hz samples become one AudioBuffer when the game hands them over,
// and a play starts a buffer source from the voice's position. Where a
// voice is, and whether it still sounds, is worked out here from the page's
// clock, so the game gets the same answers before the player's first key
// (when the browser holds all sound back) as after.
#include <emscripten.h>

#include <vector>

#include "platform/web/web_internal.h"

namespace {

const double SAMPLES_PER_MS = 11025.0 / 1000.0;

struct Voice {
  PlatVoice handle;
  std::vector<uint8_t> samples;
  int locked;
  int playing;
  int looping;
  uint32_t from;    // the sample it was started or left at
  double start_ms;  // when it was started, while playing
};

int device_open;
int muted;
std::vector<Voice> voices;
PlatVoice next_handle = 1;

}  // namespace

EM_JS(int, web_js_audio_open, (void), { return qfWeb.audioOpen(); });
EM_JS(void, web_js_voice_set, (int voice, const uint8_t *samples, int length),
      { qfWeb.voiceSet(voice, samples, length); });
EM_JS(void, web_js_voice_play, (int voice, int from, int looping),
      { qfWeb.voicePlay(voice, from, looping); });
EM_JS(void, web_js_voice_stop, (int voice), { qfWeb.voiceStop(voice); });
EM_JS(void, web_js_voice_destroy, (int voice), { qfWeb.voiceDestroy(voice); });
EM_JS(void, web_js_set_muted, (int on), { qfWeb.setMuted(on); });

namespace {

Voice *find(PlatVoice handle) {
  for (Voice &v : voices) {
    if (v.handle == handle) return &v;
  }
  return nullptr;
}

// Brings the voice's position up to now: a voice played to its end without
// looping has stopped and is back at its first sample.
void settle(Voice *v) {
  if (!v->playing || v->samples.empty()) return;
  const double now = web_now_ms();
  const double at = v->from + (now - v->start_ms) * SAMPLES_PER_MS;
  const double length = (double)v->samples.size();
  if (at < length) return;
  if (v->looping) {
    const double into = at - length * (double)(uint64_t)(at / length);
    v->from = (uint32_t)into;
    v->start_ms = now;
  } else {
    v->playing = 0;
    v->from = 0;
  }
}

uint32_t position_now(Voice *v) {
  settle(v);
  if (!v->playing) return v->from;
  return v->from + (uint32_t)((web_now_ms() - v->start_ms) * SAMPLES_PER_MS);
}

}  // namespace

int web_audio_open(void) {
  device_open = web_js_audio_open();
  web_js_set_muted(muted);
  return device_open;
}

PlatVoice web_voice_create(uint32_t bytes) {
  if (!device_open || bytes == 0) return 0;
  Voice v = {};
  v.handle = next_handle++;
  v.samples.assign(bytes, 0x80);
  voices.push_back(v);
  web_js_voice_set(v.handle, voices.back().samples.data(), (int)bytes);
  return v.handle;
}

uint8_t *web_voice_lock(PlatVoice voice, uint32_t *bytes) {
  Voice *v = find(voice);
  if (!v) return nullptr;
  v->locked = 1;
  *bytes = (uint32_t)v->samples.size();
  return v->samples.data();
}

int web_voice_unlock(PlatVoice voice) {
  Voice *v = find(voice);
  if (!v || !v->locked) return 0;
  v->locked = 0;
  web_js_voice_set(v->handle, v->samples.data(), (int)v->samples.size());
  return 1;
}

int web_voice_play(PlatVoice voice, int looping) {
  Voice *v = find(voice);
  if (!v) return 0;
  settle(v);
  v->looping = looping ? 1 : 0;
  if (v->playing) return 1;
  v->playing = 1;
  v->start_ms = web_now_ms();
  web_js_voice_play(v->handle, (int)v->from, v->looping);
  return 1;
}

int web_voice_stop(PlatVoice voice) {
  Voice *v = find(voice);
  if (!v) return 0;
  v->from = position_now(v);
  v->playing = 0;
  web_js_voice_stop(v->handle);
  return 1;
}

int web_voice_rewind(PlatVoice voice) {
  Voice *v = find(voice);
  if (!v) return 0;
  settle(v);
  v->from = 0;
  if (v->playing) {
    v->start_ms = web_now_ms();
    web_js_voice_play(v->handle, 0, v->looping);
  }
  return 1;
}

int web_voice_playing(PlatVoice voice) {
  Voice *v = find(voice);
  if (!v) return 0;
  settle(v);
  return v->playing;
}

void web_voice_destroy(PlatVoice voice) {
  for (size_t i = 0; i < voices.size(); i++) {
    if (voices[i].handle == voice) {
      web_js_voice_destroy(voice);
      voices.erase(voices.begin() + (ptrdiff_t)i);
      return;
    }
  }
}

void web_audio_close(void) {
  for (const Voice &v : voices) web_js_voice_destroy(v.handle);
  voices.clear();
  device_open = 0;
}

int web_audio_muted(void) { return muted; }

void web_audio_mute(int mute) {
  muted = mute ? 1 : 0;
  web_js_set_muted(muted);
}

void web_audio_toggle_mute(void) { web_audio_mute(!muted); }
