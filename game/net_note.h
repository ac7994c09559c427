// The notes shown over the game's frames on one machine only (network play's:
// who is waiting, who left, how the game ended; the recording's that can't
// be written): a few centred lines in the game's message colour and font,
// with the court cleared behind them.
#ifndef QUILLFIRE_NET_NOTE_H
#define QUILLFIRE_NET_NOTE_H

#include <stdint.h>

const int NOTE_LINES_MAX = 4;
const int32_t NOTE_LINE_GAP = 24;  // from one line's top to the next's

struct Note {
  int lines;  // 0: no note
  char text[NOTE_LINES_MAX][100];
  int32_t y;                      // the first line's top; each line centred
  int32_t band_top, band_bottom;  // rows cleared across the screen; both 0:
                                  // only a band around each line
};

// Called by network play as what it shows changes. Sets `note` to `count`
// lines (at most NOTE_LINES_MAX, each cut to its room), the first at row
// `y`. `band_top` to `band_bottom` are rows cleared across the whole frame
// behind them; with both 0, only a band around each line is cleared.
void note_set(Note *note, int32_t y, int32_t band_top, int32_t band_bottom,
              const char *const *lines, int count);
void note_line(Note *note, int32_t y, const char *line);

// Called with a copy of each frame shown while a note stands: writes the
// note into the `width` by `height` frame at `pixels`, rows `pitch` bytes
// apart, never outside it. Needs nothing of the game's display, which may
// be gone (the game ending) or not there yet (connecting).
void note_paint(const Note &note, uint8_t *pixels, int32_t pitch, int32_t width,
                int32_t height);

#endif
