#include "support.h"

#include "engine/display/display.h"
#include "engine/input/keyboard.h"
#include "engine/window.h"
#include "game/game.h"
#include "run/reset_all.h"

void reset_everything() { reset_all(); }

void size_sprites() {
  ball.width = ball.height = 11;
  paddle1.width = 66;
  paddle1.height = 8;
  paddle2.width = 65;
  paddle2.height = 8;
}

namespace {
intptr_t test_window_proc(PlatWindow *w, uint32_t m, uintptr_t wp,
                          intptr_t lp) {
  return window_proc(w, m, wp, lp);
}
}  // namespace

void open_window_display_keyboard() {
  ASSERT_EQ(plat_init(), 1);
  main_window =
      plat_window_create("Quillfire", 0, 0, 1280, 1024, test_window_proc);
  app_instance = plat_instance();
  ASSERT_EQ(display_init(640, 480, 8), 1);
  input_init();
  ASSERT_EQ(keyboard_init(), 1);
}
