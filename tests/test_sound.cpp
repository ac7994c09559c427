// The sound table over the headless audio: what is loaded, what is heard and
// in which order the voices are handled.
#include <sys/inotify.h>

#include <vector>

#include "engine/sound/sound.h"
#include "platform/headless/headless_audio.h"
#include "support.h"
#include "wav_files.h"

namespace {

std::string silence(size_t frames) { return std::string(frames, '\x80'); }

// The next `frames` of the mix, as 8-bit samples.
std::string heard(size_t frames) {
  std::vector<int16_t> out(frames);
  headless_audio_render(out.data(), (uint32_t)frames);
  std::string bytes;
  for (int16_t s : out) bytes += (char)(s / 256 + 0x80);
  return bytes;
}

class Sound : public Fresh {
 protected:
  void SetUp() override {
    Fresh::SetUp();
    for (int i = 0; i < 40; i++) ramp += (char)(0x81 + 2 * i);
    ramp_file = write_file("ramp.wav", pcm8(ramp));
    ASSERT_EQ(sound_init(), 1);
  }
  void TearDown() override { remove(ramp_file.c_str()); }
  int32_t load_ramp() { return sound_load_wav(ramp_file.c_str(), 0xE0); }

  std::string ramp, ramp_file;
};

// Slots are taken in order: not by a file that is refused, but by a load that
// failed once its file was read (its voice, made but unfilled, kept until
// released). The 65th load fails without opening its file; sound_init frees
// every slot and voice.
TEST_F(Sound, SlotsAreTakenInOrderAndFreedOnlyBySoundInit) {
  const std::string adpcm =
      write_file("adpcm.wav",
                 wave(chunk("fmt ", format16(2, 11025)) + chunk("data", "ab")));
  EXPECT_EQ(sound_load_wav(adpcm.c_str(), 0), -1);
  remove(adpcm.c_str());
  headless_audio_fail_create(1);
  EXPECT_EQ(load_ramp(), -1);
  headless_audio_fail_create(0);
  headless_audio_fail_lock(1);
  EXPECT_EQ(load_ramp(), -1);
  headless_audio_fail_lock(0);
  for (int32_t id = 2; id < SOUND_MAX; id++) ASSERT_EQ(load_ramp(), id);
  EXPECT_EQ(headless_audio_voice_count(), 63);  // the unfilled one among them
  const int watch = inotify_init1(IN_NONBLOCK);
  ASSERT_GE(inotify_add_watch(watch, ramp_file.c_str(), IN_OPEN), 0);
  EXPECT_EQ(load_ramp(), -1);
  char event[256];
  EXPECT_LT(read(watch, event, sizeof event), 0) << "the file was opened";
  close(watch);
  EXPECT_EQ(sound_init(), 1);
  EXPECT_EQ(headless_audio_voice_count(), 0);
  EXPECT_EQ(load_ramp(), 0);
}

TEST_F(Sound, PlayingRestartsAndStoppingRewinds) {
  ASSERT_EQ(load_ramp(), 0);
  EXPECT_EQ(sound_play(0, 0), 1);
  EXPECT_EQ(heard(10), ramp.substr(0, 10));
  sound_play(0, 0);  // while sounding: from the start again, once
  EXPECT_EQ(heard(45), ramp + silence(5));

  sound_play(0, 0);
  heard(10);
  EXPECT_EQ(sound_stop(0), 1);
  EXPECT_EQ(heard(5), silence(5));
  plat_voice_play(sound_table[0].buffer, 0);  // from where stop left it
  EXPECT_EQ(heard(5), ramp.substr(0, 5));

  sound_play(0, DSBPLAY_LOOPING);
  EXPECT_EQ(heard(90), ramp + ramp + ramp.substr(0, 10));
  // Ids without a sound, in the table or outside it, leave it playing on.
  for (int32_t id : {-1, 1, 63, 64, INT32_MIN, INT32_MAX}) {
    EXPECT_EQ(sound_play(id, 0), 1);
    EXPECT_EQ(sound_stop(id), 1);
  }
  EXPECT_EQ(heard(30), ramp.substr(10));
  ASSERT_EQ(load_ramp(), 1);
  sound_play(1, 0);  // another sound plays alongside, not instead
  EXPECT_EQ(plat_voice_playing(sound_table[0].buffer), 1);
}

TEST_F(Sound, ShutdownStopsEverySoundBeforeReleasingAny) {
  for (int32_t id = 0; id < 3; id++) sound_play(load_ramp(), DSBPLAY_LOOPING);
  headless_audio_clear_events();
  EXPECT_EQ(sound_shutdown(), 1);
  size_t count;
  const HeadlessAudioEvent *e = headless_audio_events(&count);
  std::string order;  // S for a stop, D for a release
  for (size_t i = 0; i < count; i++) {
    if (e[i].kind == HEADLESS_AUDIO_STOP) order += 'S';
    if (e[i].kind == HEADLESS_AUDIO_DESTROY) order += 'D';
  }
  EXPECT_EQ(order, "SSSDDD");
  EXPECT_EQ(headless_audio_is_open(), 0);
}

// The bytes of any PCM file, here 16-bit stereo at 22050 Hz, are played as
// 8-bit mono at 11025 Hz.
TEST_F(Sound, AWideFileIsPlayedAsItsBytes) {
  const std::string data = "\x10\x90\x20\xA0\x30\xB0\x40\xC0";
  const std::string made = write_file(
      "s16.wav", wave(chunk("fmt ", le16(1) + le16(2) + le32(22050) +
                                        le32(88200) + le16(4) + le16(16)) +
                      chunk("data", data)));
  ASSERT_EQ(sound_load_wav(made.c_str(), 0), 0);
  remove(made.c_str());
  EXPECT_EQ(sound_table[0].rate, 22050);
  sound_play(0, 0);
  EXPECT_EQ(heard(data.size() + 1), data + silence(1));
}

TEST(SoundWithoutDevice, LoadsAndPlaysAreHarmless) {
  reset_everything();
  headless_set_audio_present(0);
  EXPECT_EQ(sound_init(), 0);
  const std::string file = write_file("ok.wav", pcm8("\x90\x90"));
  EXPECT_EQ(sound_load_wav(file.c_str(), 0), -1);
  remove(file.c_str());
  EXPECT_EQ(sound_play(0, 0), 1);
  EXPECT_EQ(sound_shutdown(), 1);
}

}  // namespace
