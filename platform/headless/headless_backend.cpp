// The headless backend's table: its functions live in headless.cpp and
// headless_audio.cpp.
#include "platform/headless/headless.h"

PLAT_BACKEND_DECLARATIONS(headless)

const PlatBackend *headless_backend(void) {
  static const PlatBackend table = PLAT_BACKEND_TABLE(headless);
  return &table;
}
