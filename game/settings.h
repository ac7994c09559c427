// What the player leaves behind from one run to the next: full screen or a
// window, the window's place and size, the scale mode and the mute switch.
// Kept in a small text file of `key = value` lines; read by main before the
// window opens and written as the game ends. Nothing here knows the window
// system: main passes the values to the platform and asks it for them back.
#ifndef QUILLFIRE_SETTINGS_H
#define QUILLFIRE_SETTINGS_H

#include <stdint.h>

#include <string>

struct Settings {
  int fullscreen;  // 1 full screen (the default), 0 a window
  // The window's inside (without the window manager's frame) on the screen,
  // as it was last a window; window_width 0 when it has never been one.
  int32_t window_x, window_y, window_width, window_height;
  int integer_scale;  // 1 whole multiples only, 0 sharp scaling (the default)
  int mute;           // 1 when the sound was switched off with M
};

// The defaults: full screen, no window kept, sharp scaling, sound on.
Settings settings_defaults(void);

// Where the file is: $XDG_CONFIG_HOME/quillfire/quillfire.conf, or
// $HOME/.config/quillfire/quillfire.conf when the first is unset, empty or
// not an absolute path (as the XDG base directory rules say). Empty when
// neither gives a place. Called by main with getenv's answers.
std::string settings_path(const char *xdg_config_home, const char *home);

// Reads the file's text into `settings`, which is reset to the defaults
// first. Blank lines and lines starting with '#' are skipped; unknown keys
// are skipped too (a later version may add some). Returns 1, or 0 with the
// defaults in `settings` and one line in `error` (no newline) naming the
// first line that is not `key = value` or has a value out of range.
int settings_parse(const std::string &text, Settings *settings,
                   std::string *error);

// The file's text for `settings`, which settings_parse reads back the same.
std::string settings_format(const Settings &settings);

// Called by main before the window opens. Reads and parses the file at
// `path`. A missing file is no fault: 1 with the defaults. A file that can't
// be read, isn't a regular file, is too long or is damaged: 0 with the
// defaults and one line in `warning` (no newline). Never waits on a FIFO.
int settings_load(const std::string &path, Settings *settings,
                  std::string *warning);

// Called by main as the game ends. Writes the file at `path`, making its
// folder (and the folders above it) when missing, through a temporary file
// in the same folder renamed over the old one, so that a reader or a kill at
// any moment finds either the old file or the new one whole. Returns 1, or 0
// with one line in `warning` and the old file untouched.
int settings_save(const std::string &path, const Settings &settings,
                  std::string *warning);

#endif
