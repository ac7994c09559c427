// The game's pictures and sounds, and how a frame is composed from them.
#include <stdio.h>
#include <string.h>

#include "engine/display/clipper.h"
#include "engine/display/display.h"
#include "engine/display/palette.h"
#include "engine/display/text.h"
#include "engine/sound/sound.h"
#include "game/court.h"
#include "game/data_files.h"
#include "game/game.h"

BitmapImage background_image, title_image;
BitmapFile scratch_bitmap;
namespace {

const int32_t NO_SOUND = -1;

}  // namespace

int32_t bounce_sound = NO_SOUND, goal_sound = NO_SOUND, win_sound = NO_SOUND,
        title_sound = NO_SOUND;
char score_text[80];

namespace {

const int32_t BOB_FLAGS = 0x11;  // BOB_SHOWN and a bit nothing tests
const int32_t BOB_MEM_FLAGS = DDSCAPS_SYSTEMMEMORY;
const int32_t CELL_MODE = 0;
const uint32_t SOUND_FLAGS =
    DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME;
const int32_t LOADING_X = 290, LOADING_Y = 240;
const int32_t SCORE_Y = 1;
const int32_t PLAYER1_SCORE_X = 20;
const int32_t PLAYER2_SCORE_END_X = 620;  // assumes 6 pixels a character
const int32_t CHAR_WIDTH = 6;
const int32_t TITLE_X = 20, TITLE_Y = 20;
const char PAUSED_TEXT[] = "Paused";
const int32_t PAUSED_Y = 235;  // the line of the other messages

}  // namespace

int32_t load_assets(void) {
  display_init(640, 480, 8);
  plat_show_cursor(0);

  bmp_load(&scratch_bitmap, DATA_BALL_PICTURE);
  palette_set(scratch_bitmap.palette);
  text_draw_index("Loading...", LOADING_X, LOADING_Y, MESSAGE_COLOR,
                  primary_surface);
  bob_create(&ball, 0, 0, 11, 11, 1, BOB_FLAGS, BOB_MEM_FLAGS);
  bob_load_frame(&ball, &scratch_bitmap, 0, 0, 0, CELL_MODE);
  bmp_unload(&scratch_bitmap);

  bmp_load(&scratch_bitmap, DATA_PADDLE_PICTURE);
  bob_create(&paddle1, 0, 0, 66, 8, 1, BOB_FLAGS, BOB_MEM_FLAGS);
  bob_load_frame(&paddle1, &scratch_bitmap, 0, 0, 0, CELL_MODE);
  bob_create(&paddle2, 0, 0, 65, 8, 1, BOB_FLAGS, BOB_MEM_FLAGS);
  bob_load_frame(&paddle2, &scratch_bitmap, 0, 1, 0, CELL_MODE);
  bmp_unload(&scratch_bitmap);

  bmp_load(&scratch_bitmap, DATA_COURT_PICTURE);
  image_create(&background_image, 0, 0, 639, 479);
  image_load(&background_image, &scratch_bitmap, 0, 0, CELL_MODE);
  bmp_unload(&scratch_bitmap);
  background_image.x = 0;
  background_image.y = 0;

  bmp_load(&scratch_bitmap, DATA_TITLE_PICTURE);
  image_create(&title_image, 0, 0, 619, 459);
  image_load(&title_image, &scratch_bitmap, 0, 0, CELL_MODE);
  bmp_unload(&scratch_bitmap);
  title_image.x = TITLE_X;
  title_image.y = TITLE_Y;

  const RECT screen = {0, 0, display_width, display_height};
  back_clipper = clipper_attach(back_surface, 1, &screen);
  return 1;
}

void (*sounds_ready_hook)(int32_t device_open);

int32_t load_sounds(void) {
  const int32_t device_open = sound_init();
  if (sounds_ready_hook) sounds_ready_hook(device_open);
  bounce_sound = sound_load_wav(DATA_BOUNCE_SOUND, SOUND_FLAGS);
  goal_sound = sound_load_wav(DATA_GOAL_SOUND, SOUND_FLAGS);
  win_sound = sound_load_wav(DATA_WIN_SOUND, SOUND_FLAGS);
  title_sound = sound_load_wav(DATA_TITLE_SOUND, SOUND_FLAGS);
  return 1;
}

namespace {

// After game_load the screen still holds the picture of the frame shown last,
// which may be a later one than the state now describes; the scene of the
// loaded state goes there only when something shows the screen's picture as
// it is (scene_compose_stale). screen_paused_note is whether that scene has
// the pause's note: the note as the last frame before the save drew it, not
// as the pause may stand by then (a focus loss dispatched in the same pass).
bool screen_stale = false;
int32_t screen_paused_note = 0;

// Court, sprites, scores and the pause's note into the back surface.
void compose(int32_t paused_note) {
  lock_back();
  if (back_lock_ptr) {
    image_draw(&background_image, back_lock_ptr, back_lock_pitch, 0);
  }
  unlock_back();

  bob_draw(&paddle1, back_surface);
  bob_draw(&paddle2, back_surface);
  bob_draw(&ball, back_surface);

  const uint32_t white = RGB(255, 255, 255);
  snprintf(score_text, sizeof score_text, "Player 1 - %d",
           game_state.player1_score);
  text_draw_rgb(score_text, PLAYER1_SCORE_X, SCORE_Y, white, back_surface);
  snprintf(score_text, sizeof score_text, "Player 2 - %d",
           game_state.player2_score);
  const int32_t length = (int32_t)strlen(score_text);
  text_draw_rgb(score_text, PLAYER2_SCORE_END_X - CHAR_WIDTH * length, SCORE_Y,
                white, back_surface);

  if (paused_note) {
    const int32_t width = CHAR_WIDTH * (int32_t)(sizeof PAUSED_TEXT - 1);
    text_draw_index(PAUSED_TEXT, (display_width - width) / 2, PAUSED_Y,
                    MESSAGE_COLOR, back_surface);
  }
}

}  // namespace

int32_t draw_frame(void) {
  compose(game_paused);
  screen_stale = false;
  display_flip();
  return 1;
}

void scene_mark_stale(int32_t paused_note) {
  screen_stale = true;
  screen_paused_note = paused_note;
}

void scene_compose_stale(void) {
  if (!screen_stale) return;
  compose(screen_paused_note);
  display_flip_unshown();
  screen_stale = false;
}

void scene_reset(void) {
  image_destroy(&background_image);
  image_destroy(&title_image);
  background_image = title_image = BitmapImage{};
  bmp_unload(&scratch_bitmap);
  scratch_bitmap = BitmapFile{};
  bounce_sound = goal_sound = win_sound = title_sound = NO_SOUND;
  memset(score_text, 0, sizeof score_text);
  screen_stale = false;
  screen_paused_note = 0;
}
