#include "assets/wav_write.h"

#include <math.h>

#include "assets/bytes.h"

std::vector<uint8_t> wav_encode(const std::vector<float> &samples) {
  const uint32_t data_bytes = (uint32_t)samples.size();
  const uint32_t pad = data_bytes & 1;
  std::vector<uint8_t> out;
  out.reserve(44 + data_bytes + pad);

  put_tag(out, "RIFF");
  put_u32le(out, 4 + (8 + 16) + (8 + data_bytes + pad));
  put_tag(out, "WAVE");

  put_tag(out, "fmt ");
  put_u32le(out, 16);
  put_u16le(out, 1);  // PCM
  put_u16le(out, 1);  // mono
  put_u32le(out, (uint32_t)WAV_RATE);
  put_u32le(out, (uint32_t)WAV_RATE);  // bytes per second
  put_u16le(out, 1);                   // bytes per sample frame
  put_u16le(out, 8);                   // bits per sample

  put_tag(out, "data");
  put_u32le(out, data_bytes);
  for (float s : samples) {
    if (s > 1.0f) s = 1.0f;
    if (s < -1.0f) s = -1.0f;
    out.push_back((uint8_t)lroundf(128.0f + s * 127.0f));
  }
  if (pad) out.push_back(128);
  return out;
}

int32_t wav_write(const char *path, const std::vector<float> &samples) {
  return write_file(path, wav_encode(samples));
}
