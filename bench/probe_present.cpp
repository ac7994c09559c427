// Measures a present path on a real window: CPU time per presented frame
// (getrusage) and resident memory (/proc/self/status), for the game's own
// path and for the ways SDL itself offers, so that they can be compared on
// the machine at hand. Run it under the display to be measured, e.g. Xvfb:
//
//   Xvfb :99 -screen 0 1280x1024x24 &
//   DISPLAY=:99 probe_present ours 1000
//
// Paths: ours (plat_present, sharp scaling), integer (plat_present with
// whole factors only), blit (an 8-bit SDL surface stretched onto the
// window surface by SDL_BlitScaled), gl and software (an SDL renderer of that
// kind with a streaming texture, integer-scaled logical size).
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sdl/present_convert.h"
#include "platform/sdl/sdl_backend.h"
#include "platform/sdl/sdl_internal.h"

namespace {

const int32_t WIDTH = 640, HEIGHT = 480;
const int WARM_UP_FRAMES = 20;

intptr_t quiet_proc(PlatWindow *, uint32_t, uintptr_t, intptr_t) { return 0; }

double cpu_seconds() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long status_kib(const char *field) {
  FILE *f = fopen("/proc/self/status", "r");
  if (!f) return -1;
  char line[256];
  long value = -1;
  const size_t n = strlen(field);
  while (fgets(line, sizeof line, f)) {
    if (strncmp(line, field, n) == 0) value = atol(line + n + 1);
  }
  fclose(f);
  return value;
}

// A frame that changes every time, as the game's do.
void draw(std::vector<uint8_t> &frame, int n) {
  for (int32_t y = 0; y < HEIGHT; y++) {
    memset(&frame[(size_t)y * WIDTH], (y + n) & 0xFF, WIDTH);
  }
}

// One present path: made once on the window, then shown a frame at a time.
struct Path {
  const char *name;
  bool (*open)(SDL_Window *window);
  void (*show)(const uint8_t *frame, const uint8_t *palette);
};

SDL_Window *probe_window;

bool ours_open(SDL_Window *) {
  return plat_display_set_mode(WIDTH, HEIGHT, 8) == 1;
}

void ours_show(const uint8_t *frame, const uint8_t *palette) {
  plat_present(frame, WIDTH, WIDTH, HEIGHT, palette);
}

SDL_Surface *indexed;
SDL_Surface *rgb;  // SDL stretches only between equal formats

bool blit_open(SDL_Window *window) {
  SDL_Surface *target = SDL_GetWindowSurface(window);
  indexed = SDL_CreateRGBSurfaceWithFormat(0, WIDTH, HEIGHT, 8,
                                           SDL_PIXELFORMAT_INDEX8);
  rgb = target ? SDL_CreateRGBSurfaceWithFormat(0, WIDTH, HEIGHT, 32,
                                                target->format->format)
               : nullptr;
  return indexed && rgb;
}

void blit_show(const uint8_t *frame, const uint8_t *palette) {
  SDL_Color colors[256];
  for (int i = 0; i < 256; i++) {
    colors[i] =
        SDL_Color{palette[4 * i], palette[4 * i + 1], palette[4 * i + 2], 255};
  }
  SDL_SetPaletteColors(indexed->format->palette, colors, 0, 256);
  for (int32_t y = 0; y < HEIGHT; y++) {
    memcpy((uint8_t *)indexed->pixels + y * indexed->pitch, frame + y * WIDTH,
           WIDTH);
  }
  SDL_Surface *target = SDL_GetWindowSurface(probe_window);
  const PresentFit fit = present_fit(WIDTH, HEIGHT, target->w, target->h);
  SDL_Rect to = {fit.left, fit.top, fit.width, fit.height};
  if (SDL_BlitSurface(indexed, nullptr, rgb, nullptr) != 0 ||
      SDL_BlitScaled(rgb, nullptr, target, &to) != 0) {
    fprintf(stderr, "blit: %s\n", SDL_GetError());
    exit(1);
  }
  SDL_UpdateWindowSurface(probe_window);
}

SDL_Renderer *renderer;
SDL_Texture *texture;

bool renderer_open(SDL_Window *window, Uint32 flags) {
  renderer = SDL_CreateRenderer(window, -1, flags);
  if (!renderer) return false;
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
  SDL_RenderSetLogicalSize(renderer, WIDTH, HEIGHT);
  SDL_RenderSetIntegerScale(renderer, SDL_TRUE);
  texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888,
                              SDL_TEXTUREACCESS_STREAMING, WIDTH, HEIGHT);
  return texture != nullptr;
}

bool gl_open(SDL_Window *window) {
  return renderer_open(window, SDL_RENDERER_ACCELERATED);
}

bool software_open(SDL_Window *window) {
  return renderer_open(window, SDL_RENDERER_SOFTWARE);
}

void renderer_show(const uint8_t *frame, const uint8_t *palette) {
  uint32_t table[256];
  for (int i = 0; i < 256; i++) {
    table[i] = 0xFF000000u | (palette[4 * i] << 16) |
               (palette[4 * i + 1] << 8) | palette[4 * i + 2];
  }
  void *pixels;
  int pitch;
  SDL_LockTexture(texture, nullptr, &pixels, &pitch);
  present_convert_scaled(frame, WIDTH, WIDTH, HEIGHT, table, 1,
                         (uint8_t *)pixels, pitch);
  SDL_UnlockTexture(texture);
  SDL_RenderClear(renderer);
  SDL_RenderCopy(renderer, texture, nullptr, nullptr);
  SDL_RenderPresent(renderer);
}

const Path PATHS[] = {{"ours", ours_open, ours_show},
                      {"integer", ours_open, ours_show},
                      {"blit", blit_open, blit_show},
                      {"gl", gl_open, renderer_show},
                      {"software", software_open, renderer_show}};

}  // namespace

int main(int argc, char **argv) {
  plat_use(sdl_backend());
  const std::string which = argc > 1 ? argv[1] : "ours";
  const int frames = argc > 2 ? atoi(argv[2]) : 1000;
  const Path *path = nullptr;
  for (const Path &p : PATHS) {
    if (which == p.name) path = &p;
  }
  if (!path || frames <= 0) {
    fprintf(stderr,
            "usage: probe_present ours|integer|blit|gl|software [frames]\n");
    return 2;
  }
  plat_window_options(0, which == "integer");
  int32_t w = 0, h = 0;
  if (!plat_init() || !plat_desktop_size(&w, &h) ||
      !plat_window_create("probe", 0, 0, w, h, quiet_proc) ||
      !path->open(sdl_window())) {
    fprintf(stderr, "probe_present: %s %s\n", plat_error(), SDL_GetError());
    return 1;
  }
  probe_window = sdl_window();
  std::vector<uint8_t> frame((size_t)WIDTH * HEIGHT);
  uint8_t palette[1024];
  for (int i = 0; i < 256; i++) {
    palette[4 * i] = (uint8_t)i;
    palette[4 * i + 1] = (uint8_t)(255 - i);
    palette[4 * i + 2] = (uint8_t)(i * 7);
    palette[4 * i + 3] = 0;
  }
  for (int n = 0; n < WARM_UP_FRAMES; n++) {
    draw(frame, n);
    path->show(frame.data(), palette);
  }
  const double cpu0 = cpu_seconds();
  const Uint64 t0 = SDL_GetPerformanceCounter();
  for (int n = 0; n < frames; n++) {
    draw(frame, n);
    path->show(frame.data(), palette);
    PlatMessage msg;
    while (plat_peek_message(&msg)) {
    }
  }
  const double wall = (double)(SDL_GetPerformanceCounter() - t0) /
                      SDL_GetPerformanceFrequency();
  const double cpu = cpu_seconds() - cpu0;
  printf(
      "%s: window %dx%d, %d frames, %.3f ms CPU/frame, %.3f ms wall/frame, "
      "RSS %ld KiB, peak RSS %ld KiB\n",
      which.c_str(), w, h, frames, 1000 * cpu / frames, 1000 * wall / frames,
      status_kib("VmRSS"), status_kib("VmHWM"));
  plat_shutdown();
  return 0;
}
