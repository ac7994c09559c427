// The SDL window, the window system's messages and the close request; the
// switch between window and full screen.
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

const long long CLOSE_PUMP_GAP_NS = 2 * 1000 * 1000;
const int32_t FRAME_WIDTH = 640, FRAME_HEIGHT = 480;

PlatWindow window;
std::string error_text;
volatile int close_requested;
int video_up;

// The window options, and how the window is shown now.
int start_windowed;
int whole_scale_only;
int window_manager;  // full screen is then the window manager's own state
int fullscreen;

// Seen by the event watch as events are pumped in, carried out after the
// pump by sdl_after_pump.
int switches_pending;
int repaint_pending;

int event_watch(void *, SDL_Event *event) {
  if (event->type == SDL_QUIT ||
      (event->type == SDL_WINDOWEVENT &&
       event->window.event == SDL_WINDOWEVENT_CLOSE)) {
    close_requested = 1;
  }
  if (event->type == SDL_KEYDOWN && !event->key.repeat &&
      sdl_switch_key(&event->key)) {
    switches_pending++;
  }
  if (event->type == SDL_WINDOWEVENT &&
      (event->window.event == SDL_WINDOWEVENT_SIZE_CHANGED ||
       event->window.event == SDL_WINDOWEVENT_EXPOSED)) {
    repaint_pending = 1;
  }
  return 1;
}

// The display the window is on, the first before there is one.
int window_display() {
  const int index =
      window.alive ? SDL_GetWindowDisplayIndex((SDL_Window *)window.native) : 0;
  return index < 0 ? 0 : index;
}

// The largest whole multiple of the frame that fits the desktop's usable
// part (1280 x 960 on 1920 x 1080); the frame's own size when none does.
void windowed_size(int32_t *width, int32_t *height) {
  SDL_Rect usable = {0, 0, FRAME_WIDTH, FRAME_HEIGHT};
  SDL_GetDisplayUsableBounds(window_display(), &usable);
  int32_t k = usable.w / FRAME_WIDTH < usable.h / FRAME_HEIGHT
                  ? usable.w / FRAME_WIDTH
                  : usable.h / FRAME_HEIGHT;
  if (k < 1) k = 1;
  *width = FRAME_WIDTH * k;
  *height = FRAME_HEIGHT * k;
}

void show_windowed(SDL_Window *sdl) {
  if (SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN) {
    SDL_SetWindowFullscreen(sdl, 0);
  }
  int32_t width, height;
  windowed_size(&width, &height);
  SDL_SetWindowBordered(sdl, SDL_TRUE);
  SDL_SetWindowResizable(sdl, SDL_TRUE);
  SDL_SetWindowSize(sdl, width, height);
  SDL_SetWindowPosition(sdl, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
  fullscreen = 0;
}

void show_fullscreen(SDL_Window *sdl) {
  if (window_manager) {
    SDL_SetWindowFullscreen(sdl, SDL_WINDOW_FULLSCREEN_DESKTOP);
  } else {
    SDL_Rect desktop = {0, 0, FRAME_WIDTH, FRAME_HEIGHT};
    SDL_GetDisplayBounds(window_display(), &desktop);
    SDL_SetWindowResizable(sdl, SDL_FALSE);
    SDL_SetWindowBordered(sdl, SDL_FALSE);
    SDL_SetWindowPosition(sdl, desktop.x, desktop.y);
    SDL_SetWindowSize(sdl, desktop.w, desktop.h);
  }
  fullscreen = 1;
}

// Drivers that show nothing: SDL falls back to them when no display can be
// reached, and a game started that way would run unseen for ever.
bool invisible_driver(const char *driver) {
  return driver &&
         (strcmp(driver, "offscreen") == 0 || strcmp(driver, "dummy") == 0);
}

bool current_driver_is(const char *name) {
  const char *driver = SDL_GetCurrentVideoDriver();
  return driver && strcmp(driver, name) == 0;
}

bool x11_driver() { return current_driver_is("x11"); }

// Why no display could be opened, naming the one that was tried, so that a
// player sees at once which variable to look at.
std::string no_display_reason(void) {
  const char *x11 = SDL_getenv("DISPLAY");
  const char *wayland = SDL_getenv("WAYLAND_DISPLAY");
  const bool has_x11 = x11 && x11[0] != '\0';
  const bool has_wayland = wayland && wayland[0] != '\0';
  if (has_x11 && has_wayland) {
    return std::string("can't open the display (WAYLAND_DISPLAY is '") +
           wayland + "', DISPLAY is '" + x11 + "')";
  }
  if (has_wayland) {
    return std::string("can't open the Wayland display '") + wayland +
           "' (WAYLAND_DISPLAY)";
  }
  if (has_x11) {
    return std::string("can't open the X display '") + x11 + "' (DISPLAY)";
  }
  return "no display to open: DISPLAY and WAYLAND_DISPLAY are not set";
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
  sdl_pump_events();
  while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT,
                        SDL_LASTEVENT) > 0) {
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
        // A loss already made good (the focus came back while the game's
        // waits held the events) would only pause a rally for nothing.
        if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST &&
            SDL_GetKeyboardFocus() != (SDL_Window *)window.native) {
          *msg = PlatMessage{&window, WM_KILLFOCUS, 0, 0};
          return true;
        }
        if (event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) {
          *msg = PlatMessage{&window, WM_SETFOCUS, 0, 0};
          return true;
        }
        break;
      case SDL_KEYDOWN:
      case SDL_KEYUP:
        if (sdl_switch_key(&event.key)) break;
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

int sdl_whole_scale_only(void) { return whole_scale_only; }

int sdl_switch_key(const SDL_KeyboardEvent *key) {
  const SDL_Scancode code = key->keysym.scancode;
  return code == SDL_SCANCODE_F11 ||
         ((code == SDL_SCANCODE_RETURN || code == SDL_SCANCODE_KP_ENTER) &&
          (key->keysym.mod & KMOD_ALT));
}

void sdl_after_pump(void) {
  static int busy;  // a switch may pump events itself
  SDL_Window *sdl = sdl_window();
  if (busy || !sdl || (!switches_pending && !repaint_pending)) return;
  busy = 1;
  if (switches_pending % 2) {
    if (fullscreen) {
      show_windowed(sdl);
    } else {
      show_fullscreen(sdl);
    }
  }
  switches_pending = 0;
  repaint_pending = 0;
  sdl_present_again();
  busy = 0;
}

SDL_Window *sdl_window(void) {
  return window.alive ? (SDL_Window *)window.native : nullptr;
}

int plat_init(void) {
  const int saved = sdl_hush_stderr();
  const int result = SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
  sdl_restore_stderr(saved);
  if (result != 0) {
    error_text = no_display_reason() + ": " + SDL_GetError();
    return 0;
  }
  // SDL falls back to a driver that shows nothing when it reaches no
  // display; that is the display failing, unless that driver was asked for.
  const char *driver = SDL_GetCurrentVideoDriver();
  if (invisible_driver(driver) && !asked_for(driver)) {
    error_text = no_display_reason();
    SDL_Quit();
    return 0;
  }
  video_up = 1;
  SDL_AddEventWatch(event_watch, nullptr);
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
  // Without a window manager nothing would carry out SDL's desktop full
  // screen; a borderless window over the desktop is full screen there. A
  // Wayland compositor is always one; the other drivers have none.
  window_manager = x11_driver() ? sdl_x11_window_manager_running()
                                : current_driver_is("wayland");
  Uint32 flags = SDL_WINDOW_SHOWN;
  if (start_windowed) {
    windowed_size(&width, &height);
    x = y = SDL_WINDOWPOS_CENTERED;
    flags |= SDL_WINDOW_RESIZABLE;
  } else {
    flags |=
        window_manager ? SDL_WINDOW_FULLSCREEN_DESKTOP : SDL_WINDOW_BORDERLESS;
  }
  fullscreen = !start_windowed;
  switches_pending = repaint_pending = 0;
  SDL_Window *sdl = SDL_CreateWindow(title, x, y, width, height, flags);
  if (!sdl) {
    error_text = std::string("the window could not be made: ") + SDL_GetError();
    return nullptr;
  }
  window = PlatWindow{sdl, proc, 1};
  proc(&window, WM_CREATE, 0, 0);
  return &window;
}

void plat_window_options(int windowed, int whole_only) {
  start_windowed = windowed ? 1 : 0;
  whole_scale_only = whole_only ? 1 : 0;
}

void plat_show_cursor(int show) {
  SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

void plat_shutdown(void) {
  sdl_present_close();
  if (window.native) SDL_DestroyWindow((SDL_Window *)window.native);
  window = PlatWindow{nullptr, nullptr, 0};
  if (video_up) SDL_DelEventWatch(event_watch, nullptr);
  video_up = 0;
  SDL_Quit();
}

int plat_peek_message(PlatMessage *msg) {
  if (messages_take(msg)) return 1;
  if (!video_up) return 0;
  const bool taken = next_sdl_message(msg);
  sdl_after_pump();
  return taken ? 1 : 0;
}

// The event watch sees every event as it is pumped in; the keyboard read
// pumps on every pass of the waits, so a pump here is only needed when none
// came lately.
int sdl_close_requested(void) {
  static long long last_pump;
  const long long now = sdl_monotonic_ns();
  if (video_up && !close_requested && now - last_pump > CLOSE_PUMP_GAP_NS) {
    SDL_PumpEvents();
    last_pump = now;
    sdl_after_pump();
  }
  return close_requested;
}

int plat_close_requested(void) { return sdl_close_requested(); }
