// Reading WAV files, the well-made ones and the ones that lie.
#include "engine/sound/wav.h"
#include "wav_files.h"

namespace {

// Reads `bytes` as a file: its samples, or "" when the read fails.
std::string read_wav(const std::string &bytes) {
  const std::string path = write_file("t.wav", bytes);
  WavData wav;
  const int32_t read = wav_read(path.c_str(), &wav);
  remove(path.c_str());
  // A success holds samples; a failure leaves none behind.
  EXPECT_EQ(read != 0, wav.samples != nullptr && wav.size > 0);
  const std::string samples =
      read ? std::string((const char *)wav.samples, wav.size) : "";
  wav_free(&wav);
  return samples;
}

const std::string SAMPLES = "\x01\x7f\x80\xfe\xff";  // odd: a pad follows
const std::string FORMAT = chunk("fmt ", format16(1, 11025));
const std::string DATA = chunk("data", SAMPLES);

// A "WAVE" form after a RIFF of another kind; in it an 18-byte format,
// odd-sized chunks with their pad bytes, a chunk before the format and a
// "LIST" after it.
TEST(Wav, ReadsTheSamplesWhateverLiesAroundThem) {
  EXPECT_EQ(read_wav(chunk("RIFF", "AVI xyz") +
                     wave(chunk("JUNK", "abc") +
                          chunk("fmt ", format16(1, 22050) + le16(0)) +
                          chunk("LIST", "INFOx") + DATA)),
            SAMPLES);
}

// Not a PCM wave, "data" before "fmt ", no samples, sizes that carry the
// search past the end of the file (or, taken in 32 bits, back to the same
// chunk), a form that ends inside the data chunk's header.
TEST(Wav, RefusesWhatIsNotAPcmWave) {
  for (const std::string &bytes :
       {std::string(), std::string("RIFF"), wave(FORMAT), wave(DATA),
        chunk("RIFF", "AVI " + FORMAT + DATA),
        wave(DATA + chunk("fmt ", format16(1, 11025) + le16(0))),
        wave(FORMAT + chunk("data", "")),
        wave(chunk("fmt ", format16(2, 11025)) + DATA),
        wave(FORMAT + chunk("LIST", "ab", 0xFFFFFFF8) + DATA),
        wave(chunk("fmt ", format16(1, 11025), 0xFFFFFFFF) + DATA),
        wave(FORMAT + DATA, 8 + FORMAT.size()), wave(FORMAT + DATA, 0)}) {
    EXPECT_EQ(read_wav(bytes), "") << testing::PrintToString(bytes);
  }
  WavData wav;
  EXPECT_EQ(wav_read(temp_path("missing.wav").c_str(), &wav), 0);
  EXPECT_EQ(wav_read(::testing::TempDir().c_str(), &wav), 0);
}

// A file cut short gives a failure or the sample bytes it still holds, never a
// read or write outside it (the sanitizer build watches; fuzz_wav tries damaged
// files of every kind).
TEST(Wav, CutAndDamagedFilesGiveNoMoreThanTheyHold) {
  // Every cut of a good file, whose data and RIFF chunks then claim more than
  // is there; uncut, its 16-byte format is followed at once by "data", so the
  // format's 18-byte read takes 2 bytes of the data chunk's id.
  const std::string whole = pcm8(SAMPLES);
  const size_t data_at = 12 + FORMAT.size() + 8;
  for (size_t cut = 0; cut <= whole.size(); cut++) {
    const size_t held = cut > data_at ? cut - data_at : 0;
    EXPECT_EQ(read_wav(whole.substr(0, cut)), SAMPLES.substr(0, held))
        << "cut at " << cut;
  }
  // A data chunk claiming 4 GiB gives what is there, its pad byte included.
  EXPECT_EQ(read_wav(wave(FORMAT + chunk("data", SAMPLES, 0xFFFFFFFF))),
            SAMPLES + '\0');
}

}  // namespace
