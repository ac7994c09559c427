// Little- and big-endian stores into a growing byte buffer.
#ifndef QUILLFIRE_TOOLS_BYTES_H
#define QUILLFIRE_TOOLS_BYTES_H

#include <stdint.h>
#include <stdio.h>

#include <vector>

inline void put_u16le(std::vector<uint8_t> &out, uint32_t v) {
  out.push_back((uint8_t)v);
  out.push_back((uint8_t)(v >> 8));
}

inline void put_u32le(std::vector<uint8_t> &out, uint32_t v) {
  put_u16le(out, v & 0xFFFF);
  put_u16le(out, v >> 16);
}

inline void put_u32be(std::vector<uint8_t> &out, uint32_t v) {
  out.push_back((uint8_t)(v >> 24));
  out.push_back((uint8_t)(v >> 16));
  out.push_back((uint8_t)(v >> 8));
  out.push_back((uint8_t)v);
}

inline void put_tag(std::vector<uint8_t> &out, const char tag[4]) {
  out.insert(out.end(), tag, tag + 4);
}

// 1 when the whole buffer reached the file.
inline int32_t write_file(const char *path, const std::vector<uint8_t> &data) {
  FILE *file = fopen(path, "wb");
  if (!file) return 0;
  const size_t written = fwrite(data.data(), 1, data.size(), file);
  const int closed = fclose(file);
  return written == data.size() && closed == 0 ? 1 : 0;
}

#endif
