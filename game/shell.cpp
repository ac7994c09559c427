// The program's entry and its only loop: one window, then one message and one
// frame per pass until the quit message arrives. The start, a pass and the end
// are operations of their own, so that tests and tools can drive the game
// pass by pass (and save its state between passes).
#include <stdio.h>

#include "engine/display/display.h"
#include "engine/display/image.h"
#include "engine/input/keyboard.h"
#include "engine/sound/sound.h"
#include "engine/window.h"
#include "game/game.h"

namespace {

// What the program ends with. A failure to start is reported on standard
// error and ends with 1, never as success.
const int START_FAILURE_STATUS = 1;
int exit_status = 0;
// What WM_QUIT carried: the status the program ends with once started.
int quit_status = 0;
// Why game_init could not start the game, for shell_end to say; or null.
const char *start_failure;

// The one line a failed start is said in, by shell_start or shell_end only.
void report_start_failure(const char *reason) {
  fprintf(stderr, "quillfire: %s\n", reason);
}

}  // namespace

int32_t quit_posted;

int32_t game_quitting(void) {
  return quit_posted || plat_close_requested() ? 1 : 0;
}

intptr_t window_proc(PlatWindow *window, uint32_t message, uintptr_t wparam,
                     intptr_t lparam) {
  switch (message) {
    case WM_CREATE:
      return 0;
    case WM_DESTROY:
      quit_posted = 1;
      plat_post_quit_message(exit_status);
      return 0;
    case WM_KILLFOCUS:
      pause_focus_lost();
      return 0;
    case WM_PAINT:
      // The picture belongs to the display; there is nothing to repaint.
      return 0;
    default:
      return plat_default_window_proc(window, message, wparam, lparam);
  }
}

int32_t game_init(void) {
  load_assets();
  load_sounds();
  input_init();
  if (!keyboard_init()) {
    // Without a keyboard the title could never be left: end at once.
    start_failure = "no keyboard could be opened";
    exit_status = START_FAILURE_STATUS;
    game_reset();
    plat_post_message(main_window, WM_DESTROY, 0, 0);
    quit_posted = 1;
    return 1;
  }
  title_menu();
  return 1;
}

int32_t game_shutdown(void) {
  bob_destroy(&paddle1);
  bob_destroy(&paddle2);
  bob_destroy(&ball);
  image_destroy(&background_image);
  image_destroy(&title_image);
  display_shutdown();
  sound_shutdown();
  keyboard_release();
  input_shutdown();
  return 1;
}

int32_t shell_start(void *instance) {
  exit_status = 0;
  quit_status = 0;
  quit_posted = 0;
  start_failure = nullptr;
  if (!plat_init()) {
    report_start_failure(plat_error());
    return 0;
  }
  int32_t desktop_width = 640, desktop_height = 480;
  plat_desktop_size(&desktop_width, &desktop_height);
  PlatWindow *window = plat_window_create("Quillfire", 0, 0, desktop_width,
                                          desktop_height, window_proc);
  if (!window) {
    report_start_failure(plat_error());
    plat_shutdown();
    return 0;
  }
  main_window = window;
  app_instance = instance;

  game_init();
  return 1;
}

int32_t shell_pass(void) {
  PlatMessage msg = {};
  const int taken = plat_peek_message(&msg);
  if (taken && msg.message == WM_QUIT) {
    quit_status = (int)msg.wparam;
    return 0;
  }
  if (taken) plat_dispatch_message(&msg);
  // Once the end is posted the loop only drains the queue to WM_QUIT.
  if (!quit_posted) game_frame();
  return 1;
}

int shell_end(void) {
  game_shutdown();
  plat_shutdown();
  if (start_failure) report_start_failure(start_failure);
  return quit_status;
}

int WinMain(void *instance, void *previous, char *command_line, int show) {
  (void)previous;
  (void)command_line;
  (void)show;
  if (!shell_start(instance)) return START_FAILURE_STATUS;
  while (shell_pass()) {
  }
  return shell_end();
}

void shell_reset(void) {
  quit_posted = 0;
  exit_status = 0;
  quit_status = 0;
  start_failure = nullptr;
}
