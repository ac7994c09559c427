#include "platform/key_latch.h"

#include <string.h>

void key_latch_press(KeyLatch *latch, uint8_t dik) { latch->pressed[dik] = 1; }

void key_latch_press_all(KeyLatch *latch, const uint8_t keys[256]) {
  for (int i = 0; i < 256; i++) {
    if (keys[i]) latch->pressed[i] = 1;
  }
}

int key_latch_take(KeyLatch *latch, uint8_t state[256]) {
  int changed = 0;
  for (int i = 0; i < 256; i++) {
    if (latch->pressed[i] && state[i] != 0x80) {
      state[i] = 0x80;
      changed = 1;
    }
  }
  key_latch_clear(latch);
  return changed;
}

void key_latch_clear(KeyLatch *latch) {
  memset(latch->pressed, 0, sizeof latch->pressed);
}

void key_latch_key_down(KeyLatch *latch, uint8_t dik, int repeat) {
  if (!repeat) key_latch_press(latch, dik);
}
