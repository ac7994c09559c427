#include "run/wav_mix.h"

#include <stdio.h>

#include "assets/bytes.h"

std::vector<uint8_t> wav_mix_encode(const std::vector<int16_t> &samples,
                                    uint32_t rate) {
  const uint32_t data_bytes = (uint32_t)(2 * samples.size());
  std::vector<uint8_t> out;
  out.reserve(44 + data_bytes);
  put_tag(out, "RIFF");
  put_u32le(out, 36 + data_bytes);
  put_tag(out, "WAVE");
  put_tag(out, "fmt ");
  put_u32le(out, 16);
  put_u16le(out, 1);  // PCM
  put_u16le(out, 1);  // mono
  put_u32le(out, rate);
  put_u32le(out, 2 * rate);  // bytes per second
  put_u16le(out, 2);         // bytes per sample frame
  put_u16le(out, 16);        // bits per sample
  put_tag(out, "data");
  put_u32le(out, data_bytes);
  for (int16_t s : samples) put_u16le(out, (uint16_t)s);
  return out;
}

int wav_mix_write(const char *path, const std::vector<int16_t> &samples,
                  uint32_t rate) {
  const std::vector<uint8_t> bytes = wav_mix_encode(samples, rate);
  FILE *f = fopen(path, "wb");
  if (!f) return 0;
  const bool written = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && written ? 1 : 0;
}
