// Plays the real game on the headless platform with a fixed script of keys
// and keeps two of its frames: the title screen and the court in play.
#ifndef QUILLFIRE_TOOLS_CAPTURE_H
#define QUILLFIRE_TOOLS_CAPTURE_H

#include <stdint.h>

#include <vector>

struct Shot {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> pixels;  // width by height indices, row after row
  uint8_t palette[1024] = {};   // red, green, blue, flags per entry
};

// Virtual times of the script, in ms from the start. The title is kept as
// the last frame shown before 1 is pressed, the court as the last frame shown
// before Escape.
const uint32_t SCRIPT_ONE = 1500;     // 1: one player against the computer
const uint32_t SCRIPT_SPACE = 4000;   // SPACE at the serve prompt
const uint32_t SCRIPT_ESCAPE = 4500;  // Escape: back to the title
const uint32_t SCRIPT_QUIT = 7000;    // Q at the title: the game ends
// A run that hasn't ended by then is stuck.
const uint32_t SCRIPT_LIMIT = 30000;

struct Capture {
  Shot title;
  Shot court;
  int32_t title_taken = 0;   // 1 when a frame was shown before SCRIPT_ONE
  int32_t court_taken = 0;   // 1 when one was shown in play, before Escape
  int32_t ended = 0;         // 1 when the game quit within SCRIPT_LIMIT
  int32_t exit_status = -1;  // what WinMain returned
};

// Runs the game from WinMain in `run_dir`, where it finds its pictures and
// sounds, and comes back to the current directory afterwards. The platform
// is reset before and after.
Capture capture_run(const char *run_dir);

// 1 when every pixel of the shot holds the same index: nothing was drawn.
int32_t shot_is_plain(const Shot &shot);

#endif
