// The game's sounds, synthesised: samples from -1 to 1 at 11025 Hz. Which
// file each makes is written in game/data_files.h.
#ifndef QUILLFIRE_TOOLS_SOUNDS_H
#define QUILLFIRE_TOOLS_SOUNDS_H

#include <vector>

// Loudest sample of every sound, as a share of full scale: loud enough to
// hear over the others, never clipping.
const float SOUND_PEAK = 0.7f;

std::vector<float> sound_bounce();  // a short pitched boing
std::vector<float> sound_goal();    // a harsh low buzzer
std::vector<float> sound_win();     // a rising flourish
std::vector<float> sound_title();   // a fiery whoosh

// Scales the samples so the loudest reaches `peak`.
void sound_normalise(std::vector<float> &samples, float peak);
// Ramps the first and last `ms` milliseconds from and to silence, so the
// sound starts and stops without a click.
void sound_fade_ends(std::vector<float> &samples, float ms);

#endif
