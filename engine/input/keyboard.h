// The keyboard as a 256-byte snapshot by DirectInput key code, refreshed on
// demand.
#ifndef QUILLFIRE_KEYBOARD_H
#define QUILLFIRE_KEYBOARD_H

#include <stdint.h>

#include "platform/dik.h"

extern uint8_t keyboard_state[256];

int32_t input_init(void);
int32_t keyboard_init(void);
int32_t keyboard_read(void);
void keyboard_release(void);
void input_shutdown(void);

// Back to the state the program starts with, releasing whatever is held;
// for tests and tools that run the library many times in one process. The
// game never calls it.
void keyboard_reset(void);

#endif
