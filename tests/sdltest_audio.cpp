// The SDL audio backend: the conversion every voice goes through, the voice
// calls on the dummy driver, and the mix itself as SDL's disk driver saves it.
#include <gtest/gtest.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sdl/sdl_audio.h"

namespace {

// A converted sound lasts as long as its source, to the frame: nothing held
// back at the end; and a steady level is still there near the end.
TEST(SdlAudio, ConversionKeepsTheWholeSound) {
  struct Format {
    SDL_AudioFormat format;
    uint8_t channels;
    int freq;
  };
  for (Format f : {Format{AUDIO_F32SYS, 2, 48000},
                   {AUDIO_S16SYS, 2, 44100},
                   {AUDIO_S32SYS, 6, 96000},
                   {AUDIO_U8, 1, 8000},
                   {AUDIO_U8, 1, VOICE_RATE}}) {
    const uint32_t frame = SDL_AUDIO_BITSIZE(f.format) / 8 * f.channels;
    for (uint32_t bytes : {2u, 551u, 12345u}) {
      std::vector<uint8_t> samples(bytes, 0xC0);
      uint32_t length = 0;
      uint8_t *out = sdl_audio_convert(samples.data(), bytes, f.format,
                                       f.channels, f.freq, &length);
      ASSERT_NE(out, nullptr);
      EXPECT_EQ(length % frame, 0u);
      EXPECT_NEAR(length / frame, (double)bytes * f.freq / VOICE_RATE, 1.0)
          << f.format << " x" << (int)f.channels << " at " << f.freq;
      SDL_free(out);
    }
  }
  uint32_t length = 0;
  EXPECT_EQ(sdl_audio_convert(nullptr, 0, AUDIO_F32SYS, 2, 48000, &length),
            nullptr);
}

bool wait_playing(PlatVoice voice, int playing) {
  for (int waited = 0; waited < 2000; waited += 5) {
    if (plat_voice_playing(voice) == playing) return true;
    SDL_Delay(5);
  }
  return false;
}

PlatVoice make_voice(uint32_t bytes, uint8_t level) {
  const PlatVoice voice = plat_voice_create(bytes);
  uint32_t length = 0;
  uint8_t *samples = plat_voice_lock(voice, &length);
  if (samples) memset(samples, level, length);
  plat_voice_unlock(voice);
  return voice;
}

TEST(SdlAudio, VoicesOnTheDummyDevice) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  ASSERT_EQ(plat_audio_open(), 1) << SDL_GetError();
  EXPECT_EQ(plat_voice_create(0), 0);
  const PlatVoice voice = make_voice(1100, 0xC0);  // 0.1 s
  ASSERT_NE(voice, 0);
  // Played once it ends by itself; looping it outlasts its length.
  EXPECT_EQ(plat_voice_play(voice, 0), 1);
  EXPECT_TRUE(wait_playing(voice, 0));
  EXPECT_EQ(plat_voice_play(voice, 1), 1);
  SDL_Delay(300);
  EXPECT_EQ(plat_voice_rewind(voice), 1);
  EXPECT_EQ(plat_voice_playing(voice), 1);
  EXPECT_EQ(plat_voice_stop(voice), 1);
  EXPECT_EQ(plat_voice_playing(voice), 0);
  plat_voice_destroy(voice);
  EXPECT_EQ(plat_voice_play(voice, 0), 0);
  plat_voice_play(make_voice(50, 0x90), 1);
  plat_audio_close();  // takes the voice left playing with it

  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  EXPECT_EQ(plat_audio_open(), 0);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  EXPECT_EQ(plat_voice_create(100), 0);
}

// 0.1 s at +0.5, then two voices at +0.75 together, whose sum is clamped.
TEST(SdlAudio, TheMixOnTheDiskDriver) {
  const std::string path = ::testing::TempDir() + "quillfire_mix.raw";
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", path.c_str(), 1);
  const int opened = plat_audio_open();
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  ASSERT_EQ(opened, 1) << SDL_GetError();
  SDL_AudioSpec spec;
  sdl_audio_device_spec(&spec);
  EXPECT_LE(spec.samples, 1024);
  ASSERT_EQ(spec.format, AUDIO_F32SYS);  // what the disk driver takes
  ASSERT_EQ(spec.channels, 2);
  const PlatVoice half = make_voice(1103, 0xC0);
  const PlatVoice loud = make_voice(1103, 0xE0), loud2 = make_voice(1103, 0xE0);
  plat_voice_play(half, 0);
  ASSERT_TRUE(wait_playing(half, 0));
  plat_voice_play(loud, 0);
  plat_voice_play(loud2, 0);
  ASSERT_TRUE(wait_playing(loud, 0) && wait_playing(loud2, 0));
  plat_audio_close();

  FILE *raw = fopen(path.c_str(), "rb");
  ASSERT_NE(raw, nullptr);
  int at_half = 0, at_full = 0, over = 0;
  float frame[2];
  while (fread(frame, sizeof frame, 1, raw) == 1) {
    at_half += fabsf(frame[0] - 0.5f) < 0.05f;
    at_full += fabsf(frame[0] - 1.0f) < 0.05f;
    over += frame[0] > 1.0f;
  }
  fclose(raw);
  remove(path.c_str());
  const double expected = 1103.0 * spec.freq / VOICE_RATE;
  EXPECT_NEAR(at_half, expected, 16);
  EXPECT_NEAR(at_full, expected, 16);
  EXPECT_EQ(over, 0);
}

}  // namespace
