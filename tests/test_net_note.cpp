// Network play's notes over a frame: nothing is written outside the frame,
// whatever the note's length or the frame's size, and only what the note
// covers changes.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "game/court.h"
#include "game/net_note.h"

namespace {

const uint8_t GUARD = 0xA5, COURT = 7;

TEST(NetNote, StaysInsideTheFrameWhateverItsSize) {
  const std::string wide(99, 'W');
  struct Case {
    const char *name;
    int32_t width, height, pitch, y, band_top, band_bottom;
    std::string line;
  } cases[] = {
      {"a line wider than the frame", 640, 480, 640, 235, 0, 0, wide},
      {"a small frame under a wide band", 40, 30, 48, 20, 10, 400, wide},
      {"a note above the frame", 64, 48, 64, -30, 0, 0, "Connection lost"},
      {"a note below the frame", 64, 48, 64, 45, 0, 0, "Connection lost"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    // The frame's rows, their padding and a guard after the last row.
    std::vector<uint8_t> frame((size_t)c.pitch * c.height + 64, GUARD);
    for (int32_t y = 0; y < c.height; ++y)
      memset(&frame[(size_t)y * c.pitch], COURT, (size_t)c.width);
    Note note{};
    const char *lines[] = {c.line.c_str(), c.line.c_str()};
    note_set(&note, c.y, c.band_top, c.band_bottom, lines, 2);
    note_paint(note, frame.data(), c.pitch, c.width, c.height);
    for (size_t i = 0; i < frame.size(); ++i) {
      const bool inside =
          i < (size_t)c.pitch * c.height && (int32_t)(i % c.pitch) < c.width;
      if (!inside) {
        ASSERT_EQ(frame[i], GUARD) << "byte " << i;
      }
    }
  }
}

TEST(NetNote, WritesItsLinesOverACourtClearedBehindThem) {
  std::vector<uint8_t> frame(640 * 480, COURT);
  Note note{};
  note_line(&note, 235, "Player 2 left");
  note_paint(note, frame.data(), 640, 640, 480);
  int message = 0, cleared = 0, court_left = 0;
  for (size_t i = 0; i < frame.size(); ++i) {
    const int32_t y = (int32_t)(i / 640);
    message += frame[i] == MESSAGE_COLOR;
    cleared += frame[i] == 0;
    if (y < 225 || y > 255) court_left += frame[i] == COURT;
  }
  EXPECT_GT(message, 13 * 6);  // a few pixels a glyph at least
  EXPECT_GT(cleared, 13 * 6 * 10 - message);
  EXPECT_EQ(court_left, 640 * 480 - 640 * 31);  // far rows untouched
}

}  // namespace
