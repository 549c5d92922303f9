#include "WindowOnScreen.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>

bool WindowOnScreen(const std::vector<pid_t>& pids) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    return false;
  }
  const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", True);
  bool found = false;
  Window root = None;
  Window parent = None;
  Window* children = nullptr;
  unsigned count = 0;
  if (pidAtom != None &&
      XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
    for (unsigned i = 0; i < count && !found; ++i) {
      XWindowAttributes attributes{};
      if (!XGetWindowAttributes(display, children[i], &attributes) ||
          attributes.map_state != IsViewable) {
        continue;
      }
      Atom type = None;
      int format = 0;
      unsigned long items = 0;
      unsigned long after = 0;
      unsigned char* data = nullptr;
      if (XGetWindowProperty(display, children[i], pidAtom, 0, 1, False, XA_CARDINAL, &type,
                             &format, &items, &after, &data) == Success &&
          data && items == 1) {
        const auto pid = static_cast<pid_t>(*reinterpret_cast<unsigned long*>(data));
        found = std::find(pids.begin(), pids.end(), pid) != pids.end();
      }
      if (data) {
        XFree(data);
      }
    }
  }
  if (children) {
    XFree(children);
  }
  XCloseDisplay(display);
  return found;
}
