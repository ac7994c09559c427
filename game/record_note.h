// The note a recording that can't be written shows over this machine's
// frames (the recording layer decides when; see record_on_note).
#ifndef QUILLFIRE_RECORD_NOTE_H
#define QUILLFIRE_RECORD_NOTE_H

#include <stdint.h>

// Installed by main with record_on_note; the layer calls it with a copy of
// each frame it presents while the note is due. Writes `line` in the
// message colour on a cleared band at the bottom of the picture.
void record_note_draw(uint8_t *pixels, int32_t pitch, int32_t width,
                      int32_t height, const char *line);

#endif
