// Loaded into the real game by the X server smoke test (LD_PRELOAD): notes
// the time of every picture SDL puts on the screen, so the test can measure
// the frame period from outside without the game knowing.
#include <dlfcn.h>
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

void note_present() {
  FILE *file = log_file();
  if (!file) return;
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  fprintf(file, "%lld\n", (long long)ts.tv_sec * 1000000LL + ts.tv_nsec / 1000);
  fflush(file);
}

}  // namespace

extern "C" int SDL_UpdateWindowSurface(void *window) {
  using Real = int (*)(void *);
  static Real real = (Real)dlsym(RTLD_NEXT, "SDL_UpdateWindowSurface");
  note_present();
  return real ? real(window) : -1;
}

extern "C" int SDL_UpdateWindowSurfaceRects(void *window, const void *rects,
                                            int count) {
  using Real = int (*)(void *, const void *, int);
  static Real real = (Real)dlsym(RTLD_NEXT, "SDL_UpdateWindowSurfaceRects");
  note_present();
  return real ? real(window, rects, count) : -1;
}

extern "C" void SDL_RenderPresent(void *renderer) {
  using Real = void (*)(void *);
  static Real real = (Real)dlsym(RTLD_NEXT, "SDL_RenderPresent");
  note_present();
  if (real) real(renderer);
}
