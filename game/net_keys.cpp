#include "game/net_keys.h"

#include "game/court.h"
#include "game/game.h"

namespace {

const uint8_t DOWN = 0x80;

void set(uint8_t keys[256], uint8_t key, bool down) {
  if (down) keys[key] = DOWN;
}

bool rose(NetInput now, NetInput before, NetInput bit) {
  return (now & bit) && !(before & bit);
}

}  // namespace

NetInput net_keys_own(const uint8_t keys[256], int away) {
  NetInput in = 0;
  if (keys[DIK_LEFT]) in |= NET_IN_LEFT;
  if (keys[DIK_RIGHT]) in |= NET_IN_RIGHT;
  if (keys[DIK_SPACE]) in |= NET_IN_SERVE;
  if (keys[DIK_P] || keys[DIK_PAUSE]) in |= NET_IN_PAUSE;
  if (keys[DIK_ESCAPE]) in |= NET_IN_ESCAPE;
  if (keys[DIK_1] || keys[DIK_NUMPAD1]) in |= NET_IN_ONE;
  if (keys[DIK_2] || keys[DIK_NUMPAD2]) in |= NET_IN_TWO;
  if (keys[DIK_Q]) in |= NET_IN_QUIT;
  if (away) in |= NET_IN_AWAY;
  return in;
}

void net_keys_merge(const NetInput now[2], uint8_t keys[256]) {
  const NetInput host = now[NET_HOST];
  set(keys, DIK_LEFT, host & NET_IN_LEFT);
  set(keys, DIK_RIGHT, host & NET_IN_RIGHT);
  set(keys, DIK_SPACE, host & NET_IN_SERVE);
  set(keys, DIK_P, host & NET_IN_PAUSE);
  set(keys, DIK_ESCAPE, host & NET_IN_ESCAPE);
  set(keys, DIK_1, host & NET_IN_ONE);
  set(keys, DIK_2, host & NET_IN_TWO);
  set(keys, DIK_Q, host & NET_IN_QUIT);
  const NetInput joiner = now[NET_JOINER];
  if (!(joiner & NET_IN_GONE)) {
    set(keys, DIK_Z, joiner & NET_IN_LEFT);
    set(keys, DIK_X, joiner & NET_IN_RIGHT);
    if (game_state.mode == 2) {
      set(keys, DIK_SPACE,
          (joiner & NET_IN_SERVE) && serve_prompt_showing &&
              game_state.serving_side == 2);
      set(keys, DIK_P, joiner & NET_IN_PAUSE);
    }
  }
}

int net_keys_lost_focus(const NetInput now[2], const NetInput before[2]) {
  return rose(now[NET_HOST], before[NET_HOST], NET_IN_AWAY) ||
         rose(now[NET_JOINER], before[NET_JOINER], NET_IN_AWAY) ||
         rose(now[NET_JOINER], before[NET_JOINER], NET_IN_GONE);
}

int net_keys_escape(const NetInput now[2]) {
  return (now[NET_HOST] & NET_IN_ESCAPE) ? 1 : 0;
}

int net_keys_guessable(void) {
  return rally_running() && !game_paused && !rally_goal_ahead() &&
         !title_showing && !serve_prompt_showing && !quit_posted;
}

int net_keys_own_escape(int side, NetInput own) {
  return side == NET_HOST && (own & NET_IN_ESCAPE) ? 1 : 0;
}
