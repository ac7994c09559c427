#include "platform/pad_keys.h"

#include "platform/dik.h"

namespace {

struct SlotKeys {
  uint8_t left, right, choose;
};

const SlotKeys SLOT_KEYS[PAD_SLOTS] = {
    {DIK_LEFT, DIK_RIGHT, DIK_1},
    {DIK_Z, DIK_X, DIK_2},
};

}  // namespace

void pad_keys(const PadState *pad, int32_t slot, uint8_t keys[256]) {
  if (slot < 0 || slot >= PAD_SLOTS) return;
  const SlotKeys &k = SLOT_KEYS[slot];
  const uint8_t *b = pad->buttons;
  if (b[PAD_DPAD_LEFT] || pad->left_x < -PAD_DEAD_ZONE) keys[k.left] = 0x80;
  if (b[PAD_DPAD_RIGHT] || pad->left_x > PAD_DEAD_ZONE) keys[k.right] = 0x80;
  if (b[PAD_A]) {
    keys[DIK_SPACE] = 0x80;
    keys[k.choose] = 0x80;
  }
  if (b[PAD_START]) {
    keys[k.choose] = 0x80;
    keys[DIK_P] = 0x80;
  }
  if (b[PAD_B] || b[PAD_BACK]) keys[DIK_ESCAPE] = 0x80;
}
