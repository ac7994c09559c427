// The program's part on the desktop, around the game: the settings kept
// between runs (the window, the scale mode, the mute switch) and the
// window's icon, told to the platform before the game and asked back after.
#ifndef QUILLFIRE_DESKTOP_H
#define QUILLFIRE_DESKTOP_H

#include "game/command_line.h"

// Called by main once, after the command line and before the window opens.
// Reads the settings file (unless --no-config), lets the command line's
// -w, -f and --scale win over it, and tells the platform how to show the
// window, where it was, its icon and the mute switch. A settings file that
// can't be used gives one warning line on stderr and the defaults.
void desktop_start(const LaunchOptions &options);

// Called by main once, after the game has ended, however it ended. Writes
// the settings as the player left them when a window was made (unless
// --no-config); a file that can't be written gives one warning line, unless
// desktop_start gave one already.
void desktop_end(void);

#endif
