#include "engine/window.h"

PlatWindow *main_window;
void *app_instance;

void window_reset(void) {
  main_window = nullptr;
  app_instance = nullptr;
}
