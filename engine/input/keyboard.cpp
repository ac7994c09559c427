#include "engine/input/keyboard.h"

#include <string.h>

#include "engine/window.h"

uint8_t keyboard_state[256];

namespace {

// The input object and the keyboard device. The device may exist without
// being acquired; only an acquired one is read.
int input_object;
int keyboard_device;
int keyboard_acquired;

}  // namespace

int32_t input_init(void) {
  input_object = app_instance != nullptr;
  return input_object;
}

int32_t keyboard_init(void) {
  if (!input_object) return 0;
  keyboard_device = plat_keyboard_open();
  if (!keyboard_device) return 0;
  // Our keyboard takes no cooperative level or data format: the platform
  // always reads it in the background and by DirectInput key code.
  keyboard_acquired = 1;
  return 1;
}

int32_t keyboard_read(void) {
  if (!keyboard_device) {
    memset(keyboard_state, 0, sizeof keyboard_state);
    return 0;
  }
  if (!keyboard_acquired) return 0;
  return plat_keyboard_read(keyboard_state);
}

void keyboard_release(void) {
  if (!keyboard_device) return;
  keyboard_acquired = 0;
  plat_keyboard_close();
  keyboard_device = 0;
}

void input_shutdown(void) { input_object = 0; }

void keyboard_reset(void) {
  keyboard_release();
  input_shutdown();
  keyboard_acquired = 0;
  memset(keyboard_state, 0, sizeof keyboard_state);
}
