#include "assets/sounds.h"

#include <math.h>

#include "assets/noise.h"
#include "assets/wav_write.h"

namespace {

const float TWO_PI = 6.28318530718f;
const float RATE = (float)WAV_RATE;

std::vector<float> silence(float seconds) {
  return std::vector<float>((size_t)lroundf(seconds * RATE), 0.0f);
}

// The finished sound: no clicks at its ends, at the common loudness.
std::vector<float> finish(std::vector<float> samples) {
  sound_fade_ends(samples, 4.0f);
  sound_normalise(samples, SOUND_PEAK);
  return samples;
}

// A two-pole state-variable filter, band-pass output. It runs twice per
// sample: run once, it turns unstable for centres above a sixth of the rate.
struct BandPass {
  float low = 0.0f, band = 0.0f;
};

float band_pass(BandPass &f, float in, float centre_hz, float damping) {
  const float g = 2.0f * sinf(3.14159265f * centre_hz / (2.0f * RATE));
  for (int pass = 0; pass < 2; pass++) {
    const float high = in - f.low - damping * f.band;
    f.band += g * high;
    f.low += g * f.band;
  }
  return f.band;
}

}  // namespace

void sound_normalise(std::vector<float> &samples, float peak) {
  float loudest = 0.0f;
  for (float s : samples) loudest = fmaxf(loudest, fabsf(s));
  if (loudest <= 0.0f) return;
  for (float &s : samples) s *= peak / loudest;
}

void sound_fade_ends(std::vector<float> &samples, float ms) {
  const size_t n = samples.size();
  size_t len = (size_t)lroundf(ms * RATE / 1000.0f);
  if (len * 2 > n) len = n / 2;
  for (size_t i = 0; i < len; i++) {
    const float gain = (float)i / (float)len;
    samples[i] *= gain;
    samples[n - 1 - i] *= gain;
  }
}

// A spring: the pitch starts high, falls fast and wobbles while the tone
// dies away within a tenth of a second.
std::vector<float> sound_bounce() {
  std::vector<float> out = silence(0.10f);
  float phase = 0.0f;
  for (size_t i = 0; i < out.size(); i++) {
    const float t = (float)i / RATE;
    const float wobble = 1.0f + 0.06f * sinf(TWO_PI * 32.0f * t);
    const float hz = (290.0f + 420.0f * expf(-t / 0.012f)) * wobble;
    phase += TWO_PI * hz / RATE;
    const float tone =
        sinf(phase) + 0.35f * sinf(2.0f * phase) + 0.12f * sinf(3.0f * phase);
    const float attack = fminf(1.0f, t / 0.002f);
    out[i] = tone * attack * expf(-t / 0.03f);
  }
  return finish(out);
}

// Two detuned saws and a square an octave down beat against each other; a
// fast tremolo makes it rasp. Softened a little so it buzzes, not hisses.
std::vector<float> sound_goal() {
  std::vector<float> out = silence(0.5f);
  float p1 = 0.0f, p2 = 0.0f, p3 = 0.0f, smooth = 0.0f;
  for (size_t i = 0; i < out.size(); i++) {
    const float t = (float)i / RATE;
    p1 = fmodf(p1 + 98.0f / RATE, 1.0f);
    p2 = fmodf(p2 + 104.0f / RATE, 1.0f);
    p3 = fmodf(p3 + 49.0f / RATE, 1.0f);
    const float saws = (2.0f * p1 - 1.0f) + (2.0f * p2 - 1.0f);
    const float square = p3 < 0.5f ? 0.6f : -0.6f;
    const float raw = saws + square;
    smooth += 0.45f * (raw - smooth);  // gentle low-pass
    const float tremolo = 0.8f + 0.2f * sinf(TWO_PI * 12.0f * t);
    const float attack = fminf(1.0f, t / 0.006f);
    const float release = fminf(1.0f, (0.5f - t) / 0.07f);
    out[i] = smooth * tremolo * attack * release;
  }
  return finish(out);
}

// G, C, E, G, C rising, each a bell-like note that rings on under the next;
// the top note rings longest.
std::vector<float> sound_win() {
  const float notes[] = {392.0f, 523.25f, 659.25f, 783.99f, 1046.5f};
  const int note_count = 5;
  const float step = 0.11f;
  std::vector<float> out = silence(1.05f);
  for (int n = 0; n < note_count; n++) {
    const float start = step * (float)n;
    const float ring = n == note_count - 1 ? 0.32f : 0.16f;
    for (size_t i = (size_t)lroundf(start * RATE); i < out.size(); i++) {
      const float t = (float)i / RATE - start;
      const float ph = TWO_PI * notes[n] * t;
      const float tone = sinf(ph) + 0.45f * sinf(2.0f * ph) * expf(-t / 0.08f) +
                         0.25f * sinf(3.0f * ph) * expf(-t / 0.04f);
      const float attack = fminf(1.0f, t / 0.004f);
      out[i] += tone * attack * expf(-t / ring);
    }
  }
  // The tail falls to silence by the end instead of being cut.
  const float end = (float)out.size() / RATE;
  for (size_t i = 0; i < out.size(); i++) {
    const float left = end - (float)i / RATE;
    out[i] *= fminf(1.0f, left / 0.15f);
  }
  return finish(out);
}

// Noise through a band-pass that sweeps up and back down swells and fades
// like a flame catching; short bursts on top crackle.
std::vector<float> sound_title() {
  const float length = 0.8f;
  std::vector<float> out = silence(length);
  Rng rng = {0x5EED5u};
  BandPass whoosh, crackle_tone;
  float crackle = 0.0f;
  for (size_t i = 0; i < out.size(); i++) {
    const float t = (float)i / RATE;
    const float white = rng_unit(rng) * 2.0f - 1.0f;
    const float rise = fminf(1.0f, t / 0.22f);
    const float fall = fminf(1.0f, (length - t) / 0.45f);
    const float swell = rise * rise * fall;
    const float centre = 350.0f + 1700.0f * sinf(3.14159265f * t / length);
    const float body = band_pass(whoosh, white, centre, 0.5f) * swell;

    // A crackle starts about 45 times a second and dies in a few ms.
    if (rng_unit(rng) < 45.0f / RATE) crackle = 0.6f + 0.4f * rng_unit(rng);
    crackle *= 0.86f;
    const float snap = band_pass(crackle_tone, white * crackle, 2600.0f, 0.8f);
    out[i] = body + 0.9f * snap * fall;
  }
  return finish(out);
}
