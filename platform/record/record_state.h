// Inside the recording layer: its state and the calls its files share.
#ifndef QUILLFIRE_RECORD_STATE_H
#define QUILLFIRE_RECORD_STATE_H

#include <deque>
#include <string>
#include <vector>

#include "platform/plat_backend.h"
#include "platform/record/record_format.h"

// The version written into recordings; the build defines it.
#ifndef QUILLFIRE_VERSION
#define QUILLFIRE_VERSION "unknown"
#endif

// STOPPING: a replay asked to stop (its end cut short, out of step, the
// window closed), answering the game as a window being closed until the
// game has ended its own way.
enum RecordMode {
  RECORD_OFF,
  RECORD_WRITING,
  RECORD_REPLAYING,
  RECORD_STOPPING
};

struct RecordState {
  RecordMode mode = RECORD_OFF;
  const PlatBackend *below = nullptr;  // the backend the layer forwards to
  PlatBackend table = {};              // the layer's own, while in use
  RecordWriter writer;
  RecordReader reader;
  RecordBytes current;  // the record being answered from
  uint64_t frames = 0;
  long long start_ns = 0;
  uint32_t last_tick = 0;  // the last tick the game was given
  uint8_t keys[256] = {};  // the last snapshot recorded or replayed
  void (*merge)(uint8_t state[256], void *user) = nullptr;
  void *merge_user = nullptr;
  const uint8_t *(*over)(const uint8_t *pixels, int32_t pitch, int32_t width,
                         int32_t height, void *user) = nullptr;
  void *over_user = nullptr;
  void (*replay_end)(void *user) = nullptr;
  void *replay_end_user = nullptr;
  void (*serve)(void *user) = nullptr;
  void *serve_user = nullptr;
  // A recording that can't be written: failures told so far, the note.
  const char *program = "quillfire";
  uint64_t failures_told = 0;
  int incomplete = 0;
  int note_due = 0;      // shown from the next frame presented
  int note_showing = 0;  // until the game's tick note_until
  uint32_t note_until = 0;
  // The last frame presented with the note, as the game made it, and the
  // real moment the note ends: a screen the game holds still (the title
  // waiting for a key) is shown clean again then.
  int note_on_screen = 0;
  long long note_until_ns = 0;
  std::vector<uint8_t> clean_pixels;
  uint8_t clean_palette[1024];
  int32_t clean_pitch = 0, clean_width = 0, clean_height = 0;
  std::string note;
  RecordNoteDrawer note_drawer = nullptr;
  // Replay: the copy of the stream, and the source it is taken from.
  RecordSink copy = {};
  RecordSource copied = {};
  uint64_t copy_failures = 0;
  // Recording: the game's own posts not yet taken from the queue, told
  // apart from the window system's messages, which are recorded.
  std::deque<PlatMessage> posted;
  // Replay only.
  int paced = 0;
  int complete = 0;
  int unseen = 0;      // frames run for their state alone (record_unseen)
  int paused = 0;      // recording: frames passed through (record_pause)
  uint32_t clock = 0;  // the virtual clock the game is given
  uint32_t deadline = 0;
  int deadline_set = 0;
  int pace_started = 0;
  uint32_t pace_virtual = 0, pace_real = 0;
  PlatWindow *window = nullptr;
  std::deque<PlatMessage> replay_posts;  // the game's own posts
  RecordBytes lookahead;                 // read by replay_peek, not yet taken
  int has_lookahead = 0;
  // Stopping: how the replay ends, and the window's close said once.
  int stopped = 0;  // since the last record_replay
  int stop_status = 0;
  std::string stop_line;
  int close_sent = 0;
};

extern RecordState record_state;

void record_set_error(const std::string &text);
long long record_now_ns(void);

// Replay: the next record, or null once the replay stops (at the stream's
// end or a bad record).
const RecordBytes *replay_next(void);
// The record replay_next gives next, without taking it; null as above.
const RecordBytes *replay_peek(void);
// Asks the replay to stop with `status` and `line` (the first ask counts):
// from then on the layer answers as a window being closed, and the game
// ends its own way.
void replay_stop(int status, const std::string &line);
void replay_out_of_step(void);
void replay_bad(const std::string &what);
// Replay: `source` read through the copy set by record_copy_replay, or
// `source` itself when there is none.
RecordSource record_copy_source(RecordSource source);
// After anything is written: tells of a sink that failed since last time.
void record_notice_failures(void);
// Presents `pixels` as the real backend's plat_present does, with the note
// of a failed recording written over a copy while it is due.
void record_present_noted(const uint8_t *pixels, int32_t pitch, int32_t width,
                          int32_t height, const uint8_t palette[1024]);
// Called at each keyboard read, where the game waits: once the note's time
// is over in real time, a still screen that shows it is shown clean again.
void record_note_expire(void);
// The real platform: the user asked to end (close button, signals): the
// replay stops.
void replay_check_close(void);

// The layer as a backend: the table it forwards to is record_state.below.
// Called by record_start and record_replay: puts the layer in use over the
// backend in use now. record_finish puts that backend back.
void record_layer_use(void);

#endif
