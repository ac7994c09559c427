// The handles the library binds to: the game's window and the program's
// instance, set by the shell right after the window is made.
#ifndef QUILLFIRE_WINDOW_H
#define QUILLFIRE_WINDOW_H

#include "platform/platform.h"

extern PlatWindow *main_window;
extern void *app_instance;

// Forgets both handles, as at start; for tests and tools. The game never
// calls it.
void window_reset(void);

#endif
