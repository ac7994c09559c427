// Which key code (platform/dik.h) each of the page's KeyboardEvent.code
// names is reported under: the same physical keys as on the desktop.
#ifndef QUILLFIRE_WEB_KEYMAP_H
#define QUILLFIRE_WEB_KEYMAP_H

#include <stdint.h>

struct WebKey {
  const char *code;  // KeyboardEvent.code
  uint8_t dik;
};

// Every key the page reports, `*count` of them.
const WebKey *web_keymap(int32_t *count);

#endif
