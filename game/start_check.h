// The checks made before any window opens: that each picture can be read
// and holds everything the scene cuts from it, and that each sound can be
// read. The scene's loaders go on ignoring failures; these stand in front
// of them so that the player is told instead of shown a black screen.
#ifndef QUILLFIRE_START_CHECK_H
#define QUILLFIRE_START_CHECK_H

#include <string>

// Why the picture `name` in `folder` can't be used, or "" when it can: read
// with the game's BMP loader, 8 bits per pixel, large enough for every cell
// and image the scene takes from it, and for the ball picture, whose colours
// are the game's palette, a colour table of all 256 colours.
std::string start_check_picture(const std::string &folder, const char *name);

// Called by main for each sound, which warns and plays on without it.
// Why the sound `name` in `folder` can't be used, or "": read with the
// game's WAV reader.
std::string start_check_sound(const std::string &folder, const char *name);

// Called by main before the window opens; the game stops on a failure.
// Checks the game's pictures (DATA_PICTURES) in the order it loads them.
// Returns 1, or 0 with the first unusable one's name in `name` and its reason
// in `reason`.
int start_check_pictures(const std::string &folder, std::string *name,
                         std::string *reason);

#endif
