// Shared by the benchmarks of a frame and of the game's state: the game's
// scene loaded from the generated files as the game loads it, mid-rally
// (every sprite on the court, the ball moving, two-digit scores), on the
// headless platform.
#ifndef QUILLFIRE_BENCH_SCENE_H
#define QUILLFIRE_BENCH_SCENE_H

#include <stdint.h>
#include <unistd.h>

#include "engine/window.h"
#include "game/game.h"
#include "platform/headless/headless.h"

inline intptr_t bench_window_proc(PlatWindow *window, uint32_t message,
                                  uintptr_t wparam, intptr_t lparam) {
  return plat_default_window_proc(window, message, wparam, lparam);
}

// Loads it once per process; 0 when the files or the display can't be had.
inline bool bench_open_scene() {
  static bool open = false;
  if (open) return true;
  if (chdir(QF_RUN_DIR) != 0) return false;
  headless_reset();
  headless_set_time_limit(UINT64_MAX);
  plat_init();
  main_window =
      plat_window_create("Quillfire", 0, 0, 640, 480, bench_window_proc);
  load_assets();
  bob_set_position(&paddle1, 200, 450);
  bob_set_position(&paddle2, 300, 22);
  bob_set_position(&ball, 330, 240);
  bob_set_velocity(&ball, 5, -5);
  game_state.player1_score = 10;
  game_state.player2_score = 10;
  draw_frame();
  open = headless_display_open() && background_image.buffer;
  return open;
}

#endif
