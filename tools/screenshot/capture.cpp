#include "screenshot/capture.h"

#include <string.h>
#include <unistd.h>

#include <string>

#include "game/game.h"
#include "platform/dik.h"
#include "platform/headless/headless.h"

namespace {

// The court is kept only from a little after the serve, when the ball has
// left its spot.
const uint32_t COURT_FROM = SCRIPT_SPACE + 200;

void keep(Shot &shot, const uint8_t *pixels, int32_t width, int32_t height,
          const uint8_t palette[1024]) {
  shot.width = width;
  shot.height = height;
  shot.pixels.assign(pixels, pixels + (size_t)width * (size_t)height);
  memcpy(shot.palette, palette, sizeof shot.palette);
}

void on_present(const uint8_t *pixels, int32_t width, int32_t height,
                const uint8_t palette[1024], void *user) {
  Capture &capture = *(Capture *)user;
  const uint32_t now = headless_now();
  if (now < SCRIPT_ONE) {
    keep(capture.title, pixels, width, height, palette);
    capture.title_taken = 1;
  } else if (now >= COURT_FROM && now < SCRIPT_ESCAPE) {
    keep(capture.court, pixels, width, height, palette);
    capture.court_taken = 1;
  }
}

}  // namespace

Capture capture_run(const char *run_dir) {
  Capture capture;
  char here[4096];
  if (!getcwd(here, sizeof here) || chdir(run_dir) != 0) return capture;

  headless_reset();
  headless_set_time_limit(SCRIPT_LIMIT);
  headless_on_present(on_present, &capture);
  headless_tap_at(SCRIPT_ONE, DIK_1, 100);
  headless_tap_at(SCRIPT_SPACE, DIK_SPACE, 100);
  // The serve goes up and to the left; player 1 follows it a little.
  headless_tap_at(SCRIPT_SPACE + 50, DIK_LEFT, 250);
  headless_tap_at(SCRIPT_ESCAPE, DIK_ESCAPE, 100);
  headless_tap_at(SCRIPT_QUIT, DIK_Q, 100);
  const int32_t status = WinMain(plat_instance(), nullptr, nullptr, 0);
  // Closed by the time limit, not by the script's Q: stuck.
  capture.ended = !headless_time_limit_reached();
  if (capture.ended) capture.exit_status = status;
  headless_reset();
  if (chdir(here) != 0) capture.ended = 0;
  return capture;
}

int32_t shot_is_plain(const Shot &shot) {
  for (uint8_t p : shot.pixels) {
    if (p != shot.pixels[0]) return 0;
  }
  return 1;
}
