// The runner's sound file: 16-bit mono PCM WAV.
#ifndef QUILLFIRE_TOOLS_WAV_MIX_H
#define QUILLFIRE_TOOLS_WAV_MIX_H

#include <stdint.h>

#include <vector>

std::vector<uint8_t> wav_mix_encode(const std::vector<int16_t> &samples,
                                    uint32_t rate);
// 1 when the file was written.
int wav_mix_write(const char *path, const std::vector<int16_t> &samples,
                  uint32_t rate);

#endif
