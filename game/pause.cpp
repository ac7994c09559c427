// Pausing a rally: P or Pause stops it and starts it again, and a window that
// loses the keyboard focus pauses it, so that a player who looks away does
// not lose points. Only a rally pauses: the title and the serve prompt wait
// for the player anyway.
#include "game/court.h"
#include "game/game.h"

int32_t game_paused;

// The pause keys as the previous rally frame read them: only a press that
// begins counts, so a key held down does not pause and unpause every frame.
int32_t pause_key_was_down = 1;

int32_t rally_running(void) { return ball.xv != 0 || ball.yv != 0 ? 1 : 0; }

int32_t pause_update(void) {
  const bool down = key_down(DIK_P) || key_down(DIK_PAUSE);
  const bool pressed = down && !pause_key_was_down;
  pause_key_was_down = down ? 1 : 0;
  if (pressed && (game_paused || rally_running())) game_paused = !game_paused;
  return game_paused;
}

void pause_focus_lost(void) {
  if (rally_running()) game_paused = 1;
}

void pause_reset(void) {
  game_paused = 0;
  // A pause key held as a match begins was pressed for something else.
  pause_key_was_down = 1;
}
