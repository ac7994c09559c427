// Inside the recording layer: its state and the calls its files share.
#ifndef QUILLFIRE_RECORD_STATE_H
#define QUILLFIRE_RECORD_STATE_H

#include <string>
#include <vector>

#include "platform/plat_backend.h"
#include "platform/record/record_format.h"

// The version written into recordings; the build defines it.
#ifndef QUILLFIRE_VERSION
#define QUILLFIRE_VERSION "unknown"
#endif

enum RecordMode { RECORD_OFF, RECORD_WRITING, RECORD_REPLAYING };

struct ReplayVoice {
  PlatVoice recorded;
  PlatVoice real;                // 0 when the real device gave none
  uint32_t size;                 // what the game asked for
  std::vector<uint8_t> scratch;  // the samples when there is no real voice
  int real_locked;
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
  void (*real_message)(const PlatMessage *msg, void *user) = nullptr;
  void *real_message_user = nullptr;
  void (*replay_end)(void *user) = nullptr;
  void *replay_end_user = nullptr;
  void (*serve)(void *user) = nullptr;
  void *serve_user = nullptr;
  int mute = 0;
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
  // Replay only.
  int paced = 0;
  int complete = 0;
  int pace_started = 0;
  uint32_t pace_recorded = 0, pace_real = 0;
  PlatWindow *window = nullptr;
  int real_size = 0;
  int32_t real_width = 0, real_height = 0;
  std::vector<ReplayVoice> voices;
};

extern RecordState record_state;

void record_set_error(const std::string &text);
long long record_now_ns(void);

// Replay: the next record, which must answer the question `tag` (for ticks,
// any tick record); stops the replay otherwise.
const RecordBytes &replay_take(uint8_t tag);
// The next record, whatever it answers.
const RecordBytes &replay_next(void);
[[noreturn]] void replay_out_of_step(void);
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
// Ends the replay with `status` and `line` (throws RecordStop).
[[noreturn]] void replay_stop(int status, const std::string &line);
// The real platform: 1 once the user asked to end (close button, signals).
void replay_check_close(void);

// The layer as a backend: the table it forwards to is record_state.below.
// Called by record_start and record_replay: puts the layer in use over the
// backend in use now. record_finish puts that backend back.
void record_layer_use(void);

#endif
