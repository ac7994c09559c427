// The recording reader on any bytes: the header, then every record, runs
// unfolded up to a bound, each record's numbers read back as the replay
// reads them.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <algorithm>
#include <string>

#include "platform/record/record_format.h"

namespace {

struct Input {
  const uint8_t *data;
  size_t size, at;
};

// Hands the bytes out a few at a time, with a wait between, as a live
// stream would.
long read_input(void *user, uint8_t *buffer, size_t count) {
  Input *in = (Input *)user;
  static int wait_next;
  if ((wait_next ^= 1) && in->at < in->size) return RECORD_SOURCE_WAIT;
  const size_t n = std::min({count, in->size - in->at, (size_t)7});
  memcpy(buffer, in->data + in->at, n);
  in->at += n;
  return (long)n;
}

// A run unfolds to at most 8 x 255 records, but runs can follow runs; a
// bound here keeps a long chain of them from taking the fuzzer's time.
const int MAX_RECORDS = 100000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  Input in{data, size, 0};
  RecordReader reader;
  reader.wait = [](void *) { return 1; };
  std::string error;
  if (!reader_begin(&reader, RecordSource{read_input, nullptr, &in}, &error)) {
    return 0;
  }
  RecordBytes r;
  for (int i = 0; i < MAX_RECORDS; i++) {
    if (reader_next(&reader, &r, &error) != READER_RECORD) break;
    size_t at = 1;
    uint64_t value;
    while (at < r.size && record_get_number(r, &at, &value)) {
    }
  }
  return 0;
}
