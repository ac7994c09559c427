// RIFF WAVE files for the tests, built byte by byte.
#ifndef QUILLFIRE_TESTS_WAV_FILES_H
#define QUILLFIRE_TESTS_WAV_FILES_H

#include <gtest/gtest.h>
#include <stdint.h>
#include <unistd.h>

#include <fstream>
#include <string>

inline std::string le32(uint32_t v) {
  return std::string{(char)v, (char)(v >> 8), (char)(v >> 16), (char)(v >> 24)};
}
inline std::string le16(uint16_t v) { return le32(v).substr(0, 2); }

// A chunk with its pad byte; `stated` overrides the size written.
inline std::string chunk(const std::string &id, const std::string &data,
                         int64_t stated = -1) {
  const uint32_t size = stated < 0 ? (uint32_t)data.size() : (uint32_t)stated;
  return id + le32(size) + data + (data.size() & 1 ? std::string(1, 0) : "");
}

// The 16 bytes of a format chunk, mono and 8 bits at `rate` (only the tag and
// the rate are read).
inline std::string format16(uint16_t tag, uint32_t rate) {
  return le16(tag) + le16(1) + le32(rate) + le32(rate) + le16(1) + le16(8);
}

inline std::string wave(const std::string &chunks, int64_t stated = -1) {
  return chunk("RIFF", "WAVE" + chunks, stated);
}

// A plain 8-bit mono 11025 Hz file holding `samples`.
inline std::string pcm8(const std::string &samples) {
  return wave(chunk("fmt ", format16(1, 11025)) + chunk("data", samples));
}

// A path of this process's own (tests run in parallel processes).
inline std::string temp_path(const std::string &name) {
  return ::testing::TempDir() + "qf" + std::to_string(getpid()) + "_" + name;
}

inline std::string write_file(const std::string &name,
                              const std::string &bytes) {
  const std::string path = temp_path(name);
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

#endif
