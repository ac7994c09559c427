// Whether a window manager runs on the X display. Full screen is the window
// manager's own full-screen state when there is one (so panels and docks go
// under the game) and a borderless window over the desktop when there is
// none (nothing would carry out that state then). The test is the one the
// Extended Window Manager Hints give: the root window names a check window,
// and that window names itself; a name left behind by a window manager that
// has gone points at a window that is gone or says otherwise.
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <string.h>

#include "platform/sdl/sdl_internal.h"

namespace {

// A window that is gone raises an X error; its default handler would end
// the program.
int ignore_x_error(Display *, XErrorEvent *) { return 0; }

// The window named by `property` on `window`, or None.
Window named_window(Display *display, Window window, Atom property) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char *data = nullptr;
  Window named = None;
  if (XGetWindowProperty(display, window, property, 0, 1, False, XA_WINDOW,
                         &type, &format, &count, &after, &data) == Success &&
      type == XA_WINDOW && format == 32 && count == 1 && data) {
    named = (Window)((unsigned long *)data)[0];
  }
  if (data) XFree(data);
  return named;
}

}  // namespace

int sdl_x11_window_manager_running(void) {
  // A connection of our own to the display SDL opened (the same DISPLAY),
  // for a moment at start-up.
  Display *display = XOpenDisplay(nullptr);
  if (!display) return 0;
  int running = 0;
  const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
  if (check != None) {
    XErrorHandler before = XSetErrorHandler(ignore_x_error);
    const Window named =
        named_window(display, DefaultRootWindow(display), check);
    running = named != None && named_window(display, named, check) == named;
    XSync(display, False);
    XSetErrorHandler(before);
  }
  XCloseDisplay(display);
  return running;
}

int sdl_x11_wm_fullscreen(SDL_Window *sdl) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(sdl, &info) || info.subsystem != SDL_SYSWM_X11) {
    return -1;
  }
  Display *display = info.info.x11.display;
  const Atom state = XInternAtom(display, "_NET_WM_STATE", True);
  const Atom full = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", True);
  if (state == None || full == None) return -1;
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char *data = nullptr;
  int answer = -1;
  if (XGetWindowProperty(display, info.info.x11.window, state, 0, 64, False,
                         XA_ATOM, &type, &format, &count, &after,
                         &data) == Success) {
    answer = 0;
    if (type == XA_ATOM && format == 32 && data) {
      for (unsigned long i = 0; i < count; i++) {
        if (((Atom *)data)[i] == full) answer = 1;
      }
    }
  }
  if (data) XFree(data);
  return answer;
}

void sdl_x11_wm_ask_fullscreen(SDL_Window *sdl, int on) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(sdl, &info) || info.subsystem != SDL_SYSWM_X11) {
    return;
  }
  Display *display = info.info.x11.display;
  XEvent event;
  memset(&event, 0, sizeof event);
  event.xclient.type = ClientMessage;
  event.xclient.window = info.info.x11.window;
  event.xclient.message_type = XInternAtom(display, "_NET_WM_STATE", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = on ? 1 : 0;  // _NET_WM_STATE_ADD or _REMOVE
  event.xclient.data.l[1] =
      (long)XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
  event.xclient.data.l[3] = 1;  // asked by an application
  XSendEvent(display, DefaultRootWindow(display), False,
             SubstructureNotifyMask | SubstructureRedirectMask, &event);
  XFlush(display);
}

int sdl_x11_window_rect(SDL_Window *sdl, SDL_Rect *rect) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(sdl, &info) || info.subsystem != SDL_SYSWM_X11) {
    return 0;
  }
  Display *display = info.info.x11.display;
  XWindowAttributes attributes;
  int x = 0, y = 0;
  Window child;
  if (!XGetWindowAttributes(display, info.info.x11.window, &attributes) ||
      !XTranslateCoordinates(display, info.info.x11.window,
                             DefaultRootWindow(display), 0, 0, &x, &y,
                             &child)) {
    return 0;
  }
  *rect = SDL_Rect{x, y, attributes.width, attributes.height};
  return 1;
}
