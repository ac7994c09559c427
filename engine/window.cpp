#include "engine/window.h"

PlatWindow *main_window;
void *app_instance;
