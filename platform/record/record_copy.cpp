// A replay that keeps what it reads: the source is read through a tee that
// hands every byte to a sink as well, so a joiner or watcher can keep the
// host's stream as a recording of its own.
#include "platform/record/record_state.h"

namespace {

RecordState &s = record_state;

long copy_read(void *, uint8_t *buffer, size_t count) {
  const long got = s.copied.read(s.copied.user, buffer, count);
  if (got > 0 && s.copy.write) {
    if (!s.copy.write(s.copy.user, buffer, (size_t)got)) {
      if (s.copy.close) s.copy.close(s.copy.user);
      s.copy = RecordSink{};
      s.copy_failures++;
      record_notice_failures();
    }
  }
  return got;
}

void copy_close(void *) {
  if (s.copied.close) s.copied.close(s.copied.user);
  s.copied = RecordSource{};
  if (s.copy.close) s.copy.close(s.copy.user);
  s.copy = RecordSink{};
}

}  // namespace

void record_copy_replay(RecordSink sink) { record_state.copy = sink; }

RecordSource record_copy_source(RecordSource source) {
  if (!s.copy.write) return source;
  s.copied = source;
  return RecordSource{copy_read, copy_close, nullptr};
}
