// Loaded into the real game by the X server smoke test (LD_PRELOAD): notes
// the time of every picture SDL puts on the screen, so the test can measure
// the frame period from outside without the game knowing.
#include <dlfcn.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

namespace {

FILE *log_file() {
  static FILE *file = nullptr;
  static bool tried = false;
  if (!tried) {
    tried = true;
    const char *path = getenv("QF_FRAME_LOG");
    if (path) file = fopen(path, "w");
  }
  return file;
}

// The start of SDL 2's SDL_Surface, whose layout is part of its stable ABI
// (the test kit does not include SDL).
struct SurfaceStart {
  uint32_t flags;
  void *format;
  int w, h;
  int pitch;
  void *pixels;
};

// FNV-1a over every `step`th pixel of rows [y0, y1) of the window's surface:
// every 8th for the whole picture, every one for a paddle's rows, so that a
// paddle moved by a few pixels always changes its hash.
uint32_t rows_hash(const SurfaceStart *surface, int y0, int y1, int step) {
  uint32_t hash = 2166136261u;
  if (y0 < 0) y0 = 0;
  if (y1 > surface->h) y1 = surface->h;
  for (int y = y0; y < y1; y++) {
    const uint32_t *row = (const uint32_t *)((const uint8_t *)surface->pixels +
                                             (size_t)y * surface->pitch);
    for (int x = 0; x < surface->w; x += step) {
      hash = (hash ^ row[x]) * 16777619u;
    }
  }
  return hash;
}

// With QF_FRAME_BAND="Y0 Y1" set, each line also holds a hash of the whole
// picture and one of those rows (the top paddle's), so that a test can tell
// which frame two programs showed and when a paddle moved; "Y0 Y1 Y2 Y3"
// adds a fourth column, the hash of rows [Y2, Y3) (the bottom paddle's).
void note_present(void *window) {
  FILE *file = log_file();
  if (!file) return;
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  fprintf(file, "%lld", (long long)ts.tv_sec * 1000000LL + ts.tv_nsec / 1000);
  static int band[4] = {-1, -1, -1, -1};
  static bool band_read = false;
  if (!band_read) {
    band_read = true;
    const char *text = getenv("QF_FRAME_BAND");
    const int read = text ? sscanf(text, "%d %d %d %d", &band[0], &band[1],
                                   &band[2], &band[3])
                          : 0;
    if (read < 2) band[0] = -1;
    if (read < 4) band[2] = -1;
  }
  using GetSurface = SurfaceStart *(*)(void *);
  static GetSurface get_surface =
      (GetSurface)dlsym(RTLD_DEFAULT, "SDL_GetWindowSurface");
  const SurfaceStart *surface =
      band[0] >= 0 && window && get_surface ? get_surface(window) : nullptr;
  if (surface && surface->pixels) {
    fprintf(file, " %08x %08x", rows_hash(surface, 0, surface->h, 8),
            rows_hash(surface, band[0], band[1], 1));
    if (band[2] >= 0) {
      fprintf(file, " %08x", rows_hash(surface, band[2], band[3], 1));
    }
  }
  fputc('\n', file);
  fflush(file);
}

}  // namespace

extern "C" int SDL_UpdateWindowSurface(void *window) {
  using Real = int (*)(void *);
  static Real real = (Real)dlsym(RTLD_NEXT, "SDL_UpdateWindowSurface");
  note_present(window);
  return real ? real(window) : -1;
}

extern "C" int SDL_UpdateWindowSurfaceRects(void *window, const void *rects,
                                            int count) {
  using Real = int (*)(void *, const void *, int);
  static Real real = (Real)dlsym(RTLD_NEXT, "SDL_UpdateWindowSurfaceRects");
  note_present(window);
  return real ? real(window, rects, count) : -1;
}

extern "C" void SDL_RenderPresent(void *renderer) {
  using Real = void (*)(void *);
  static Real real = (Real)dlsym(RTLD_NEXT, "SDL_RenderPresent");
  note_present(nullptr);
  if (real) real(renderer);
}
