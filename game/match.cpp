// Everything around the rallies: the title, the serve prompt after a goal,
// the winner, the fade between screens and quitting.
#include <string.h>

#include "engine/display/display.h"
#include "engine/display/image.h"
#include "engine/display/palette.h"
#include "engine/display/text.h"
#include "engine/random.h"
#include "engine/sound/sound.h"
#include "engine/window.h"
#include "game/court.h"
#include "game/game.h"

PALETTEENTRY saved_palette[256];

namespace {

const int32_t WINNING_SCORE = 10;
const int32_t SERVE_SPEED = 5;
const int32_t PROMPT_X = 230, PROMPT_Y = 235;
const int32_t WINNER_X = 270, WINNER_Y = 235;
const uint32_t WINNER_PAUSE_MS = 600;
const uint32_t WINNER_SHOWN_MS = 2000;

// One random number per serve: from the bottom, left 6 times in 10; from the
// top, each way 5 times in 10.
void launch_serve() {
  const int32_t r = random_next() % 10;
  if (game_state.serving_side == 1) {
    bob_set_velocity(&ball, r <= 5 ? -SERVE_SPEED : SERVE_SPEED, -SERVE_SPEED);
  } else {
    bob_set_velocity(&ball, r <= 4 ? SERVE_SPEED : -SERVE_SPEED, SERVE_SPEED);
  }
}

// A close request cuts the waits short (plat_sleep) and then shows nothing.
int32_t show_winner(const char *message) {
  plat_sleep(WINNER_PAUSE_MS);
  if (game_quitting()) return 0;
  sound_play(win_sound, 0);
  text_draw_index(message, WINNER_X, WINNER_Y, MESSAGE_COLOR, primary_surface);
  plat_sleep(WINNER_SHOWN_MS);
  return 0;
}

}  // namespace

int32_t title_showing = 0;
int32_t serve_prompt_showing = 0;

int32_t title_menu(void) {
  // Set before the title is shown, so that what network play shows over it
  // comes with its first frame.
  title_showing = 1;
  surface_fill(primary_surface, 0);
  game_reset();
  sound_play(title_sound, 0);
  lock_primary();
  if (primary_lock_ptr) {
    image_draw(&title_image, primary_lock_ptr, primary_lock_pitch, 0);
  }
  unlock_primary();

  // Escape quits here only when pressed here: the Escape that left the match
  // may still be held, or still remembered by the keyboard, and counts only
  // once it has been seen up. The Escape test of the frame forgets it too.
  plat_escape_down();
  bool escape_was_down = true;
  bool chosen = false;
  while (!chosen) {
    keyboard_read();
    if (key_down(DIK_1) || key_down(DIK_NUMPAD1)) {
      game_state.mode = 1;
      chosen = true;
    }
    if (key_down(DIK_2) || key_down(DIK_NUMPAD2)) {
      game_state.mode = 2;
      chosen = true;
    }
    const bool escape_pressed = key_down(DIK_ESCAPE) && !escape_was_down;
    escape_was_down = key_down(DIK_ESCAPE);
    // Closing the window at the title is taken as Q; its fade is cut short.
    if (key_down(DIK_Q) || escape_pressed || game_quitting()) {
      title_showing = 0;
      game_quit();
      return 1;
    }
    if (!chosen) plat_wait_input(nullptr);
  }
  title_showing = 0;
  fade_out();
  if (game_quitting()) return 1;
  point_scored();
  return 1;
}

int32_t point_scored(void) {
  bob_set_velocity(&ball, 0, 0);
  if (game_state.serving_side == 1) {
    bob_set_position(&ball, BALL_BOTTOM_SERVE_X, BALL_BOTTOM_SERVE_Y);
  }
  if (game_state.serving_side == 2) {
    bob_set_position(&ball, BALL_TOP_SERVE_X, BALL_TOP_SERVE_Y);
  }
  bob_set_position(&paddle1, PADDLE1_HOME_X, PADDLE1_HOME_Y);
  bob_set_position(&paddle2, PADDLE2_HOME_X, PADDLE2_HOME_Y);
  draw_frame();

  if (game_state.player1_score == WINNING_SCORE) {
    return show_winner("Player 1 Wins!");
  }
  if (game_state.player2_score == WINNING_SCORE) {
    return show_winner("Player 2 Wins!");
  }

  text_draw_index("Press SPACE to continue", PROMPT_X, PROMPT_Y, MESSAGE_COLOR,
                  primary_surface);
  bool served = false;
  serve_prompt_showing = 1;
  while (!served) {
    keyboard_read();
    if (key_down(DIK_SPACE)) {
      launch_serve();
      served = true;
    }
    // Closing the window at the prompt is taken as Escape.
    if (key_down(DIK_ESCAPE) || game_quitting()) {
      serve_prompt_showing = 0;
      return 0;
    }
    if (!served) plat_wait_input(nullptr);
  }
  serve_prompt_showing = 0;
  return 1;
}

int32_t fade_out(void) {
  palette_save(saved_palette);
  unlock_primary();
  screen_transition(TRANSITION_DARKEN, nullptr, 0);
  // Cut short by a close request: no screen follows, so nothing more is
  // shown.
  if (game_quitting()) return 1;
  surface_fill(primary_surface, 0);
  surface_fill(back_surface, 0);
  palette_set(saved_palette);
  return 1;
}

int32_t game_quit(void) {
  fade_out();
  plat_post_message(main_window, WM_DESTROY, 0, 0);
  quit_posted = 1;
  return 1;
}

void match_reset(void) {
  memset(saved_palette, 0, sizeof saved_palette);
  title_showing = 0;
  serve_prompt_showing = 0;
}
