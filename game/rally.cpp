// One frame of play, and the reset of a match.
#include "engine/clock.h"
#include "engine/display/bob.h"
#include "engine/display/display.h"
#include "engine/sound/sound.h"
#include "game/court.h"
#include "game/game.h"

namespace {

const GameState GAME_STATE_START = {0, 0, 0, 1, 1};

}  // namespace

GameState game_state = GAME_STATE_START;

BOB ball, paddle1, paddle2;

namespace {

const int32_t PADDLE_STEP = 5;
const int32_t PADDLE_LEFT_LIMIT = 22;
const int32_t PADDLE_RIGHT_MARGIN = 20;
const int32_t BOTTOM_HIT_Y = 438;  // ball y at or below the bottom paddle's top
const int32_t TOP_HIT_Y = 30;
const int32_t TOP_GOAL_Y = 20;      // a ball above this has passed the top
const int32_t BOTTOM_GOAL_Y = 445;  // a ball below this has passed the bottom
const int32_t WALL_MARGIN = 22;
const int32_t DEFLECT_SPEED_Y = 5;
const uint32_t FRAME_MS = 20;

// The zone of the paddle that the ball meets sets its new across speed: the
// left half sends it left, the right half right.
int32_t zone_speed(int32_t offset) {
  if (offset <= 15) return -6;
  if (offset <= 32) return -5;
  if (offset <= 48) return 6;
  return 5;
}

void move_player_paddle(BOB *paddle, uint8_t right_key, uint8_t left_key) {
  if (key_down(right_key)) paddle->x += PADDLE_STEP;
  if (key_down(left_key)) paddle->x -= PADDLE_STEP;
}

// The computer aims the paddle's left edge at the ball's left edge, and never
// steps right past it.
void move_computer_paddle() {
  if (paddle2.x < ball.x) paddle2.x += PADDLE_STEP;
  if (paddle2.x > ball.x) paddle2.x -= PADDLE_STEP;
}

void keep_on_court(BOB *paddle, int32_t right_limit) {
  if (paddle->x < PADDLE_LEFT_LIMIT) paddle->x = PADDLE_LEFT_LIMIT;
  if (paddle->x > right_limit) paddle->x = right_limit;
}

// A paddle deflects a ball coming towards it whose left edge lies over the
// paddle, in the paddle's hit band.
void deflect_off(const BOB *paddle, bool in_band, bool moving_towards,
                 int32_t new_yv) {
  const int32_t offset = ball.x - paddle->x;
  if (offset < 0 || offset >= paddle->width || !in_band || !moving_towards) {
    return;
  }
  bob_set_velocity(&ball, zone_speed(offset), new_yv);
  sound_play(bounce_sound, 0);
  game_state.goal_armed = 0;
}

// The fade and the title, unless the program is ending: then neither. The
// fade darkens the picture on the screen, which after a load may be a later
// frame's: the loaded scene is put there first, unshown.
void back_to_title() {
  if (game_quitting()) return;
  scene_compose_stale();
  fade_out();
  if (game_quitting()) return;
  title_menu();
}

void goal_for(int32_t *score, int32_t side) {
  sound_play(goal_sound, 0);
  *score += 1;
  game_state.serving_side = side;
  if (!point_scored()) back_to_title();
}

}  // namespace

int32_t rally_goal_ahead(void) {
  return ball.y < TOP_GOAL_Y || ball.y > BOTTOM_GOAL_Y ? 1 : 0;
}

// Once the end of the program is posted, or asked for, the frame stops where
// it is: nothing more is composed or shown.
int32_t game_frame(void) {
  if (game_quitting()) return 1;
  if (plat_escape_down()) {
    back_to_title();
    if (game_quitting()) return 1;
  }
  clock_start();
  game_state.goal_armed = 1;
  keyboard_read();
  if (pause_update()) {
    draw_frame();
    clock_wait(FRAME_MS);
    return 1;
  }

  move_player_paddle(&paddle1, DIK_RIGHT, DIK_LEFT);
  if (game_state.mode == 2) {
    move_player_paddle(&paddle2, DIK_X, DIK_Z);
  } else if (game_state.mode == 1) {
    move_computer_paddle();
  }
  // One limit for both paddles, from the bottom paddle's width.
  const int32_t right_limit =
      display_width - paddle1.width - PADDLE_RIGHT_MARGIN;
  keep_on_court(&paddle1, right_limit);
  keep_on_court(&paddle2, right_limit);

  deflect_off(&paddle1, ball.y >= BOTTOM_HIT_Y, ball.yv > 0, -DEFLECT_SPEED_Y);
  deflect_off(&paddle2, ball.y <= TOP_HIT_Y, ball.yv < 0, DEFLECT_SPEED_Y);

  if (ball.y < TOP_GOAL_Y && game_state.goal_armed == 1) {
    goal_for(&game_state.player1_score, 1);
    if (game_quitting()) return 1;
  }
  if (ball.y > BOTTOM_GOAL_Y && game_state.goal_armed == 1) {
    goal_for(&game_state.player2_score, 2);
    if (game_quitting()) return 1;
  }

  if (ball.x > display_width - ball.width - WALL_MARGIN ||
      ball.x < WALL_MARGIN) {
    sound_play(bounce_sound, 0);
    bob_set_velocity(&ball, -ball.xv, ball.yv);
  }

  ball.x += ball.xv;
  ball.y += ball.yv;

  draw_frame();
  clock_wait(FRAME_MS);
  return 1;
}

int32_t game_reset(void) {
  bob_set_position(&paddle1, PADDLE1_HOME_X, PADDLE1_HOME_Y);
  bob_set_position(&paddle2, PADDLE2_HOME_X, PADDLE2_HOME_Y);
  bob_set_position(&ball, BALL_HOME_X, BALL_HOME_Y);
  bob_set_velocity(&ball, 0, 0);
  game_state.player2_score = 0;
  game_state.player1_score = 0;
  pause_reset();
  return 1;
}

void rally_reset(void) {
  game_state = GAME_STATE_START;
  bob_destroy(&ball);
  bob_destroy(&paddle1);
  bob_destroy(&paddle2);
  ball = paddle1 = paddle2 = BOB{};
}
