// The sound table over the headless audio: what is loaded, what is heard and
// in which order the voices are handled.
#include <sys/inotify.h>

#include <vector>

#include "engine/sound/sound.h"
#include "platform/headless/headless_audio.h"
#include "support.h"
#include "wav_files.h"

namespace {

class Sound : public Fresh {
 protected:
  void SetUp() override {
    Fresh::SetUp();
    for (int i = 0; i < 40; i++) ramp += (char)(0x81 + 2 * i);
    ramp_file = write_file("ramp.wav", pcm8(ramp));
    ASSERT_EQ(sound_init(), 1);
  }
  void TearDown() override { remove(ramp_file.c_str()); }

  // The next `frames` of the mix, as the 8-bit samples of one voice alone
  // would give it.
  std::string heard(size_t frames) {
    std::vector<int16_t> out(frames);
    headless_audio_render(out.data(), (uint32_t)frames);
    std::string bytes;
    for (int16_t s : out) bytes += (char)(s / 256 + 0x80);
    return bytes;
  }
  std::string silence(size_t frames) { return std::string(frames, '\x80'); }

  std::vector<HeadlessAudioEvent> events() {
    size_t count;
    const HeadlessAudioEvent *e = headless_audio_events(&count);
    return std::vector<HeadlessAudioEvent>(e, e + count);
  }

  std::string ramp, ramp_file;
};

TEST_F(Sound, SlotsAreTakenInOrderAndFreedOnlyBySoundInit) {
  for (int32_t id = 0; id < SOUND_MAX; id++) {
    ASSERT_EQ(sound_load_wav(ramp_file.c_str(), 0xE0), id);
  }
  EXPECT_EQ(sound_table[5].rate, 11025);
  EXPECT_EQ(sound_table[5].size, 40);
  // The 65th load fails without opening its file.
  const int watch = inotify_init1(IN_NONBLOCK);
  ASSERT_GE(inotify_add_watch(watch, ramp_file.c_str(), IN_OPEN), 0);
  EXPECT_EQ(sound_load_wav(ramp_file.c_str(), 0), -1);
  char event[256];
  EXPECT_LT(read(watch, event, sizeof event), 0) << "the file was opened";
  close(watch);

  sound_play(3, DSBPLAY_LOOPING);
  EXPECT_EQ(sound_init(), 1);
  EXPECT_EQ(headless_audio_voice_count(), 0);
  EXPECT_EQ(headless_audio_open_count(), 1);  // the device was kept
  EXPECT_EQ(heard(50), silence(50));
  for (int32_t id = 0; id < SOUND_MAX; id++) {
    EXPECT_EQ(sound_table[id].id, id);
  }
  EXPECT_EQ(sound_load_wav(ramp_file.c_str(), 0), 0);
}

TEST_F(Sound, FailedLoadsKeepTheSlotOnlyOnceTheFileWasRead) {
  const std::string adpcm = sox_tone("adpcm.wav", "-r 11025 -e ms-adpcm");
  ASSERT_FALSE(adpcm.empty()) << "sox is needed";
  EXPECT_EQ(sound_load_wav(adpcm.c_str(), 0), -1);
  remove(adpcm.c_str());
  EXPECT_EQ(sound_load_wav(temp_path("missing.wav").c_str(), 0), -1);
  EXPECT_EQ(sound_table[0].state, 0);

  headless_audio_fail_create(1);
  EXPECT_EQ(sound_load_wav(ramp_file.c_str(), 0), -1);
  headless_audio_fail_create(0);
  headless_audio_fail_lock(1);
  EXPECT_EQ(sound_load_wav(ramp_file.c_str(), 0), -1);
  headless_audio_fail_lock(0);
  EXPECT_EQ(sound_table[0].state, 1);
  EXPECT_EQ(sound_table[0].buffer, 0);
  EXPECT_NE(sound_table[1].buffer, 0);  // kept until released
  EXPECT_EQ(sound_load_wav(ramp_file.c_str(), 0), 2);
  sound_shutdown();
  EXPECT_EQ(headless_audio_voice_count(), 0);
}

TEST_F(Sound, PlayingRestartsStoppingRewindsAndSoundsOverlap) {
  ASSERT_EQ(sound_load_wav(ramp_file.c_str(), 0), 0);
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
  // A second sound is heard with the first, not instead of it.
  const std::string low = write_file("low.wav", pcm8(std::string(30, 0x70)));
  ASSERT_EQ(sound_load_wav(low.c_str(), 0), 1);
  remove(low.c_str());
  sound_play(1, 0);
  std::string both;
  for (int i = 10; i < 40; i++) both += (char)(ramp[i] - 0x10);
  EXPECT_EQ(heard(30), both);

  headless_audio_clear_events();
  for (int32_t id : {-1, 2, 64, INT32_MIN}) {
    EXPECT_EQ(sound_play(id, 0), 1);
    EXPECT_EQ(sound_stop(id), 1);
  }
  EXPECT_TRUE(events().empty());
}

TEST_F(Sound, ShutdownStopsEverySoundBeforeReleasingAny) {
  for (int i = 0; i < 3; i++) sound_load_wav(ramp_file.c_str(), 0);
  for (int i = 0; i < 3; i++) sound_play(i, DSBPLAY_LOOPING);
  headless_audio_clear_events();
  EXPECT_EQ(sound_shutdown(), 1);
  std::string order;  // S for a stop, D for a release
  for (const HeadlessAudioEvent &e : events()) {
    if (e.kind == HEADLESS_AUDIO_STOP) order += 'S';
    if (e.kind == HEADLESS_AUDIO_DESTROY) order += 'D';
  }
  EXPECT_EQ(order, "SSSDDD");
  EXPECT_EQ(headless_audio_is_open(), 0);
}

TEST_F(Sound, AWideFileIsPlayedAsItsBytes) {
  const std::string made = sox_tone("s16.wav", "-r 22050 -b 16 -c 2");
  ASSERT_FALSE(made.empty()) << "sox is needed";
  const std::string data = read_file(made).substr(44);  // sox's header
  ASSERT_EQ(sound_load_wav(made.c_str(), 0), 0);
  remove(made.c_str());
  EXPECT_EQ(sound_table[0].rate, 22050);
  EXPECT_EQ(sound_table[0].size, (int32_t)data.size());
  sound_play(0, 0);
  EXPECT_EQ(heard(data.size()), data);
  EXPECT_EQ(events().back().kind, HEADLESS_AUDIO_END);
}

using SoundWithoutDevice = Fresh;

TEST_F(SoundWithoutDevice, NothingIsLoadedAndNothingRetried) {
  headless_set_audio_present(0);
  EXPECT_EQ(sound_init(), 0);
  EXPECT_EQ(sound_table[7].id, 0);  // the ids are not written
  headless_set_audio_present(1);
  EXPECT_EQ(sound_init(), 1);
  EXPECT_EQ(headless_audio_open_count(), 0);
  const std::string file = write_file("ok.wav", pcm8("\x90\x90"));
  EXPECT_EQ(sound_load_wav(file.c_str(), 0), -1);
  remove(file.c_str());
  EXPECT_EQ(sound_play(0, 0), 1);
  EXPECT_EQ(sound_shutdown(), 1);
}

}  // namespace
