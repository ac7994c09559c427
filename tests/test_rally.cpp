// The rally rules, played through game_frame on the headless platform.
#include <tuple>
#include <vector>

#include "engine/input/keyboard.h"
#include "game/game.h"
#include "support.h"

namespace {

class Rally : public Fresh {
 protected:
  void SetUp() override {
    Fresh::SetUp();
    open_window_display_keyboard();
    size_sprites();
    game_reset();
    game_state.mode = 2;
  }

  // One frame with exactly these keys down.
  void frame_with(std::initializer_list<uint8_t> keys) {
    for (int k = 0; k < 256; k++) headless_key((uint8_t)k, 0);
    for (uint8_t k : keys) headless_key(k, 1);
    game_frame();
  }

  // Puts the ball at (x, y) moving (xv, yv) and runs one frame.
  void ball_frame(int x, int y, int xv, int yv,
                  std::initializer_list<uint8_t> keys = {}) {
    std::tie(ball.x, ball.y, ball.xv, ball.yv) = std::tie(x, y, xv, yv);
    frame_with(keys);
  }
};

// Player 1 has the arrows, player 2 Z and X; both of a player's keys cancel,
// and the paddles are kept between 22 and 554.
TEST_F(Rally, PlayerKeysMoveTheirOwnPaddleOnTheCourt) {
  const struct {
    int32_t from1, from2;
    std::initializer_list<uint8_t> keys;
    int32_t to1, to2;
  } cases[] = {
      {280, 280, {DIK_RIGHT}, 285, 280},
      {280, 280, {DIK_LEFT}, 275, 280},
      {280, 280, {DIK_LEFT, DIK_RIGHT}, 280, 280},
      {280, 280, {DIK_X}, 280, 285},
      {280, 280, {DIK_Z}, 280, 275},
      {280, 280, {DIK_Z, DIK_X}, 280, 280},
      {280, 280, {DIK_RIGHT, DIK_Z}, 285, 275},
      {22, 22, {DIK_LEFT, DIK_Z}, 22, 22},
      {24, 24, {DIK_LEFT, DIK_Z}, 22, 22},
      {554, 554, {DIK_RIGHT, DIK_X}, 554, 554},
      // The top paddle is a pixel narrower but shares the bottom one's limit.
      {552, 552, {DIK_RIGHT, DIK_X}, 554, 554},
  };
  for (const auto &c : cases) {
    paddle1.x = c.from1;
    paddle2.x = c.from2;
    frame_with(c.keys);
    EXPECT_EQ(paddle1.x, c.to1) << "from " << c.from1;
    EXPECT_EQ(paddle2.x, c.to2) << "from " << c.from2;
  }
}

// Against the computer the top paddle steps towards the ball's left edge,
// and Z and X are ignored; before a mode is chosen it stays.
TEST_F(Rally, ComputerStepsTowardsTheBallOnlyOnceChosen) {
  const struct {
    int mode, ball_offset, moved;
  } cases[] = {{1, 4, 0},   {1, 5, 5},     {1, -1, -5}, {1, 0, 0},
               {1, 200, 5}, {1, -200, -5}, {0, 200, 0}, {0, -200, 0}};
  for (const auto &c : cases) {
    game_state.mode = c.mode;
    paddle2.x = 300;
    ball_frame(300 + c.ball_offset, 200, 0, 0, {DIK_X});
    EXPECT_EQ(paddle2.x, 300 + c.moved)
        << "mode " << c.mode << ", ball at paddle + " << c.ball_offset;
  }
}

// The ball against the paddles (bottom at x 280, y 450; top at x 280, y 22)
// and the side walls: where it starts, how it moves, and where one frame
// leaves it. The new velocity depends only on the zone of the paddle it
// meets; the walls reverse it by position alone. None of it is a goal.
TEST_F(Rally, PaddleZonesMissesAndWalls) {
  struct Case {
    const char *what;
    int x, y, xv, yv;    // before the frame
    int new_xv, new_yv;  // after it; the ball has then moved by them
  } cases[] = {
      {"bottom zone 1 start", 280, 440, 3, 5, -6, -5},
      {"bottom zone 1 end", 295, 440, 3, 5, -6, -5},
      {"bottom zone 2 start", 296, 440, 3, 5, -5, -5},
      {"bottom zone 2 end", 312, 440, 3, 5, -5, -5},
      {"bottom zone 3 start", 313, 440, 3, 5, 6, -5},
      {"bottom zone 3 end", 328, 440, 3, 5, 6, -5},
      {"bottom zone 4 start", 329, 440, 3, 5, 5, -5},
      {"bottom last pixel", 345, 440, 3, 5, 5, -5},
      {"bottom offset -1", 279, 438, 3, 5, 3, 5},
      {"bottom offset 66", 346, 438, 3, 5, 3, 5},
      {"above the bottom band", 300, 437, 3, 5, 3, 5},
      {"moving up over the bottom", 300, 440, 3, -5, 3, -5},
      {"not moving along the court", 300, 440, 3, 0, 3, 0},
      {"top zone 1", 280, 30, 0, -5, -6, 5},
      {"top zone 2", 296, 30, 0, -5, -5, 5},
      {"top zone 3", 328, 30, 0, -5, 6, 5},
      {"top last pixel", 344, 30, 0, -5, 5, 5},
      {"top offset -1", 279, 25, 2, -5, 2, -5},
      {"top offset 65", 345, 25, 2, -5, 2, -5},
      {"below the top band", 300, 31, 2, -5, 2, -5},
      {"left wall", 21, 200, -5, 5, 5, 5},
      {"right wall", 608, 200, 5, 5, -5, 5},
      {"left wall, moving away", 21, 200, 5, 5, -5, 5},
      {"inside the left wall", 22, 200, -5, 5, -5, 5},
      {"inside the right wall", 607, 200, 5, 5, 5, 5},
      // A paddle that deflects the ball past its goal line saves the point.
      {"deflected past the bottom line", 300, 450, 5, 5, -5, -5},
      {"deflected past the top line", 300, 15, 5, -5, -5, 5},
      {"on the top goal line", 100, 20, 5, -5, 5, -5},
      {"on the bottom goal line", 100, 445, 5, 5, 5, 5},
  };
  for (const Case &c : cases) {
    paddle1.x = paddle2.x = 280;
    ball_frame(c.x, c.y, c.xv, c.yv);
    EXPECT_EQ(ball.xv, c.new_xv) << c.what;
    EXPECT_EQ(ball.yv, c.new_yv) << c.what;
    EXPECT_EQ(ball.x, c.x + c.new_xv) << c.what;
    EXPECT_EQ(ball.y, c.y + c.new_yv) << c.what;
    EXPECT_EQ(game_state.player1_score + game_state.player2_score, 0) << c.what;
  }
}

// Through the bottom a point for player 2, who then serves from the top,
// downward, after SPACE; through the top one for player 1, from the bottom.
TEST_F(Rally, GoalLinesScoreAndHandTheServe) {
  const struct {
    int y, yv;
    int32_t scores[2], server, served_y, served_yv;
  } goals[] = {{446, 5, {0, 1}, 2, 29, 5}, {19, -5, {1, 1}, 1, 440, -5}};
  for (const auto &g : goals) {
    headless_tap_at(headless_now() + 50, DIK_SPACE, 30);
    ball_frame(100, g.y, 5, g.yv);
    EXPECT_EQ(game_state.player1_score, g.scores[0]) << g.y;
    EXPECT_EQ(game_state.player2_score, g.scores[1]) << g.y;
    EXPECT_EQ(game_state.serving_side, g.server) << g.y;
    EXPECT_EQ(ball.yv, g.served_yv) << g.y;
    EXPECT_EQ(ball.y, g.served_y + g.served_yv) << g.y;
  }
}

TEST_F(Rally, ResetPutsEverythingHomeAndKeepsModeAndServer) {
  game_state = GameState{7, 3, 1, 2, 1};
  ball.xv = 5;
  game_reset();
  // Scores, mode and server; then the paddles', the ball's place and speed.
  EXPECT_EQ(
      (std::vector<int32_t>{game_state.player1_score, game_state.player2_score,
                            game_state.mode, game_state.serving_side}),
      (std::vector<int32_t>{0, 0, 1, 2}));
  EXPECT_EQ((std::vector<int32_t>{paddle1.x, paddle1.y, paddle2.x, paddle2.y,
                                  ball.x, ball.y, ball.xv, ball.yv}),
            (std::vector<int32_t>{280, 450, 280, 22, 315, 442, 0, 0}));
}

TEST_F(Rally, EveryFrameTakesAtLeastTwentyMilliseconds) {
  const uint32_t start = headless_now();
  for (int i = 0; i < 10; i++) frame_with({});
  const uint32_t spent = headless_now() - start;
  EXPECT_GE(spent, 200u);
  EXPECT_LE(spent, 240u);
}

}  // namespace
