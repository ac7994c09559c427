#include "run/runner.h"

#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "game/game.h"
#include "platform/dik.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_audio.h"
#include "platform/record/record.h"
#include "run/reset_all.h"
#include "run/wav_mix.h"
#include "screenshot/png_write.h"

namespace {

const uint32_t MIX_RATE = 11025;
// Within this many pixels of the ball's centre the player holds still.
const int32_t PLAYER_SLACK = 6;
// A script's run may go this long past its last step before it counts as
// stuck; a replay may go as long as a recording can be.
const uint64_t SCRIPT_GRACE_MS = 120 * 1000;
const uint64_t REPLAY_LIMIT_MS = 48ull * 3600 * 1000;

struct Run {
  const RunRequest *request;
  FILE *log;
  std::vector<int16_t> mix;
  std::vector<char> shot_taken;
  int players[3];  // 1 while the built-in player has that paddle
  size_t next_player_step;
  int failed;
  // The frame on the screen: the last one shown (when `shown` is 1).
  std::vector<uint8_t> shown_pixels;
  uint8_t shown_palette[1024];
  int32_t shown_width, shown_height;
  int shown;
};

Run run;

uint32_t now_ms() {
  return run.request->replay.empty() ? headless_now() : record_last_tick();
}

void mix_until(uint32_t ms) {
  const size_t due = (size_t)((uint64_t)ms * MIX_RATE / 1000);
  if (due <= run.mix.size()) return;
  const size_t from = run.mix.size();
  run.mix.resize(due);
  headless_audio_render(&run.mix[from], (uint32_t)(due - from));
}

// Writes the frame on the screen for every shot not yet taken whose time is
// `until` or earlier.
void take_shots(uint32_t until) {
  const std::vector<ScriptStep> &steps = run.request->script;
  for (size_t i = 0; i < steps.size(); i++) {
    if (steps[i].action != SCRIPT_SHOT || run.shot_taken[i] ||
        steps[i].at > until || !run.shown) {
      continue;
    }
    run.shot_taken[i] = 1;
    const std::string path =
        run.request->out_dir + "/" + steps[i].name + ".png";
    if (!png_write_indexed(path.c_str(), run.shown_pixels.data(),
                           run.shown_width, run.shown_height,
                           run.shown_palette)) {
      fprintf(stderr, "quillfire-run: cannot write %s\n", path.c_str());
      run.failed = 1;
    }
  }
}

void on_present(const uint8_t *pixels, int32_t width, int32_t height,
                const uint8_t palette[1024], void *) {
  const uint32_t now = now_ms();
  mix_until(now);
  fprintf(run.log, "%u %d %d %d %d %d %d %d %d\n", now, ball.x, ball.y, ball.xv,
          ball.yv, paddle1.x, paddle2.x, game_state.player1_score,
          game_state.player2_score);
  // A shot is what the screen showed at its time: the last frame shown at
  // or before it, which stays until the next one (a screen waiting for a
  // key shows no new frame). Shots before this frame get the one before.
  if (now > 0) take_shots(now - 1);
  run.shown_pixels.assign(pixels, pixels + (size_t)width * height);
  memcpy(run.shown_palette, palette, sizeof run.shown_palette);
  run.shown_width = width;
  run.shown_height = height;
  run.shown = 1;
}

// Before every frame: the built-in players look at the ball.
void on_peek(void *) {
  const std::vector<ScriptStep> &steps = run.request->script;
  const uint32_t now = now_ms();
  for (; run.next_player_step < steps.size(); run.next_player_step++) {
    const ScriptStep &s = steps[run.next_player_step];
    if (s.at > now) break;
    if (s.action == SCRIPT_PLAYER_ON) run.players[s.paddle] = 1;
    if (s.action == SCRIPT_PLAYER_OFF) {
      run.players[s.paddle] = 0;
      headless_key(s.paddle == 1 ? DIK_LEFT : DIK_Z, 0);
      headless_key(s.paddle == 1 ? DIK_RIGHT : DIK_X, 0);
    }
  }
  for (int p = 1; p <= 2; p++) {
    if (!run.players[p]) continue;
    const BOB &paddle = p == 1 ? paddle1 : paddle2;
    int left = 0, right = 0;
    runner_player_keys(paddle.x, paddle.width, ball.x, ball.width, &left,
                       &right);
    headless_key(p == 1 ? DIK_LEFT : DIK_Z, left);
    headless_key(p == 1 ? DIK_RIGHT : DIK_X, right);
  }
}

int run_game(void) { return WinMain(plat_instance(), nullptr, nullptr, 0); }

}  // namespace

void runner_player_keys(int32_t paddle_x, int32_t paddle_width, int32_t ball_x,
                        int32_t ball_width, int *left, int *right) {
  const int32_t gap = (ball_x + ball_width / 2) - (paddle_x + paddle_width / 2);
  *left = gap < -PLAYER_SLACK;
  *right = gap > PLAYER_SLACK;
}

int runner_run(const RunRequest &request) {
  run = Run();
  run.request = &request;
  run.shot_taken.assign(request.script.size(), 0);
  const std::string log_path = request.out_dir + "/frames.log";
  run.log = fopen(log_path.c_str(), "w");
  if (!run.log) {
    fprintf(stderr, "quillfire-run: cannot write %s\n", log_path.c_str());
    return 1;
  }
  char here[4096];
  if (!getcwd(here, sizeof here) || chdir(request.assets_dir.c_str()) != 0) {
    fprintf(stderr, "quillfire-run: cannot go to %s\n",
            request.assets_dir.c_str());
    fclose(run.log);
    return 1;
  }

  reset_all();
  uint32_t last_step = 0;
  for (const ScriptStep &s : request.script) {
    if (s.at > last_step) last_step = s.at;
    if (!request.replay.empty()) continue;  // a replay's keys are recorded
    if (s.action == SCRIPT_DOWN) headless_key_at(s.at, s.key, 1);
    if (s.action == SCRIPT_UP) headless_key_at(s.at, s.key, 0);
    if (s.action == SCRIPT_END) headless_request_close_at(s.at);
  }
  const uint64_t time_limit =
      request.replay.empty() ? last_step + SCRIPT_GRACE_MS : REPLAY_LIMIT_MS;
  headless_set_time_limit(time_limit);
  headless_on_present(on_present, nullptr);
  headless_on_peek(on_peek, nullptr);

  int status =
      request.replay.empty()
          ? run_game()
          : record_session(request.timedemo ? SESSION_TIMEDEMO : SESSION_REPLAY,
                           request.replay.c_str(), run_game, "quillfire-run");
  // The limit closed the game as a player would have: the script never did.
  if (headless_time_limit_reached()) {
    fprintf(stderr,
            "quillfire-run: headless: virtual time limit of %llu ms passed: "
            "the game did not end\n",
            (unsigned long long)time_limit);
    status = 1;
  }
  mix_until(now_ms());
  // The last frame stayed on the screen to the end.
  take_shots(now_ms());
  headless_reset();
  headless_audio_reset();
  if (chdir(here) != 0) status = 1;

  fclose(run.log);
  const std::string wav_path = request.out_dir + "/mix.wav";
  if (!wav_mix_write(wav_path.c_str(), run.mix, MIX_RATE)) {
    fprintf(stderr, "quillfire-run: cannot write %s\n", wav_path.c_str());
    status = status ? status : 1;
  }
  for (size_t i = 0; i < request.script.size(); i++) {
    if (request.script[i].action == SCRIPT_SHOT && !run.shot_taken[i]) {
      fprintf(stderr,
              "quillfire-run: the game had ended by %u ms, the time "
              "of %s\n",
              request.script[i].at, request.script[i].name.c_str());
      run.failed = 1;
    }
  }
  if (run.failed && status == 0) status = 1;
  return status;
}
