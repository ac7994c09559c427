// A recording that can't be written: told at once on standard error and, for
// a while, over the frames this machine presents.
#include <stdio.h>
#include <string.h>

#include <vector>

#include "platform/record/record_state.h"

namespace {

RecordState &s = record_state;

const char NOTE_LINE[] = "The recording can't be written; the game goes on";

void forget_clean_frame() {
  if (!s.note_on_screen) return;
  s.note_on_screen = 0;
  s.clean_pixels.clear();
  s.clean_pixels.shrink_to_fit();
}

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
    s.note_until_ns = record_now_ns() + (long long)RECORD_NOTE_MS * 1000000;
  }
  if (s.note_showing && (int32_t)(s.last_tick - s.note_until) >= 0) {
    s.note_showing = 0;
  }
  if (!s.note_showing || !s.note_drawer || !pixels || !palette || width <= 0 ||
      height <= 0 || pitch < width) {
    forget_clean_frame();
    record_state.below->present(pixels, pitch, width, height, palette);
    return;
  }
  s.clean_pixels.assign(pixels, pixels + (size_t)pitch * height);
  memcpy(s.clean_palette, palette, sizeof s.clean_palette);
  s.clean_pitch = pitch;
  s.clean_width = width;
  s.clean_height = height;
  s.note_on_screen = 1;
  std::vector<uint8_t> noted = s.clean_pixels;
  s.note_drawer(noted.data(), pitch, width, height, s.note.c_str());
  record_state.below->present(noted.data(), pitch, width, height, palette);
}

void record_note_expire(void) {
  if (!s.note_on_screen || record_now_ns() < s.note_until_ns) return;
  s.note_showing = 0;
  record_state.below->present(s.clean_pixels.data(), s.clean_pitch,
                              s.clean_width, s.clean_height, s.clean_palette);
  forget_clean_frame();
}
