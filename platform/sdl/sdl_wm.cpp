// Whether a window manager runs on the X display. Full screen is the window
// manager's own full-screen state when there is one (so panels and docks go
// under the game) and a borderless window over the desktop when there is
// none (nothing would carry out that state then). The test is the one the
// Extended Window Manager Hints give: the root window names a check window,
// and that window names itself; a name left behind by a window manager that
// has gone points at a window that is gone or says otherwise.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

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
