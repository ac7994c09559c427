// The game: its state, its sprites, pictures and sounds, and the operations
// of the shell, the rally, the match flow and the scene.
#ifndef QUILLFIRE_GAME_H
#define QUILLFIRE_GAME_H

#include <stdint.h>

#include "engine/display/bmp.h"
#include "engine/display/bob.h"
#include "engine/display/ddraw.h"
#include "engine/display/image.h"
#include "platform/platform.h"

struct GameState {
  int32_t player1_score;  // bottom paddle; scores through the top
  int32_t player2_score;  // top paddle; scores through the bottom
  int32_t mode;           // 0 none yet, 1 against the computer, 2 two players
  int32_t serving_side;   // 1 bottom (serves upward), 2 top (serves downward)
  uint8_t goal_armed;     // cleared by a paddle hit; a goal counts only at 1
};

extern GameState game_state;

extern BOB ball, paddle1, paddle2;
extern BitmapImage background_image, title_image;
extern BitmapFile scratch_bitmap;
extern int32_t bounce_sound, goal_sound, win_sound, title_sound;
extern char score_text[80];
extern PALETTEENTRY saved_palette[256];

// The shell.
int WinMain(void *instance, void *previous, char *command_line, int show);
intptr_t window_proc(PlatWindow *window, uint32_t message, uintptr_t wparam,
                     intptr_t lparam);
int32_t game_init(void);
int32_t game_shutdown(void);

// Set once the end of the program has been posted; from then on no frame
// runs. game_quitting() is also 1 once the user has asked the program to end
// (plat_close_requested), which every screen gives way to at once.
extern int32_t quit_posted;
int32_t game_quitting(void);

// The rally.
int32_t game_frame(void);
int32_t game_reset(void);

// The pause of a rally. pause_update looks at this frame's keyboard_state
// and returns game_paused: 1 while the rally stands still.
extern int32_t game_paused;
int32_t pause_update(void);
void pause_focus_lost(void);
void pause_reset(void);

// The match flow. title_showing is 1 while the title waits for a choice, for
// what is shown over it (network play's note).
extern int32_t title_showing;
int32_t title_menu(void);
int32_t point_scored(void);
int32_t fade_out(void);
int32_t game_quit(void);

// The scene.
int32_t load_assets(void);
int32_t load_sounds(void);
int32_t draw_frame(void);

// Each part of the game back to the state the program starts with, releasing
// what it holds (pause_reset above does the same for the pause); for tests
// and tools that run the game many times in one process. The game never
// calls them.
void shell_reset(void);
void rally_reset(void);
void match_reset(void);
void scene_reset(void);

#endif
