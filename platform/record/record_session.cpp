// Running the game recorded, replayed or timed, with the exit statuses and
// the one-line reports the options promise.
#include <stdio.h>

#include <string>

#include "platform/record/record_state.h"

namespace {

void print_timedemo() {
  const uint64_t frames = record_frames();
  const double seconds = record_seconds();
  printf("%llu frames in %.3f s: %.0f frames/s\n", (unsigned long long)frames,
         seconds, seconds > 0 ? (double)frames / seconds : 0.0);
  fflush(stdout);
}

}  // namespace

int record_session(RecordSessionMode mode, const char *path, int (*game)(void),
                   const char *program) {
  if (mode == SESSION_PLAY) return game();
  record_set_program(program);
  if (mode == SESSION_RECORD) {
    RecordSink sink;
    if (!record_file_sink(path, &sink) || !record_add_sink(sink)) {
      fprintf(stderr, "%s: %s\n", program, record_error());
      return 1;
    }
    record_start();
  } else {
    RecordSource source;
    if (!record_file_source(path, &source) ||
        !record_replay(source, mode == SESSION_REPLAY)) {
      fprintf(stderr, "%s: %s: %s\n", program, path, record_error());
      return 2;
    }
    // Another version may still play the same game: it is said, and the
    // checkpoints tell whether it does.
    const std::string &recorded = record_state.reader.game_version;
    if (recorded != QUILLFIRE_VERSION) {
      fprintf(
          stderr, "%s: %s: recorded by Quillfire %s; this is Quillfire %s\n",
          program, path, recorded.empty() ? "(no version)" : recorded.c_str(),
          QUILLFIRE_VERSION);
    }
  }
  int status = game();
  record_finish();
  std::string line;
  if (record_replay_stopped(&status, &line) && !line.empty()) {
    fprintf(stderr, "%s: %s: %s\n", program, path, line.c_str());
  }
  if (mode == SESSION_TIMEDEMO) print_timedemo();
  if (status == 0 && record_incomplete()) status = RECORD_INCOMPLETE_STATUS;
  return status;
}
