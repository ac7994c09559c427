// Reading WAV files, the well-made ones and the ones that lie.
#include "engine/sound/wav.h"
#include "wav_files.h"

namespace {

// Reads `bytes` as a file: its samples, or "" when the read fails.
std::string read_wav(const std::string &bytes, int32_t *rate = nullptr) {
  const std::string path = write_file("t.wav", bytes);
  WavData wav;
  const int32_t read = wav_read(path.c_str(), &wav);
  remove(path.c_str());
  EXPECT_EQ(read != 0, wav.samples != nullptr);
  if (read) {
    EXPECT_GT(wav.size, 0u) << "a read that succeeds has samples";
  }
  const std::string samples =
      read ? std::string((const char *)wav.samples, wav.size) : "";
  if (rate) *rate = wav.rate;
  wav_free(&wav);
  return samples;
}

const std::string kSamples = "\x01\x7f\x80\xfe\xff";  // odd: a pad follows
const std::string kFormat = chunk("fmt ", format16(1, 1, 11025, 8));
const std::string kData = chunk("data", kSamples);

TEST(Wav, ReadsTheDataOfPcmFilesWhateverLiesBetween) {
  int32_t rate = 0;
  // A 16-byte format followed at once by "data": the format's 18-byte read
  // takes 2 bytes of the data chunk's id and the data is still found.
  EXPECT_EQ(read_wav(pcm8(kSamples), &rate), kSamples);
  EXPECT_EQ(rate, 11025);
  // An 18-byte format, odd-sized chunks with their pad bytes, a "LIST" after
  // the format and a chunk before it.
  EXPECT_EQ(read_wav(wave(chunk("JUNK", "abc") +
                          chunk("fmt ", format16(1, 2, 22050, 16) + le16(0)) +
                          chunk("LIST", "INFOx") + kData),
                     &rate),
            kSamples);
  EXPECT_EQ(rate, 22050);
  // A "WAVE" form after a RIFF of another kind.
  EXPECT_EQ(read_wav(chunk("RIFF", "AVI xyz") + pcm8(kSamples)), kSamples);
}

TEST(Wav, RefusesWhatIsNotAPcmWaveAndChecksSizesAgainstTheFile) {
  for (const std::string &bytes :
       {std::string(), std::string("RIFF"), wave(kFormat), wave(kData),
        chunk("RIFF", "AVI " + kFormat + kData), wave(kData + kFormat),
        wave(kFormat + chunk("data", "")),
        wave(chunk("fmt ", format16(2, 1, 11025, 4)) + kData),
        // Sizes that carry the search past the end, or a form too short
        // to hold its chunks, find nothing.
        wave(kFormat + chunk("LIST", "ab", 0xFFFFFFF0) + kData),
        wave(chunk("fmt ", format16(1, 1, 11025, 8), 0xFFFFFFFF) + kData),
        wave(kFormat + kData, 4 + kFormat.size()), wave(kFormat + kData, 0)}) {
    EXPECT_EQ(read_wav(bytes), "") << testing::PrintToString(bytes);
  }
  WavData wav;
  EXPECT_EQ(wav_read(temp_path("missing.wav").c_str(), &wav), 0);
  EXPECT_EQ(wav_read(::testing::TempDir().c_str(), &wav), 0);
  EXPECT_EQ(wav_read(nullptr, &wav), 0);

  // A data chunk or a form claiming more than is there gives what is there.
  EXPECT_EQ(read_wav(wave(kFormat + chunk("data", kSamples, 0xFFFFFFFF))),
            kSamples + '\0');
  EXPECT_EQ(read_wav(wave(kFormat + kData, 0xFFFFFFFF)), kSamples);
  // Every cut of a good file: nothing until a data byte is there, then the
  // bytes that made it.
  const std::string whole = pcm8(kSamples);
  const size_t data_at = 12 + kFormat.size() + 8;
  for (size_t cut = 0; cut <= whole.size(); cut++) {
    const size_t held = cut > data_at ? cut - data_at : 0;
    EXPECT_EQ(read_wav(whole.substr(0, cut)),
              kSamples.substr(0, held))  // never the pad byte
        << "cut at " << cut;
  }
}

// Random damage to a good file gives a failure or some bytes of the file,
// never a read or write outside it (the sanitizer build watches).
TEST(Wav, SurvivesDamagedFiles) {
  const std::string whole = wave(kFormat + chunk("LIST", "INFO") + kData);
  uint32_t seed = 12345;
  for (int round = 0; round < 400; round++) {
    std::string bytes = whole;
    for (int hits = 0; hits <= round % 4; hits++) {
      seed = seed * 1103515245 + 12345;
      bytes[(seed >> 8) % bytes.size()] = (char)(seed >> 24);
    }
    // 28: the smallest RIFF, format and data headers before any data.
    EXPECT_LE(read_wav(bytes).size(), bytes.size() - 28);
  }
}

}  // namespace
