// The SDL window, the window system's messages and the close request.
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <string>

#include "platform/messages.h"
#include "platform/platform.h"
#include "platform/sdl/sdl_internal.h"

namespace {

const long long kClosePumpGapNs = 2 * 1000 * 1000;

PlatWindow window;
std::string error_text;
volatile int close_requested;
int video_up;

int close_watch(void *, SDL_Event *event) {
  if (event->type == SDL_QUIT ||
      (event->type == SDL_WINDOWEVENT &&
       event->window.event == SDL_WINDOWEVENT_CLOSE)) {
    close_requested = 1;
  }
  return 1;
}

// Drivers that show nothing: SDL falls back to them when no display can be
// reached, and a game started that way would run unseen for ever.
bool invisible_driver(const char *driver) {
  return driver &&
         (strcmp(driver, "offscreen") == 0 || strcmp(driver, "dummy") == 0);
}

bool x11_driver() {
  const char *driver = SDL_GetCurrentVideoDriver();
  return driver && strcmp(driver, "x11") == 0;
}

bool asked_for(const char *driver) {
  const char *wanted = SDL_getenv("SDL_VIDEODRIVER");
  return wanted && driver && strcmp(wanted, driver) == 0;
}

// Turns the next SDL event that means something to the game into a message.
// Events that mean nothing (mouse motion and the like) are dropped on the
// way, so that they never hold up the messages that matter.
bool next_sdl_message(PlatMessage *msg) {
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    switch (event.type) {
      case SDL_QUIT:
        *msg = PlatMessage{&window, WM_CLOSE, 0, 0};
        return true;
      case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
          *msg = PlatMessage{&window, WM_CLOSE, 0, 0};
          return true;
        }
        if (event.window.event == SDL_WINDOWEVENT_EXPOSED) {
          *msg = PlatMessage{&window, WM_PAINT, 0, 0};
          return true;
        }
        break;
      case SDL_KEYDOWN:
      case SDL_KEYUP:
        *msg = PlatMessage{&window,
                           event.type == SDL_KEYDOWN ? (uint32_t)WM_KEYDOWN
                                                     : (uint32_t)WM_KEYUP,
                           (uintptr_t)event.key.keysym.scancode, 0};
        return true;
      default:
        break;
    }
  }
  return false;
}

}  // namespace

int sdl_hush_stderr(void) {
  fflush(stderr);
  const int saved = dup(STDERR_FILENO);
  const int null_fd = open("/dev/null", O_WRONLY);
  if (saved >= 0 && null_fd >= 0) dup2(null_fd, STDERR_FILENO);
  if (null_fd >= 0) close(null_fd);
  return saved;
}

void sdl_restore_stderr(int saved) {
  if (saved < 0) return;
  dup2(saved, STDERR_FILENO);
  close(saved);
}

SDL_Window *sdl_window(void) {
  return window.alive ? (SDL_Window *)window.native : nullptr;
}

int plat_init(void) {
  const int saved = sdl_hush_stderr();
  const int result = SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
  sdl_restore_stderr(saved);
  if (result != 0) {
    error_text = std::string("no display available: ") + SDL_GetError();
    return 0;
  }
  const char *driver = SDL_GetCurrentVideoDriver();
  if (invisible_driver(driver) && !asked_for(driver)) {
    error_text =
        std::string("no display available (SDL could only offer its '") +
        driver + "' video driver; set DISPLAY or WAYLAND_DISPLAY)";
    SDL_Quit();
    return 0;
  }
  video_up = 1;
  SDL_AddEventWatch(close_watch, nullptr);
  return 1;
}

const char *plat_error(void) { return error_text.c_str(); }

void *plat_instance(void) {
  static int token;
  return &token;
}

int plat_desktop_size(int32_t *width, int32_t *height) {
  SDL_DisplayMode mode;
  if (!video_up || SDL_GetDesktopDisplayMode(0, &mode) != 0) return 0;
  *width = mode.w;
  *height = mode.h;
  return 1;
}

PlatWindow *plat_window_create(const char *title, int32_t x, int32_t y,
                               int32_t width, int32_t height,
                               PlatWindowProc proc) {
  // On X11 the window surface is shared memory that the present path fills
  // itself; framebuffer acceleration would put a renderer (software OpenGL
  // without a GPU) behind it for nothing. Other drivers (Wayland, KMSDRM)
  // have no window surface of their own and need that renderer to give one.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, x11_driver() ? "0" : "1");
  SDL_Window *sdl = SDL_CreateWindow(title, x, y, width, height,
                                     SDL_WINDOW_BORDERLESS | SDL_WINDOW_SHOWN);
  if (!sdl) {
    error_text = std::string("the window could not be made: ") + SDL_GetError();
    return nullptr;
  }
  window = PlatWindow{sdl, proc, 1};
  proc(&window, WM_CREATE, 0, 0);
  return &window;
}

void plat_show_cursor(int show) {
  SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

void plat_shutdown(void) {
  sdl_present_close();
  if (window.native) SDL_DestroyWindow((SDL_Window *)window.native);
  window = PlatWindow{nullptr, nullptr, 0};
  if (video_up) SDL_DelEventWatch(close_watch, nullptr);
  video_up = 0;
  SDL_Quit();
}

int plat_peek_message(PlatMessage *msg) {
  if (messages_take(msg)) return 1;
  if (!video_up) return 0;
  return next_sdl_message(msg) ? 1 : 0;
}

// The close watch sees every event as it is pumped in; the keyboard read
// pumps on every pass of the waits, so a pump here is only needed when none
// came lately.
int plat_close_requested(void) {
  static long long last_pump;
  const long long now = sdl_monotonic_ns();
  if (video_up && !close_requested && now - last_pump > kClosePumpGapNs) {
    SDL_PumpEvents();
    last_pump = now;
  }
  return close_requested;
}
