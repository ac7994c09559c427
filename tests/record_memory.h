// Recording sinks and sources in memory, for the tests of the recording
// layer and of what plays through it.
#ifndef QUILLFIRE_TESTS_RECORD_MEMORY_H
#define QUILLFIRE_TESTS_RECORD_MEMORY_H

#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/record/record.h"
#include "platform/record/record_format.h"

inline int memory_write(void *user, const uint8_t *bytes, size_t count) {
  std::vector<uint8_t> *out = (std::vector<uint8_t> *)user;
  out->insert(out->end(), bytes, bytes + count);
  return 1;
}
inline RecordSink memory_sink(std::vector<uint8_t> *out) {
  return {memory_write, nullptr, out};
}

// A stream read back from memory. A live one, as a joiner's socket, has
// nothing yet at its first `waits` reads, and at every other read when
// `live`.
struct Memory {
  std::vector<uint8_t> bytes;
  size_t step = 4096;  // bytes given a read at most
  int waits = 0;
  bool live = false;
  size_t at = 0;
  bool waited = false;
};
inline long memory_read(void *user, uint8_t *buffer, size_t count) {
  Memory *m = (Memory *)user;
  if (m->waits > 0 || (m->live && !m->waited)) {
    m->waits--;
    m->waited = true;
    return RECORD_SOURCE_WAIT;
  }
  m->waited = false;
  const size_t n = std::min({count, m->step, m->bytes.size() - m->at});
  if (n > 0) memcpy(buffer, m->bytes.data() + m->at, n);
  m->at += n;
  return (long)n;
}
inline RecordSource memory_source(Memory *m) {
  return {memory_read, nullptr, m};
}

// Every record of a stream, its runs unfolded, its header left out; empty
// for what is no recording.
inline std::vector<RecordBytes> records_of(const std::vector<uint8_t> &stream) {
  Memory m{stream};
  RecordReader r;
  std::string error;
  std::vector<RecordBytes> out;
  if (!reader_begin(&r, memory_source(&m), &error)) return out;
  RecordBytes b;
  while (reader_next(&r, &b, &error) == READER_RECORD) out.push_back(b);
  return out;
}

#endif
