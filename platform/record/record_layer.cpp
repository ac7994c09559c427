// The layer's state and its controls: starting a recording or a replay,
// ending either, and the replay's way of taking the next answer.
#include <string.h>
#include <time.h>

#include "platform/record/record_mark.h"
#include "platform/record/record_state.h"

RecordState record_state;

namespace {

std::string error_text;

// The longest a live stream's wait goes without asking its source again:
// one whose descriptor is watched, and one without.
const uint32_t LIVE_WAIT_MS = 50;
const uint32_t UNWATCHED_WAIT_MS = 1;

std::string frame_text() {
  return "frame " + std::to_string(record_state.frames + 1);
}

// While a live stream has nothing yet: sleeps until its socket or the
// window system has something, so the next bytes are taken as they come
// and the window stays alive.
int wait_for_bytes(void *) {
  RecordState &s = record_state;
  if (s.below->close_requested()) {
    replay_stop(0, "replay stopped at " + frame_text());
  }
  if (s.stopped) return 0;
  const uint32_t end =
      record_state.below->ticks() + (record_state.reader.source.watched_fd >= 0
                                         ? LIVE_WAIT_MS
                                         : UNWATCHED_WAIT_MS);
  record_state.below->wait_input(&end);
  return !s.stopped;
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
  s.posted.clear();
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
  s.stopped = 0;
  s.stop_status = 0;
  s.stop_line.clear();
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
  s.unseen = 0;
  s.clock = s.last_tick = 0;
  s.deadline_set = 0;
  s.pace_started = 0;
  s.frames = 0;
  memset(s.keys, 0, sizeof s.keys);
  s.window = nullptr;
  s.replay_posts.clear();
  s.has_lookahead = 0;
  s.close_sent = 0;
  s.start_ns = record_now_ns();
  return 1;
}

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
  s.replay_posts.clear();
  s.posted.clear();
  s.unseen = 0;
  s.paused = 0;
  s.mode = RECORD_OFF;
  if (plat_in_use() == &s.table) plat_use(s.below);
}

void replay_stop(int status, const std::string &line) {
  RecordState &s = record_state;
  if (s.stopped) return;
  s.stopped = 1;
  s.stop_status = status;
  s.stop_line = line;
  if (s.mode == RECORD_REPLAYING) s.mode = RECORD_STOPPING;
}

void replay_check_close(void) {
  if (record_state.mode == RECORD_REPLAYING &&
      record_state.below->close_requested()) {
    replay_stop(0, "replay stopped at " + frame_text());
  }
}

void replay_out_of_step(void) {
  replay_stop(3, "out of step at " + frame_text());
}

void replay_bad(const std::string &what) {
  replay_stop(2, "bad recording at " + frame_text() + ": " + what);
}

const RecordBytes *replay_peek(void) {
  RecordState &s = record_state;
  if (s.has_lookahead) return &s.lookahead;
  if (s.mode != RECORD_REPLAYING) return nullptr;
  std::string error;
  const ReaderResult got = reader_next(&s.reader, &s.lookahead, &error);
  if (got == READER_BAD) {
    replay_bad(error);
    return nullptr;
  }
  if (got == READER_END) {
    replay_stop(0, "the recording stops at " + frame_text() +
                       " (cut short): replayed up to its last whole record");
    return nullptr;
  }
  s.has_lookahead = 1;
  return &s.lookahead;
}

const RecordBytes *replay_next(void) {
  RecordState &s = record_state;
  const RecordBytes *r = replay_peek();
  if (!r) return nullptr;
  s.has_lookahead = 0;
  s.current.size = r->size;
  memcpy(s.current.bytes, r->bytes, r->size);
  return &s.current;
}

void record_replay_stop(int status, const char *line) {
  replay_stop(status, line ? line : "");
}

int record_replaying(void) { return record_state.mode == RECORD_REPLAYING; }

int record_replay_stopped(int *status, std::string *line) {
  const RecordState &s = record_state;
  if (!s.stopped) return 0;
  *status = s.stop_status;
  *line = s.stop_line;
  return 1;
}

void record_unseen(int unseen) { record_state.unseen = unseen; }

void record_pause(int paused) { record_state.paused = paused; }

void record_replay_mark(RecordReplayMark *mark) {
  const RecordState &s = record_state;
  mark->reader = s.reader;
  mark->lookahead = s.lookahead;
  mark->has_lookahead = s.has_lookahead;
  memcpy(mark->keys, s.keys, sizeof mark->keys);
  mark->frames = s.frames;
  mark->clock = s.clock;
  mark->deadline = s.deadline;
  mark->deadline_set = s.deadline_set;
  mark->posts = s.replay_posts;
}

void record_replay_rewind(const RecordReplayMark *mark) {
  RecordState &s = record_state;
  s.reader = mark->reader;
  s.lookahead = mark->lookahead;
  s.has_lookahead = mark->has_lookahead;
  memcpy(s.keys, mark->keys, sizeof s.keys);
  s.frames = mark->frames;
  s.clock = s.last_tick = mark->clock;
  s.deadline = mark->deadline;
  s.deadline_set = mark->deadline_set;
  s.replay_posts = mark->posts;
}
