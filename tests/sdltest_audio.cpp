// The SDL audio backend: the conversion every voice goes through, the voice
// calls on the dummy driver, and the mix as SDL's disk driver saves it.
#include <gtest/gtest.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <tuple>
#include <vector>

#include "platform/platform.h"
#include "platform/sdl/sdl_audio.h"

namespace {

// A converted sound lasts as long as its source, to the frame: nothing is
// held back at the end.
TEST(SdlAudio, ConversionKeepsTheWholeSound) {
  for (auto [format, channels, freq] : {std::tuple{AUDIO_F32SYS, 2, 48000},
                                        {AUDIO_S16SYS, 2, 44100},
                                        {AUDIO_S32SYS, 6, 96000},
                                        {AUDIO_U8, 1, 8000},
                                        {AUDIO_U8, 1, 11025}}) {
    for (uint32_t bytes : {2u, 551u, 12345u}) {
      const std::vector<uint8_t> samples(bytes, 0xC0);
      uint32_t length = 0;
      uint8_t *out = sdl_audio_convert(samples.data(), bytes, format, channels,
                                       freq, &length);
      ASSERT_NE(out, nullptr);
      const uint32_t frame = SDL_AUDIO_BITSIZE(format) / 8 * channels;
      EXPECT_EQ(length % frame, 0u);
      EXPECT_NEAR(length / frame, (double)bytes * freq / VOICE_RATE, 1.0)
          << format << " x" << channels << " at " << freq;
      SDL_free(out);
    }
  }
}

bool wait_until_stopped(PlatVoice voice) {
  for (int waited = 0; waited < 2000 && plat_voice_playing(voice);
       waited += 5) {
    SDL_Delay(5);
  }
  return plat_voice_playing(voice) == 0;
}

PlatVoice make_voice(uint32_t bytes, uint8_t level) {
  const PlatVoice voice = plat_voice_create(bytes);
  uint32_t length = 0;
  uint8_t *samples = plat_voice_lock(voice, &length);
  if (samples) memset(samples, level, length);
  plat_voice_unlock(voice);
  return voice;
}

// A voice at +0.5 with a shorter one at +0.75 over it: their sum is clamped
// to full scale while both sound, then the first is heard alone to its end,
// where it stops by itself. Looped, a voice outlasts its length until stopped;
// destroyed, it no longer plays.
TEST(SdlAudio, TheMixIsTheClampedSumOfTheVoices) {
  const std::string path = ::testing::TempDir() + "quillfire_mix.raw";
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", path.c_str(), 1);
  ASSERT_EQ(plat_audio_open(), 1) << SDL_GetError();
  SDL_AudioSpec spec;
  sdl_audio_device_spec(&spec);
  ASSERT_EQ(spec.format, AUDIO_F32SYS);  // what the disk driver takes
  const PlatVoice half = make_voice(1103, 0xC0), loud = make_voice(551, 0xE0);
  EXPECT_EQ(plat_voice_play(half, 0), 1);
  plat_voice_play(loud, 0);
  ASSERT_TRUE(wait_until_stopped(half));
  // Looping at +0.75 alone, which neither count below takes.
  EXPECT_EQ(plat_voice_play(loud, 1), 1);
  SDL_Delay(300);
  EXPECT_EQ(plat_voice_playing(loud), 1);
  EXPECT_EQ(plat_voice_stop(loud), 1);
  EXPECT_EQ(plat_voice_playing(loud), 0);
  plat_voice_destroy(loud);
  EXPECT_EQ(plat_voice_play(loud, 0), 0);
  plat_audio_close();

  FILE *raw = fopen(path.c_str(), "rb");
  ASSERT_NE(raw, nullptr);
  int at_half = 0, at_full = 0;
  std::vector<float> frame(spec.channels);
  while (fread(frame.data(), sizeof(float), frame.size(), raw) ==
         frame.size()) {
    at_half += fabsf(frame[0] - 0.5f) < 0.05f;
    at_full += fabsf(frame[0] - 1.0f) < 0.05f;
  }
  fclose(raw);
  remove(path.c_str());
  EXPECT_NEAR(at_full, 551.0 * spec.freq / VOICE_RATE, 16);
  EXPECT_NEAR(at_half, 552.0 * spec.freq / VOICE_RATE, 16);
}

}  // namespace
