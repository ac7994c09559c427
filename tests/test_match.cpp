// The whole game, played end to end on the headless platform with our own
// pictures and sounds: what the player sees at every screen.
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/display/display.h"
#include "engine/display/text.h"
#include "engine/input/keyboard.h"
#include "engine/sound/sound.h"
#include "game/game.h"
#include "platform/headless/headless_audio.h"
#include "support.h"

namespace {

typedef std::vector<uint8_t> Bytes;

struct Frame {
  uint32_t at;
  Bytes pixels;
  Bytes palette;
  GameState state;
  BOB ball, paddle1, paddle2;  // where the game had them

  uint8_t at_xy(int x, int y) const { return pixels[(size_t)y * 640 + x]; }
  int rgb(int x, int y) const {
    const uint8_t *e = &palette[4 * at_xy(x, y)];
    return (e[0] << 16) | (e[1] << 8) | e[2];
  }
};

// Every frame the player saw, with the game's state at that moment.
std::vector<Frame> seen;
// Set, Q is pressed 5 s after a score of 10 (after the winner the title
// waits for a key).
bool quit_after_win;

// What the frames are checked against, taken while the game runs: the
// background, the sprites' frames, and each score line as the library draws
// it over the background's top rows.
struct Expected {
  bool taken = false;
  Bytes background;
  Bytes title;
  Bytes sprites[3];
  std::map<std::string, Bytes> score_rows;
  Bytes palette;  // the game's colours, from the ball's file
  PlatVoice bounce, goal, win, title_tune;
};
Expected expected;
const int SCORE_ROWS = 16;

void render_score_line(const std::string &text, int x) {
  DDSurface *strip = nullptr;
  ASSERT_EQ(dd_create_surface(ddraw_object, 640, SCORE_ROWS, 0, &strip), DD_OK);
  for (int row = 0; row < SCORE_ROWS; row++) {
    memcpy(strip->pixels + row * 640, &expected.background[row * 639], 639);
  }
  text_draw_rgb(text.c_str(), x, 1, RGB(255, 255, 255), strip);
  expected.score_rows[text].assign(strip->pixels,
                                   strip->pixels + 640 * SCORE_ROWS);
  dd_release_surface(strip);
}

// Once everything is loaded (the title picture is the last), before the
// first screen is shown.
void take_expected() {
  if (expected.taken || !(title_image.flags & IMAGE_FILLED)) return;
  expected.taken = true;
  const uint8_t *colours = (const uint8_t *)display_palette;
  expected.palette.assign(colours, colours + 1024);
  expected.background.assign(background_image.buffer,
                             background_image.buffer + 639 * 479);
  expected.title.assign(title_image.buffer, title_image.buffer + 619 * 459);
  expected.bounce = sound_table[bounce_sound].buffer;
  expected.goal = sound_table[goal_sound].buffer;
  expected.win = sound_table[win_sound].buffer;
  expected.title_tune = sound_table[title_sound].buffer;
  const BOB *bobs[] = {&ball, &paddle1, &paddle2};
  for (int i = 0; i < 3; i++) {
    const DDSurface *frame = bobs[i]->frames[0];
    expected.sprites[i].assign(frame->pixels,
                               frame->pixels + frame->pitch * frame->height);
  }
  for (int score = 0; score <= 10; score++) {
    const std::string one = "Player 1 - " + std::to_string(score);
    const std::string two = "Player 2 - " + std::to_string(score);
    render_score_line(one, 20);
    render_score_line(two, 620 - 6 * (int)two.size());
  }
}

void keep_frame(const uint8_t *pixels, int32_t width, int32_t height,
                const uint8_t palette[1024], void *) {
  take_expected();
  if (width != 640 || height != 480) return;
  if (quit_after_win &&
      (game_state.player1_score == 10 || game_state.player2_score == 10)) {
    quit_after_win = false;
    headless_tap_at(headless_now() + 5000, DIK_Q, 40);
  }
  seen.push_back(Frame{headless_now(), Bytes(pixels, pixels + 640 * 480),
                       Bytes(palette, palette + 1024), game_state, ball,
                       paddle1, paddle2});
}

class Match : public Fresh {
 protected:
  void SetUp() override {
    Fresh::SetUp();
    seen.clear();
    quit_after_win = false;
    expected = Expected{};
    ASSERT_EQ(chdir(QF_RUN_DIR), 0);
    headless_on_present(keep_frame, nullptr);
  }

  int play() { return WinMain(plat_instance(), nullptr, nullptr, 0); }

  // Frames from the first one for which `pick` holds.
  const Frame *first(const std::function<bool(const Frame &)> &pick) {
    for (const Frame &f : seen) {
      if (pick(f)) return &f;
    }
    return nullptr;
  }
};

// How often a sound was started.
int plays_of(PlatVoice voice) {
  size_t count = 0;
  const HeadlessAudioEvent *events = headless_audio_events(&count);
  return (int)std::count_if(events, events + count, [&](const auto &e) {
    return e.voice == voice && e.kind == HEADLESS_AUDIO_PLAY;
  });
}

// The picture the player should see where a sprite stands over the
// background: its (w - 1) x (h - 1) visible pixels, index 0 transparent.
void expect_sprite(const Frame &f, int which, const BOB &bob, int x, int y) {
  ASSERT_TRUE(expected.taken);
  const Bytes &sprite = expected.sprites[which];
  const int pitch = bob.width + bob.row_pad;
  int mismatches = 0;
  for (int row = 0; row < bob.height - 1; row++) {
    for (int col = 0; col < bob.width - 1; col++) {
      const uint8_t ink = sprite[row * pitch + col];
      const int sx = x + col, sy = y + row;
      const uint8_t behind = expected.background[sy * 639 + sx];
      if (f.at_xy(sx, sy) != (ink ? ink : behind)) mismatches++;
    }
  }
  EXPECT_EQ(mismatches, 0) << "sprite at (" << x << ", " << y << ")";
}

enum { BALL, PADDLE1, PADDLE2 };

// A score line: the frame's top rows where the text stands are exactly the
// library's white text over the background.
void expect_score(const Frame &f, const std::string &text) {
  ASSERT_TRUE(expected.taken);
  ASSERT_EQ(expected.score_rows.count(text), 1u) << text;
  const Bytes &rows = expected.score_rows[text];
  const int x = text[7] == '1' ? 20 : 620 - 6 * (int)text.size();
  int mismatches = 0, white = 0;
  for (int row = 0; row < SCORE_ROWS; row++) {
    for (int col = x; col < x + 6 * (int)text.size(); col++) {
      mismatches += f.at_xy(col, row) != rows[row * 640 + col];
      white += f.rgb(col, row) == 0xFFFFFF;
    }
  }
  EXPECT_EQ(mismatches, 0) << text;
  EXPECT_GT(white, 10) << text;
}

// Two players: the serve prompt, the first serve of the run, both paddles
// moved by their keys; Escape fades to the title, and Q there fades to
// colour 0 and ends the run.
TEST_F(Match, ARallyLeftWithEscapeThenQAtTheTitle) {
  headless_tap_at(100, DIK_2, 40);
  headless_tap_at(1500, DIK_SPACE, 40);
  headless_tap_at(1600, DIK_X, 300);     // over a dozen frames right
  headless_tap_at(1600, DIK_LEFT, 100);  // about 5 frames left
  headless_tap_at(2500, DIK_ESCAPE, 40);
  headless_tap_at(5000, DIK_Q, 40);
  EXPECT_EQ(play(), 0);

  // The serve prompt: the ball at its spot, the court and the prompt.
  const Frame *prompt = first([](const Frame &f) {
    return f.state.mode == 2 && f.ball.y == 440 && f.at > 1000;
  });
  ASSERT_NE(prompt, nullptr);
  expect_sprite(*prompt, BALL, ball, 315, 440);
  expect_sprite(*prompt, PADDLE1, paddle1, 280, 450);
  expect_sprite(*prompt, PADDLE2, paddle2, 280, 22);
  expect_score(*prompt, "Player 1 - 0");
  expect_score(*prompt, "Player 2 - 0");

  // The first serve of a run goes left from the bottom, at (-5, -5): three
  // frames later the ball is 15 up and 15 left.
  const Frame *moving = first([](const Frame &f) { return f.ball.y == 425; });
  ASSERT_NE(moving, nullptr);
  EXPECT_EQ(moving->ball.x, 300);
  expect_sprite(*moving, BALL, ball, 300, 425);

  const Frame *moved =
      first([](const Frame &f) { return f.at > 1950 && f.at < 2400; });
  ASSERT_NE(moved, nullptr);
  EXPECT_GE(moved->paddle2.x, 280 + 5 * 10);
  EXPECT_LE(moved->paddle1.x, 280 - 5 * 3);
  expect_sprite(*moved, PADDLE2, paddle2, moved->paddle2.x, 22);
  expect_sprite(*moved, PADDLE1, paddle1, moved->paddle1.x, 450);

  // The fade darkens every colour but entry 0 step by step, one shown
  // frame per step, from the court's colours...
  const Frame *step = first([](const Frame &f) {
    return f.at >= 2500 && f.palette != expected.palette;
  });
  ASSERT_TRUE(step && step > &seen[0] && step + 80 <= &seen.back());
  const Frame &before = step[-1], &darkest = step[79];
  EXPECT_GE(darkest.at - step->at, 79u * 12);
  for (int i = 0; i < 256; i++) {
    for (int c = 0; c < 3; c++) {
      const int start = before.palette[4 * i + c];
      const int end = darkest.palette[4 * i + c];
      EXPECT_EQ(end, i == 0 ? start : start <= 241 ? 0 : start - 240) << i;
    }
  }
  // ...then the title comes back in the true colours.
  const Frame *title =
      first([](const Frame &f) { return f.at > 2500 && f.ball.y == 442; });
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->palette, before.palette);
  int title_rows = 0;
  for (int y = 0; y < 459; y++) {
    title_rows += memcmp(&title->pixels[(y + 20) * 640 + 20],
                         &expected.title[y * 619], 619) == 0;
  }
  EXPECT_EQ(title_rows, 459);

  // Q's fade ends on a screen of colour 0 in the true colours, and nothing
  // is shown after it: once the end is posted no frame runs.
  const Frame &faded = seen.back();
  EXPECT_TRUE(std::all_of(faded.pixels.begin(), faded.pixels.end(),
                          [](uint8_t p) { return p == 0; }));
  EXPECT_EQ(faded.palette, expected.palette);
  EXPECT_GT(faded.at, 5000u + 80 * 12);
}

// A whole match against the computer with nobody at the bottom paddle: every
// goal brings the serve prompt, SPACE serves, and at 10 the winner is shown
// before the title comes back with both scores at 0.
TEST_F(Match, AMatchToTenEndsWithTheWinnerAndTheTitle) {
  headless_tap_at(100, DIK_1, 40);
  for (uint32_t t = 1500; t < 600000; t += 700)
    headless_tap_at(t, DIK_SPACE, 40);
  quit_after_win = true;
  EXPECT_EQ(play(), 0);

  const Frame *won = first([](const Frame &f) {
    return f.state.player1_score == 10 || f.state.player2_score == 10;
  });
  ASSERT_NE(won, nullptr);
  const int winner = won->state.player1_score == 10 ? 1 : 2;
  // The final score line, then the winner's message in colour 144.
  expect_score(*won, "Player " + std::to_string(winner) + " - 10");
  expect_score(*won,
               "Player " + std::to_string(3 - winner) + " - " +
                   std::to_string(winner == 1 ? won->state.player2_score
                                              : won->state.player1_score));
  const Frame *message = first([&](const Frame &f) {
    return f.at >= won->at + 600 && f.at < won->at + 2600;
  });
  ASSERT_NE(message, nullptr);
  const uint8_t *gold = &message->palette[4 * 144];
  const int gold_rgb = (gold[0] << 16) | (gold[1] << 8) | gold[2];
  int lit = 0;
  for (int y = 235; y < 249; y++) {
    for (int x = 270; x < 270 + 6 * 14; x++)
      lit += message->rgb(x, y) == gold_rgb;
  }
  EXPECT_GT(lit, 30);
  // Heard: the title twice (at the start and after the match), a buzzer per
  // goal, the winner's flourish once, and bounces on the way.
  EXPECT_EQ(plays_of(expected.title_tune), 2);
  EXPECT_EQ(plays_of(expected.goal),
            won->state.player1_score + won->state.player2_score);
  EXPECT_EQ(plays_of(expected.win), 1);
  EXPECT_GT(plays_of(expected.bounce), 0);
  // The title again, scores back at 0.
  const Frame *title = first([&](const Frame &f) {
    return f.at > message->at + 2000 && f.state.player1_score == 0 &&
           f.state.player2_score == 0;
  });
  ASSERT_NE(title, nullptr);
}

}  // namespace
