// A recording that can't be written: told at once on standard error and, for
// a while, over the frames this machine presents.
#include <stdio.h>

#include <vector>

#include "platform/record/record_state.h"

namespace {

RecordState &s = record_state;

const char NOTE_LINE[] = "The recording can't be written; the game goes on";

}  // namespace

void record_on_note(RecordNoteDrawer draw) { record_state.note_drawer = draw; }
int record_incomplete(void) { return record_state.incomplete; }
void record_set_program(const char *program) { record_state.program = program; }

void record_notice_failures(void) {
  const uint64_t failures = s.writer.failed_sinks + s.copy_failures;
  if (failures == s.failures_told) return;
  s.failures_told = failures;
  s.incomplete = 1;
  fprintf(stderr, "%s: %s; playing on, the recording is incomplete\n",
          s.program, record_error());
  s.note = NOTE_LINE;
  s.note_due = 1;
}

void record_present_noted(const uint8_t *pixels, int32_t pitch, int32_t width,
                          int32_t height, const uint8_t palette[1024]) {
  // The note's time is the game's own, so that a headless run shows it for
  // the same frames every time.
  if (s.note_due) {
    s.note_due = 0;
    s.note_showing = 1;
    s.note_until = s.last_tick + RECORD_NOTE_MS;
  }
  if (s.note_showing && (int32_t)(s.last_tick - s.note_until) >= 0) {
    s.note_showing = 0;
  }
  if (!s.note_showing || !s.note_drawer || !pixels || width <= 0 ||
      height <= 0 || pitch < width) {
    __real_plat_present(pixels, pitch, width, height, palette);
    return;
  }
  std::vector<uint8_t> copy(pixels, pixels + (size_t)pitch * height);
  s.note_drawer(copy.data(), pitch, width, height, s.note.c_str());
  __real_plat_present(copy.data(), pitch, width, height, palette);
}
