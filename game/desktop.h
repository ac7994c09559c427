// The program's part on the desktop, around the game: the settings kept
// between runs (the window, the scale mode, the mute switch) and the
// window's icon, told to the platform before the game and asked back after.
#ifndef QUILLFIRE_DESKTOP_H
#define QUILLFIRE_DESKTOP_H

#include <string>

#include "game/command_line.h"

// Called by main once, after the command line and before the window opens.
// Reads the settings file (unless --no-config), lets the command line's
// -w, -f and --scale win over it, and tells the platform how to show the
// window, where it was, its icon and the mute switch. Returns 1, or 0 when
// the settings file can't be used: the defaults are taken and `warning`
// holds the line for main to print (no newline).
int desktop_start(const LaunchOptions &options, std::string *warning);

// Called by main once, after the game has ended, however it ended. Writes
// the settings as the player left them when a window was made (unless
// --no-config). Returns 1, or 0 with the line for main to print in
// `warning` when the file can't be written, unless desktop_start warned
// already: a settings file is never worth more than one line in a run.
int desktop_end(std::string *warning);

#endif
