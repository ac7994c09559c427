// The game: its state, its sprites, pictures and sounds, and the operations
// of the shell, the rally, the match flow and the scene.
//
// How a frame flows. WinMain opens the window and calls game_init, which
// loads everything and runs title_menu once before the main loop starts
// (shell_start). Each pass of the main loop (shell_pass) dispatches one of the
// window's messages and, until quit_posted, calls game_frame: first Escape
// (fade_out, title_menu -> point_scored), then clock_start, keyboard_read,
// pause_update (paused: draw_frame, clock_wait, done); else the paddles move,
// a goal calls point_scored (which waits for Space or Escape; Escape or a win
// goes back through fade_out and title_menu), the walls bounce the ball, it
// moves, then draw_frame and clock_wait hold the frame to 20 ms. So the title
// and the serve prompt run inside a frame, with their own keyboard loops; the
// main loop sees none of it. A close request (game_quitting) ends every such
// wait at once; Q at the title calls game_quit, which posts the end, and the
// main loop then only drains the queue to WM_QUIT and shell_end calls
// game_shutdown.
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
// Called by main (run_game) once the data folder is found; returns the exit
// status. It is shell_start, shell_pass until it returns 0, then shell_end.
// The game's entry: a game that can't start (no platform, window or
// keyboard) is said in one line on standard error, once, and ends with 1;
// nothing below it prints an error.
int WinMain(void *instance, void *previous, char *command_line, int show);
// The three parts of WinMain, for whatever drives the game pass by pass
// (tests, tools, a replay, network play that runs frames again).
// shell_start: called once, first: opens the platform and the window, then
// game_init (the first title and serve prompt run inside it). Returns 1, or 0
// when the platform or the window could not be opened: that is said on
// standard error, nothing is left open, and the program ends with 1.
int32_t shell_start(void *instance);
// shell_pass: called after shell_start until it returns 0. Takes one message
// and dispatches it, then runs one game_frame unless the end is posted.
// Returns 0, running nothing, once the message taken is WM_QUIT. Between two
// passes the game's state may be saved and restored (game/snapshot.h).
int32_t shell_pass(void);
// shell_end: called once shell_pass has returned 0: game_shutdown and
// plat_shutdown. Returns the exit status WM_QUIT carried.
int shell_end(void);
// Called by the platform for every dispatched message: WM_DESTROY posts the
// end, WM_KILLFOCUS pauses a running rally.
intptr_t window_proc(PlatWindow *window, uint32_t message, uintptr_t wparam,
                     intptr_t lparam);
// Called by shell_start before the main loop; returns after the first
// title_menu. Without a keyboard it posts the end at once and leaves the
// reason for shell_end to say.
int32_t game_init(void);
// Called by shell_end after the main loop has taken WM_QUIT.
int32_t game_shutdown(void);

// Set once the end of the program has been posted; from then on no frame
// runs. game_quitting() is also 1 once the user has asked the program to end
// (plat_close_requested), which every screen gives way to at once.
extern int32_t quit_posted;
int32_t game_quitting(void);

// The rally.
// Called by the main loop once a pass until the end is posted; one 20 ms frame.
int32_t game_frame(void);
// 1 when the ball lies past a goal line, so that the next frame may score
// (whether it does depends on that frame's keys, which may move a paddle
// under it). Asked by network play, which runs such a frame only once both
// players' keys for it are known.
int32_t rally_goal_ahead(void);
// Called by title_menu: paddles and ball home, scores 0, the pause lifted.
int32_t game_reset(void);

// The pause of a rally. pause_update looks at this frame's keyboard_state
// and returns game_paused: 1 while the rally stands still.
extern int32_t game_paused;
// 1 while a rally runs (the ball moves): only a running rally pauses.
// Asked by the pause and by network play, for the joiner's pause keys.
int32_t rally_running(void);
// Called by game_frame right after keyboard_read.
int32_t pause_update(void);
// Called by window_proc when the window loses the focus.
void pause_focus_lost(void);
// Called by game_reset.
void pause_reset(void);
// 1 while P or Pause was down at the last rally frame's read: only a press
// that begins toggles the pause. Saved and restored with the game's state.
extern int32_t pause_key_was_down;

// The match flow. title_showing is 1 while the title waits for a choice, for
// what is shown over it (network play's note).
extern int32_t title_showing;
// 1 while the serve prompt waits for Space, for network play: the joiner's
// Space serves only the top paddle's serve.
extern int32_t serve_prompt_showing;
// Called by game_init at start-up, and from game_frame after Escape or a
// match's end (through fade_out). Returns once a mode was chosen and the serve
// prompt answered, or at once after Q, Escape or a close request (game_quit).
int32_t title_menu(void);
// Called by title_menu and after each goal: places the serve, shows the
// winner (returns 0) or waits for Space (serves, 1) or Escape/close (0).
int32_t point_scored(void);
// Called before each title and by title_menu after a choice and by game_quit:
// darkens the palette, then clears both surfaces unless the end was asked for.
int32_t fade_out(void);
// Called by title_menu on Q, Escape or a close request: fades and posts the
// end (WM_DESTROY, quit_posted).
int32_t game_quit(void);

// The scene.
// Called by game_init, once each, before the first title.
int32_t load_assets(void);
int32_t load_sounds(void);
// Set by main before the game when the player asked for sound; called by
// load_sounds, once the window is open, with 1 when the sound device opened,
// so that what is said of the sounds comes only once the game has started.
// Null in tests, tools and replays.
extern void (*sounds_ready_hook)(int32_t device_open);
// Called at the end of every frame, and by point_scored before its prompt:
// court, sprites and scores to the back surface, then flipped to the screen.
int32_t draw_frame(void);
// Called by game_load: the screen holds a picture that may not be the loaded
// state's; `paused_note` is whether the state's last frame had the pause's
// note. draw_frame composes afresh and ends it.
void scene_mark_stale(int32_t paused_note);
// Called by the rally before a fade of the picture on the screen (Escape at
// the start of a frame): after a load, the loaded state's scene is composed
// and put on the primary surface without being presented, so that the fade
// darkens it. Nothing at all otherwise.
void scene_compose_stale(void);

// Each part of the game back to the state the program starts with, releasing
// what it holds (pause_reset above does the same for the pause); for tests
// and tools that run the game many times in one process. The game never
// calls them.
void shell_reset(void);
void rally_reset(void);
void match_reset(void);
void scene_reset(void);

#endif
