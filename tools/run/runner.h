// quillfire-run: the real game on the headless platform, driven by a key
// script or a recording, writing what the player saw and heard.
#ifndef QUILLFIRE_TOOLS_RUNNER_H
#define QUILLFIRE_TOOLS_RUNNER_H

#include <stdint.h>

#include <string>
#include <vector>

#include "run/key_script.h"

struct RunRequest {
  std::string replay;  // a recording to replay, or empty
  int timedemo = 0;    // 1: report frames per second at the end
  std::vector<ScriptStep> script;
  std::string out_dir;     // where the pictures, mix and log go
  std::string assets_dir;  // where the game finds its files
};

// Runs the game once; writes OUT/frames.log (one line a frame: tick, ball
// x, y, x and y velocity, paddle 1 and 2 x, scores 1 and 2), OUT/mix.wav
// (the whole mix, 16-bit mono at 11025 Hz) and OUT/NAME.png for each shot.
// Returns the exit status (that of the game, or of the replay).
int runner_run(const RunRequest &request);

// The built-in player's keys for one paddle: which of its left and right
// keys to hold so that it moves towards the ball's centre.
void runner_player_keys(int32_t paddle_x, int32_t paddle_width, int32_t ball_x,
                        int32_t ball_width, int *left, int *right);

#endif
