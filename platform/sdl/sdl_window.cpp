// The SDL window, the window system's messages and the close request; the
// switch between window and full screen.
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/messages.h"
#include "platform/platform.h"
#include "platform/sdl/sdl_internal.h"
#include "platform/sdl/window_fit.h"

namespace {

const long long CLOSE_PUMP_GAP_NS = 2 * 1000 * 1000;
const int32_t FRAME_WIDTH = 640, FRAME_HEIGHT = 480;
// How long a window manager may take to put its frame round a new window.
const long long FRAME_WAIT_NS = 300 * 1000 * 1000;
// After the window was moved, resized or switched, its place and the window
// manager's full-screen state are read after every pump for this long: a
// window manager may set its state a moment after the size it goes with.
const long long FOLLOW_NS = 500 * 1000 * 1000;

PlatWindow window;
std::string error_text;
volatile int close_requested;
int video_up;

// The window options, and how the window is shown now.
int start_windowed;
int whole_scale_only;
int window_manager;  // full screen is then the window manager's own state
int fullscreen;

// The window's inside as it was when it was last a window (or as the
// settings kept it): where F11 and Alt+Enter go back to.
SDL_Rect window_rect;
int have_window_rect;
int window_ever_made;
std::vector<uint32_t> icon_pixels;  // 0xAARRGGBB
int32_t icon_width, icon_height;
long long follow_until_ns;

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
  if (event->type == SDL_WINDOWEVENT &&
      (event->window.event == SDL_WINDOWEVENT_SIZE_CHANGED ||
       event->window.event == SDL_WINDOWEVENT_MOVED ||
       event->window.event == SDL_WINDOWEVENT_MAXIMIZED ||
       event->window.event == SDL_WINDOWEVENT_RESTORED)) {
    follow_until_ns = sdl_monotonic_ns() + FOLLOW_NS;
  }
  return 1;
}

// The display the window is on, the first before there is one.
int window_display() {
  const int index =
      window.alive ? SDL_GetWindowDisplayIndex((SDL_Window *)window.native) : 0;
  return index < 0 ? 0 : index;
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

// The frame as the window manager says it is (_NET_FRAME_EXTENTS on X11).
// A window manager says so a moment after it maps the window or takes it out
// of full screen, so this waits a little for it; none without one.
FitBorders frame_borders(SDL_Window *sdl) {
  const long long give_up = sdl_monotonic_ns() + FRAME_WAIT_NS;
  for (;;) {
    int top = 0, left = 0, bottom = 0, right = 0;
    if (SDL_GetWindowBordersSize(sdl, &top, &left, &bottom, &right) == 0 &&
        (top || left || bottom || right)) {
      return FitBorders{top, left, bottom, right};
    }
    if (!window_manager || sdl_monotonic_ns() > give_up) {
      return FitBorders{0, 0, 0, 0};
    }
    SDL_PumpEvents();
    SDL_Delay(5);
  }
}

// The usable part of every display (the desktop less panels and docks).
std::vector<FitRect> usable_bounds() {
  std::vector<FitRect> all;
  const int displays = SDL_GetNumVideoDisplays();
  for (int i = 0; i < displays; i++) {
    SDL_Rect usable = {0, 0, FRAME_WIDTH, FRAME_HEIGHT};
    if (SDL_GetDisplayUsableBounds(i, &usable) != 0) {
      SDL_GetDisplayBounds(i, &usable);
    }
    all.push_back(FitRect{usable.x, usable.y, usable.w, usable.h});
  }
  if (all.empty()) all.push_back(FitRect{0, 0, FRAME_WIDTH, FRAME_HEIGHT});
  return all;
}

// Puts the window, once framed, where window_fit says (1280 x 960 on
// 2560 x 1440 with a title bar, the first time), and tells the window
// manager its minimum size.
void place_window(SDL_Window *sdl) {
  const FitBorders b = frame_borders(sdl);
  const std::vector<FitRect> usable = usable_bounds();
  int home = window_display();
  if (home >= (int)usable.size()) home = 0;
  const FitRect least =
      window_fit_minimum(b, usable[home], FRAME_WIDTH, FRAME_HEIGHT);
  SDL_SetWindowMinimumSize(sdl, least.w, least.h);
  const FitRect kept = {window_rect.x, window_rect.y, window_rect.w,
                        window_rect.h};
  const FitRect r =
      window_fit(have_window_rect ? &kept : nullptr, b, usable.data(),
                 (int32_t)usable.size(), home, FRAME_WIDTH, FRAME_HEIGHT);
  SDL_SetWindowSize(sdl, r.w, r.h);
  SDL_SetWindowPosition(sdl, r.x, r.y);
  window_rect = SDL_Rect{r.x, r.y, r.w, r.h};
  have_window_rect = 1;
}

// Whether the window is full screen now as the player sees it: the window
// manager's state when there is one (it may have changed it itself).
int fullscreen_now(SDL_Window *sdl) {
  if (!window_manager) return fullscreen;
  const int wm = x11_driver() ? sdl_x11_wm_fullscreen(sdl) : -1;
  if (wm >= 0) return wm;
  return (SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN) ? 1 : 0;
}

// Follows the window manager's full-screen state, and keeps the window's
// place while it is a window.
void follow_window(SDL_Window *sdl) {
  fullscreen = fullscreen_now(sdl);
  if (fullscreen) return;
  SDL_Rect r;
  if (!x11_driver() || !sdl_x11_window_rect(sdl, &r)) {
    SDL_GetWindowPosition(sdl, &r.x, &r.y);
    SDL_GetWindowSize(sdl, &r.w, &r.h);
  }
  // A window the size of the whole display is on its way into or out of
  // full screen, not a place to come back to.
  SDL_Rect display = {0, 0, 0, 0};
  SDL_GetDisplayBounds(window_display(), &display);
  if (r.w >= display.w && r.h >= display.h) return;
  window_rect = r;
  have_window_rect = 1;
}

void show_windowed(SDL_Window *sdl) {
  if (SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN) {
    SDL_SetWindowFullscreen(sdl, 0);
  } else if (window_manager && x11_driver() &&
             sdl_x11_wm_fullscreen(sdl) == 1) {
    // Made full screen by the window manager, unknown to SDL.
    sdl_x11_wm_ask_fullscreen(sdl, 0);
  }
  SDL_SetWindowBordered(sdl, SDL_TRUE);
  SDL_SetWindowResizable(sdl, SDL_TRUE);
  place_window(sdl);
  fullscreen = 0;
}

void show_fullscreen(SDL_Window *sdl) {
  if (window_manager) {
    // SDL may still think it full screen after the window manager took it
    // out; asked again for the same, it would do nothing.
    if ((SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN) && x11_driver()) {
      sdl_x11_wm_ask_fullscreen(sdl, 1);
    } else {
      SDL_SetWindowFullscreen(sdl, SDL_WINDOW_FULLSCREEN_DESKTOP);
    }
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

void set_icon(SDL_Window *sdl) {
  if (icon_pixels.empty()) return;
  SDL_Surface *surface = SDL_CreateRGBSurfaceFrom(
      icon_pixels.data(), icon_width, icon_height, 32, icon_width * 4,
      0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000);
  if (!surface) return;
  SDL_SetWindowIcon(sdl, surface);
  SDL_FreeSurface(surface);
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
  const bool following = sdl_monotonic_ns() < follow_until_ns;
  if (busy || !sdl || (!switches_pending && !repaint_pending && !following)) {
    return;
  }
  busy = 1;
  // Taken now: a key pressed while the switch below waits for the window
  // manager is carried out after the next pump.
  const int switches = switches_pending;
  const int repaint = repaint_pending;
  switches_pending = repaint_pending = 0;
  // The switch does the opposite of what the player sees, whoever made it
  // so.
  if (following || switches) follow_window(sdl);
  if (switches % 2) {
    if (fullscreen) {
      show_windowed(sdl);
    } else {
      show_fullscreen(sdl);
    }
    follow_until_ns = sdl_monotonic_ns() + FOLLOW_NS;
  }
  if (switches || repaint) sdl_present_again();
  busy = 0;
}

SDL_Window *sdl_window(void) {
  return window.alive ? (SDL_Window *)window.native : nullptr;
}

int sdl_init(void) {
  // One name for the program everywhere: the X window's class and the
  // Wayland app id are the desktop entry's name, so that a desktop links the
  // running window to its launcher and icon. A name given in the
  // environment is left alone.
  SDL_setenv("SDL_VIDEO_X11_WMCLASS", QF_APP_ID, 0);
  SDL_setenv("SDL_VIDEO_WAYLAND_WMCLASS", QF_APP_ID, 0);
  SDL_SetHint(SDL_HINT_APP_NAME, "Quillfire");
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

const char *sdl_error(void) { return error_text.c_str(); }

void *sdl_instance(void) {
  static int token;
  return &token;
}

int sdl_desktop_size(int32_t *width, int32_t *height) {
  SDL_DisplayMode mode;
  if (!video_up || SDL_GetDesktopDisplayMode(0, &mode) != 0) return 0;
  *width = mode.w;
  *height = mode.h;
  return 1;
}

PlatWindow *sdl_window_create(const char *title, int32_t x, int32_t y,
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
    // Placed once the window manager has framed it (place_window).
    x = y = SDL_WINDOWPOS_CENTERED;
    width = FRAME_WIDTH;
    height = FRAME_HEIGHT;
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
  window_ever_made = 1;
  set_icon(sdl);
  if (start_windowed) place_window(sdl);
  proc(&window, WM_CREATE, 0, 0);
  return &window;
}

void sdl_window_options(int windowed, int whole_only) {
  start_windowed = windowed ? 1 : 0;
  whole_scale_only = whole_only ? 1 : 0;
}

void sdl_window_place_restore(const PlatWindowPlace *place) {
  have_window_rect = place->width > 0 && place->height > 0;
  window_rect = SDL_Rect{place->x, place->y, place->width, place->height};
}

int sdl_window_place(PlatWindowPlace *place) {
  if (!window_ever_made) return 0;
  SDL_Window *sdl = sdl_window();
  if (sdl) follow_window(sdl);
  *place = PlatWindowPlace{fullscreen, 0, 0, 0, 0};
  if (have_window_rect) {
    place->x = window_rect.x;
    place->y = window_rect.y;
    place->width = window_rect.w;
    place->height = window_rect.h;
  }
  return 1;
}

void sdl_window_icon(const uint32_t *argb, int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return;
  icon_pixels.assign(argb, argb + (size_t)width * (size_t)height);
  icon_width = width;
  icon_height = height;
}

void sdl_show_cursor(int show) {
  SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

void sdl_shutdown(void) {
  sdl_present_close();
  // How the window was left, for plat_window_place once it is gone.
  if (window.alive) follow_window((SDL_Window *)window.native);
  if (window.native) SDL_DestroyWindow((SDL_Window *)window.native);
  window = PlatWindow{nullptr, nullptr, 0};
  if (video_up) SDL_DelEventWatch(event_watch, nullptr);
  video_up = 0;
  SDL_Quit();
}

int sdl_peek_message(PlatMessage *msg) {
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

// The message queue the backends share (platform/messages.h).
MESSAGES_BACKEND_CALLS(sdl)
