// Writes a sound as a RIFF WAVE file of 8-bit unsigned mono PCM at 11025 Hz,
// the one format the game plays.
#ifndef QUILLFIRE_TOOLS_WAV_WRITE_H
#define QUILLFIRE_TOOLS_WAV_WRITE_H

#include <stdint.h>

#include <vector>

const int32_t WAV_RATE = 11025;

// Samples from -1 to 1 (clamped) become bytes around 128. The "data" chunk
// holds one byte per sample; an odd count gets the pad byte RIFF asks for.
std::vector<uint8_t> wav_encode(const std::vector<float> &samples);

// 1 when written, 0 when the file can't be written.
int32_t wav_write(const char *path, const std::vector<float> &samples);

#endif
