// The layer's state and its controls: starting a recording or a replay,
// ending either, and the replay's way of taking the next answer.
#include <string.h>
#include <time.h>

#include "platform/record/record_state.h"

RecordState record_state;

namespace {

std::string error_text;

// The longest a live stream's wait goes without asking its source again:
// one whose descriptor is watched, and one without.
const uint32_t LIVE_WAIT_MS = 50;
const uint32_t UNWATCHED_WAIT_MS = 1;

// While a live stream has nothing yet: sleeps until its socket or the
// window system has something, so the next bytes are taken as they come
// and the window stays alive.
void wait_for_bytes(void *) {
  replay_check_close();
  const uint32_t end =
      record_state.below->ticks() + (record_state.reader.source.watched_fd >= 0
                                         ? LIVE_WAIT_MS
                                         : UNWATCHED_WAIT_MS);
  record_state.below->wait_input(&end);
}

// A new recording or replay: nothing has failed yet.
void forget_failures() {
  RecordState &s = record_state;
  s.writer.failed_sinks = 0;
  s.copy_failures = 0;
  s.failures_told = 0;
  s.incomplete = 0;
  s.note_due = s.note_showing = 0;
  s.note_on_screen = 0;
  s.clean_pixels.clear();
}

std::string frame_text() {
  return "frame " + std::to_string(record_state.frames + 1);
}

}  // namespace

void record_set_error(const std::string &text) { error_text = text; }
const char *record_error(void) { return error_text.c_str(); }

long long record_now_ns(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (long long)ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

int record_add_sink(RecordSink sink) {
  if (!writer_add_sink(&record_state.writer, sink)) {
    record_set_error("no room for another recording sink");
    return 0;
  }
  return 1;
}

int record_start(void) {
  RecordState &s = record_state;
  writer_begin(&s.writer, QUILLFIRE_VERSION);
  forget_failures();
  writer_flush(&s.writer);
  record_notice_failures();
  s.mode = RECORD_WRITING;
  record_layer_use();
  s.frames = 0;
  s.last_tick = 0;
  memset(s.keys, 0, sizeof s.keys);
  s.start_ns = record_now_ns();
  return 1;
}

void record_on_keyboard(void (*merge)(uint8_t state[256], void *user),
                        void *user) {
  record_state.merge = merge;
  record_state.merge_user = user;
}

void record_on_present(const uint8_t *(*over)(const uint8_t *pixels,
                                              int32_t pitch, int32_t width,
                                              int32_t height, void *user),
                       void *user) {
  record_state.over = over;
  record_state.over_user = user;
}

void record_on_real_message(void (*seen)(const PlatMessage *msg, void *user),
                            void *user) {
  record_state.real_message = seen;
  record_state.real_message_user = user;
}

void record_on_replay_end(void (*last)(void *user), void *user) {
  record_state.replay_end = last;
  record_state.replay_end_user = user;
}

void record_on_wait(void (*serve)(void *user), void *user) {
  record_state.serve = serve;
  record_state.serve_user = user;
}

int record_replay(RecordSource source, int paced) {
  RecordState &s = record_state;
  std::string error;
  s.reader.wait = wait_for_bytes;
  // The header's wait for bytes already waits on the backend.
  if (plat_in_use() != &s.table) s.below = plat_in_use();
  forget_failures();
  source = record_copy_source(source);
  if (!reader_begin(&s.reader, source, &error)) {
    if (source.close) source.close(source.user);
    s.reader.source = RecordSource{};
    record_set_error(error);
    return 0;
  }
  s.mode = RECORD_REPLAYING;
  record_layer_use();
  s.paced = paced;
  s.complete = 0;
  s.pace_started = 0;
  s.frames = 0;
  s.last_tick = 0;
  memset(s.keys, 0, sizeof s.keys);
  s.window = nullptr;
  s.real_size = 0;
  s.voices.clear();
  s.start_ns = record_now_ns();
  return 1;
}

void record_mute(int mute) { record_state.mute = mute; }

int record_replay_complete(void) { return record_state.complete; }
uint64_t record_frames(void) { return record_state.frames; }
uint32_t record_last_tick(void) { return record_state.last_tick; }

double record_seconds(void) {
  return (double)(record_now_ns() - record_state.start_ns) / 1e9;
}

void record_finish(void) {
  RecordState &s = record_state;
  if (s.mode == RECORD_WRITING) {
    RecordBytes end;
    end.size = 0;
    record_put_byte(&end, TAG_END);
    writer_put(&s.writer, end);
  }
  writer_end(&s.writer);
  record_notice_failures();
  if (s.reader.source.close) s.reader.source.close(s.reader.source.user);
  s.reader.source = RecordSource{};
  s.voices.clear();
  s.mode = RECORD_OFF;
  if (plat_in_use() == &s.table) plat_use(s.below);
}

void replay_stop(int status, const std::string &line) {
  // Whatever runs after this (the stop's unwinding, shutting down) talks to
  // the real platform only.
  record_state.mode = RECORD_OFF;
  throw RecordStop{status, line};
}

void replay_check_close(void) {
  if (record_state.below->close_requested()) {
    replay_stop(0, "replay stopped at " + frame_text());
  }
}

void replay_out_of_step(void) {
  replay_stop(3, "out of step at " + frame_text());
}

const RecordBytes &replay_take(uint8_t tag) {
  const RecordBytes &r = replay_next();
  const uint8_t found = r.bytes[0];
  const bool tick =
      tag == TAG_TICK && (record_is_tick(found) || found == TAG_TICK_BIG);
  if (found != tag && !tick) replay_out_of_step();
  return r;
}

const RecordBytes &replay_next(void) {
  RecordState &s = record_state;
  std::string error;
  const ReaderResult got = reader_next(&s.reader, &s.current, &error);
  if (got == READER_BAD) {
    replay_stop(2, "bad recording at " + frame_text() + ": " + error);
  }
  if (got == READER_END) {
    replay_stop(0, "the recording stops at " + frame_text() +
                       " (cut short): replayed up to its last whole record");
  }
  return s.current;
}
