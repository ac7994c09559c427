#include "platform/record/record_format.h"

#include <string.h>

namespace {

bool same(const RecordBytes &a, const RecordBytes &b) {
  return a.size == b.size && memcmp(a.bytes, b.bytes, a.size) == 0;
}

// The record `back` places before the newest in the writer's history.
const RecordBytes &written_back(const RecordWriter *w, uint64_t back) {
  const uint64_t n = 2 * RECORD_MAX_PERIOD;
  return w->history[(w->history_count - 1 - back) % n];
}

void emit(RecordWriter *w, const uint8_t *bytes, size_t size) {
  w->pending.insert(w->pending.end(), bytes, bytes + size);
}

void remember(RecordWriter *w, const RecordBytes &r) {
  RecordBytes &slot = w->history[w->history_count % (2 * RECORD_MAX_PERIOD)];
  slot.size = r.size;
  memcpy(slot.bytes, r.bytes, r.size);
  w->history_count++;
}

// Writes the run seen so far: the whole periods as one record, then the
// records of the period begun, one by one.
void end_run(RecordWriter *w) {
  if (w->periods > 0) {
    RecordBytes rep;
    rep.size = 0;
    record_put_byte(&rep, (uint8_t)(TAG_REPEAT + w->period - 1));
    record_put_number(&rep, w->periods);
    emit(w, rep.bytes, rep.size);
  }
  for (int i = w->period_at - 1; i >= 0; i--) {
    const RecordBytes &r = written_back(w, (uint64_t)i);
    emit(w, r.bytes, r.size);
  }
  w->period = 0;
  w->period_at = 0;
  w->periods = 0;
}

// After a record is written: do the last L records repeat the L before?
void find_period(RecordWriter *w) {
  for (int length = 1; length <= RECORD_MAX_PERIOD; length++) {
    if (w->history_count < (uint64_t)(2 * length)) return;
    int repeats = 1;
    for (int i = 0; i < length && repeats; i++) {
      repeats = same(written_back(w, (uint64_t)i),
                     written_back(w, (uint64_t)(i + length)));
    }
    if (repeats) {
      w->period = length;
      return;
    }
  }
}

int send(RecordSink &sink, const std::vector<uint8_t> &bytes) {
  return bytes.empty() || sink.write(sink.user, bytes.data(), bytes.size());
}

void drop_sink(RecordWriter *w, int i) {
  if (w->sinks[i].close) w->sinks[i].close(w->sinks[i].user);
  w->sinks[i] = w->sinks[--w->sink_count];
}

// Reader side: one more byte of the stream, 1, or 0 when none will come.
int next_byte(RecordReader *r, uint8_t *out, std::string *error, int *bad) {
  while (r->at == r->filled) {
    if (r->source_ended) return 0;
    const long got =
        r->source.read(r->source.user, r->buffer, sizeof r->buffer);
    if (got > 0) {
      r->at = 0;
      r->filled = (size_t)got;
    } else if (got == RECORD_SOURCE_WAIT && r->wait) {
      if (!r->wait(r->wait_user)) r->source_ended = 1;  // given up
    } else if (got == RECORD_SOURCE_END) {
      r->source_ended = 1;
    } else {
      *error = "the recording could not be read";
      *bad = 1;
      r->source_ended = 1;
      return 0;
    }
  }
  *out = r->buffer[r->at++];
  return 1;
}

// Copies one LEB128 number into `out`; at most ten bytes.
int copy_number(RecordReader *r, RecordBytes *out, std::string *error,
                int *bad) {
  for (int i = 0; i < 10; i++) {
    uint8_t b;
    if (!next_byte(r, &b, error, bad)) return 0;
    record_put_byte(out, b);
    if (!(b & 0x80)) return 1;
  }
  *error = "a number in the recording is too long";
  *bad = 1;
  return 0;
}

int copy_bytes(RecordReader *r, RecordBytes *out, size_t count,
               std::string *error, int *bad) {
  for (size_t i = 0; i < count; i++) {
    uint8_t b;
    if (!next_byte(r, &b, error, bad)) return 0;
    record_put_byte(out, b);
  }
  return 1;
}

void keep_read(RecordReader *r, const RecordBytes &rec) {
  RecordBytes &slot = r->history[r->history_count % RECORD_MAX_PERIOD];
  slot.size = rec.size;
  memcpy(slot.bytes, rec.bytes, rec.size);
  r->history_count++;
}

}  // namespace

void record_put_byte(RecordBytes *r, uint8_t value) {
  if (r->size < RECORD_MAX_BYTES) r->bytes[r->size++] = value;
}

void record_put_number(RecordBytes *r, uint64_t value) {
  do {
    const uint8_t low = value & 0x7F;
    value >>= 7;
    record_put_byte(r, value ? (uint8_t)(low | 0x80) : low);
  } while (value);
}

int record_get_number(const RecordBytes &r, size_t *at, uint64_t *value) {
  uint64_t v = 0;
  for (int shift = 0; shift < 64 && *at < r.size; shift += 7) {
    const uint8_t b = r.bytes[(*at)++];
    if (shift == 63 && (b & 0x7E)) return 0;
    v |= (uint64_t)(b & 0x7F) << shift;
    if (!(b & 0x80)) {
      *value = v;
      return 1;
    }
  }
  return 0;
}

std::vector<uint8_t> record_header(const char *game_version) {
  std::vector<uint8_t> h(RECORD_MAGIC, RECORD_MAGIC + sizeof RECORD_MAGIC);
  h.push_back(RECORD_FORMAT_VERSION & 0xFF);
  h.push_back(RECORD_FORMAT_VERSION >> 8);
  size_t length = strlen(game_version);
  if (length > RECORD_MAX_VERSION_TEXT) length = RECORD_MAX_VERSION_TEXT;
  h.push_back((uint8_t)length);
  h.insert(h.end(), game_version, game_version + length);
  return h;
}

void writer_begin(RecordWriter *w, const char *game_version) {
  w->sent.clear();
  w->pending = record_header(game_version);
  w->history_count = 0;
  w->period = w->period_at = 0;
  w->periods = 0;
  w->failed_sinks = 0;
}

int writer_add_sink(RecordWriter *w, RecordSink sink) {
  if (w->sink_count == RECORD_MAX_SINKS) return 0;
  w->sinks[w->sink_count++] = sink;
  if (!send(w->sinks[w->sink_count - 1], w->sent)) {
    drop_sink(w, w->sink_count - 1);
    return 0;
  }
  return 1;
}

void writer_put(RecordWriter *w, const RecordBytes &r) {
  if (w->period) {
    if (same(r, written_back(w, (uint64_t)w->period - 1))) {
      remember(w, r);
      if (++w->period_at == w->period) {
        w->period_at = 0;
        // A long run is written in parts, so that a reader following live
        // is never kept waiting for long.
        if (++w->periods == RECORD_MAX_RUN) {
          end_run(w);
          writer_flush(w);
        }
      }
      return;
    }
    end_run(w);
  }
  emit(w, r.bytes, r.size);
  remember(w, r);
  find_period(w);
}

void writer_flush(RecordWriter *w) {
  if (w->pending.empty()) return;
  for (int i = w->sink_count - 1; i >= 0; i--) {
    if (!send(w->sinks[i], w->pending)) {
      drop_sink(w, i);
      w->failed_sinks++;
    }
  }
  w->sent.insert(w->sent.end(), w->pending.begin(), w->pending.end());
  w->pending.clear();
}

void writer_cut(RecordWriter *w) {
  if (w->period) end_run(w);
  writer_flush(w);
}

void writer_end(RecordWriter *w) {
  if (w->period) end_run(w);
  writer_flush(w);
  while (w->sink_count > 0) drop_sink(w, w->sink_count - 1);
  w->sent.clear();
  w->sent.shrink_to_fit();
}

int reader_begin(RecordReader *r, RecordSource source, std::string *error) {
  r->source = source;
  r->at = r->filled = 0;
  r->source_ended = 0;
  r->history_count = 0;
  r->period = 0;
  r->run_left = 0;
  r->game_version.clear();
  uint8_t head[sizeof RECORD_MAGIC + 3];
  int bad = 0;
  for (size_t i = 0; i < sizeof head; i++) {
    if (!next_byte(r, &head[i], error, &bad)) {
      if (!bad) *error = "the recording's header is cut short";
      return 0;
    }
  }
  if (memcmp(head, RECORD_MAGIC, sizeof RECORD_MAGIC) != 0) {
    *error = "not a Quillfire recording";
    return 0;
  }
  const unsigned version = head[8] | (head[9] << 8);
  if (version != RECORD_FORMAT_VERSION) {
    *error = "recording format version " + std::to_string(version) +
             " (this game reads version " +
             std::to_string(RECORD_FORMAT_VERSION) + ")";
    return 0;
  }
  if (head[10] > RECORD_MAX_VERSION_TEXT) {
    *error = "the recording's game version is too long";
    return 0;
  }
  for (unsigned i = 0; i < head[10]; i++) {
    uint8_t c;
    if (!next_byte(r, &c, error, &bad)) {
      if (!bad) *error = "the recording's header is cut short";
      return 0;
    }
    r->game_version.push_back((char)c);
  }
  return 1;
}

ReaderResult reader_next(RecordReader *r, RecordBytes *out,
                         std::string *error) {
  for (;;) {
    if (r->run_left > 0) {
      const RecordBytes &src =
          r->history[(r->history_count - (uint64_t)r->period) %
                     RECORD_MAX_PERIOD];
      out->size = src.size;
      memcpy(out->bytes, src.bytes, src.size);
      keep_read(r, *out);
      r->run_left--;
      return READER_RECORD;
    }
    int bad = 0;
    uint8_t tag;
    out->size = 0;
    if (!next_byte(r, &tag, error, &bad)) return bad ? READER_BAD : READER_END;
    record_put_byte(out, tag);
    int whole = 1;
    if (tag == TAG_END || tag == TAG_CLOSE_NO || tag == TAG_CLOSE_YES ||
        tag == TAG_ESCAPE_UP || tag == TAG_ESCAPE_DOWN ||
        tag == TAG_KEYS_SAME || tag == TAG_KEYS_FAIL) {
      // the tag is the whole record
    } else if (tag == TAG_MESSAGE) {
      whole = copy_number(r, out, error, &bad) &&
              copy_number(r, out, error, &bad) &&
              copy_number(r, out, error, &bad);
    } else if (tag == TAG_KEYS) {
      whole = copy_bytes(r, out, 1, error, &bad) &&
              copy_bytes(r, out, 2 * ((size_t)out->bytes[1] + 1), error, &bad);
    } else if (tag == TAG_WAITED) {
      whole = copy_number(r, out, error, &bad);
    } else if (tag == TAG_CHECKPOINT) {
      whole = copy_bytes(r, out, 4, error, &bad);
    } else if (tag >= TAG_REPEAT && tag < TAG_REPEAT + RECORD_MAX_PERIOD) {
      RecordBytes count;
      count.size = 0;
      uint64_t n = 0;
      size_t at = 0;
      if (!copy_number(r, &count, error, &bad)) {
        return bad ? READER_BAD : READER_END;
      }
      const int period = tag - TAG_REPEAT + 1;
      if (!record_get_number(count, &at, &n) || n == 0 ||
          (uint64_t)period > r->history_count) {
        *error = "a repeat in the recording repeats what isn't there";
        return READER_BAD;
      }
      // No writer makes a longer run, and a longer one would let a few
      // bytes hold the replay (a clock that never moves) without end.
      if (n > RECORD_MAX_RUN) {
        *error = "a repeat in the recording claims " + std::to_string(n) +
                 " times (at most " + std::to_string(RECORD_MAX_RUN) + ")";
        return READER_BAD;
      }
      r->period = period;
      r->run_left = n * (uint64_t)period;
      continue;
    } else {
      *error = "unknown record " + std::to_string(tag) + " in the recording";
      return READER_BAD;
    }
    if (!whole) return bad ? READER_BAD : READER_END;
    keep_read(r, *out);
    return READER_RECORD;
  }
}
