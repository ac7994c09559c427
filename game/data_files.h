// The game's files: every picture and sound it reads from its data folder,
// written here once. The scene loads them by the constants below, the
// data-folder search and the start-up check go through the lists, the
// generator (tools/make_assets) makes one file per line with the function the
// line names, and CMake reads the quoted names from this file to know what
// the generator makes and what is installed. So a new sound is one line in
// DATA_SOUND_FILES plus its synthesis (see DEVELOPERS.md).
#ifndef QUILLFIRE_DATA_FILES_H
#define QUILLFIRE_DATA_FILES_H

#include <stdint.h>

// One line a file: ENTRY(the constant the game names it by, "the file's name
// in the data folder", the generator's function that makes it). Pictures come
// in the order the scene loads them. CMake finds the names as quoted words
// ending in .BMP or .WAV, so write no other such quoted word in this file.
// clang-format off
#define DATA_PICTURE_FILES(ENTRY)                                    \
  ENTRY(DATA_BALL_PICTURE,   "BALL3D8BIG.BMP", picture_ball_sheet)   \
  ENTRY(DATA_PADDLE_PICTURE, "PADDLES3D8.BMP", picture_paddle_sheet) \
  ENTRY(DATA_COURT_PICTURE,  "BACK8.BMP",      picture_court)        \
  ENTRY(DATA_TITLE_PICTURE,  "TITLE8.BMP",     picture_title)

#define DATA_SOUND_FILES(ENTRY)                          \
  ENTRY(DATA_BOUNCE_SOUND, "BOING.WAV",  sound_bounce)   \
  ENTRY(DATA_GOAL_SOUND,   "BUZZER.WAV", sound_goal)     \
  ENTRY(DATA_WIN_SOUND,    "SPIKE.WAV",  sound_win)      \
  ENTRY(DATA_TITLE_SOUND,  "FIRE.WAV",   sound_title)
// clang-format on

#define DATA_NAME_CONSTANT(id, file, maker) inline constexpr char id[] = file;
DATA_PICTURE_FILES(DATA_NAME_CONSTANT)
DATA_SOUND_FILES(DATA_NAME_CONSTANT)
#undef DATA_NAME_CONSTANT

// The lists: the data-folder search looks for any of them beside the
// executable, the start-up check reads each picture, main checks each sound.
#define DATA_FILE_NAME(id, file, maker) file,
inline constexpr const char *DATA_PICTURES[] = {
    DATA_PICTURE_FILES(DATA_FILE_NAME)};
inline constexpr const char *DATA_SOUNDS[] = {DATA_SOUND_FILES(DATA_FILE_NAME)};
#undef DATA_FILE_NAME
inline constexpr int DATA_PICTURE_COUNT =
    sizeof DATA_PICTURES / sizeof DATA_PICTURES[0];
inline constexpr int DATA_SOUND_COUNT =
    sizeof DATA_SOUNDS / sizeof DATA_SOUNDS[0];

// Read by the start-up check (start_check_pictures) before any window
// opens; the scene's own cuts in load_assets must stay the same as these.
// One rectangle the scene cuts from a picture, in cell mode: its size and
// its cell. A picture must hold every cut of its name; the start-up check
// refuses one that doesn't. These are the cuts load_assets makes.
struct DataCut {
  const char *picture;
  int32_t width, height, cx, cy;
};

inline constexpr DataCut DATA_CUTS[] = {
    {DATA_BALL_PICTURE, 11, 11, 0, 0},    {DATA_PADDLE_PICTURE, 66, 8, 0, 0},
    {DATA_PADDLE_PICTURE, 65, 8, 1, 0},   {DATA_COURT_PICTURE, 639, 479, 0, 0},
    {DATA_TITLE_PICTURE, 619, 459, 0, 0},
};

#endif
