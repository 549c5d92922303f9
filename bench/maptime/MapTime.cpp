// Measures, from outside a process, how long it takes from its start until it has mapped a
// given number of top-level windows, by watching the X server's map notifications on the root
// window (no polling). Usage:
//   map_time [--windows N] [--timeout S] [--runs R] -- PROGRAM [ARGS...]
// Prints one line per run with the milliseconds, then the median. The program is killed once
// its windows are mapped.
#include <X11/Xlib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double RunOnce(Display* display, char** argv, int windows, double timeoutSeconds) {
  Window root = DefaultRootWindow(display);
  XSelectInput(display, root, SubstructureNotifyMask);
  XSync(display, True);  // drop anything that happened before this run

  Clock::time_point start = Clock::now();
  pid_t child = fork();
  if (child == 0) {
    execvp(argv[0], argv);
    _exit(127);
  }
  std::set<Window> mapped;
  double result = -1;
  const int fd = ConnectionNumber(display);
  while (true) {
    double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    if (elapsed > timeoutSeconds) break;
    while (XPending(display)) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type == MapNotify && event.xmap.event == root) {
        mapped.insert(event.xmap.window);
      }
    }
    if (static_cast<int>(mapped.size()) >= windows) {
      result = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
      break;
    }
    int status = 0;
    if (waitpid(child, &status, WNOHANG) == child) break;  // ended before mapping
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(fd, &readable);
    timeval wait{0, 2000};
    select(fd + 1, &readable, nullptr, nullptr, &wait);
  }
  kill(child, SIGTERM);
  waitpid(child, nullptr, 0);
  XSelectInput(display, root, NoEventMask);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  int windows = 1;
  double timeout = 10;
  int runs = 5;
  int i = 1;
  for (; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--windows") && i + 1 < argc) {
      windows = std::atoi(argv[++i]);
    } else if (!std::strcmp(argv[i], "--timeout") && i + 1 < argc) {
      timeout = std::atof(argv[++i]);
    } else if (!std::strcmp(argv[i], "--runs") && i + 1 < argc) {
      runs = std::atoi(argv[++i]);
    } else if (!std::strcmp(argv[i], "--")) {
      ++i;
      break;
    } else {
      break;
    }
  }
  if (i >= argc) {
    std::fprintf(stderr, "usage: map_time [--windows N] [--timeout S] [--runs R] -- PROGRAM...\n");
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "map_time: cannot open the display\n");
    return 2;
  }
  std::vector<double> times;
  for (int run = 0; run < runs; ++run) {
    double ms = RunOnce(display, argv + i, windows, timeout);
    if (ms < 0) {
      std::printf("run %d: no %d window(s) mapped\n", run + 1, windows);
      return 1;
    }
    std::printf("run %d: %.1f ms\n", run + 1, ms);
    times.push_back(ms);
    usleep(200 * 1000);
  }
  std::sort(times.begin(), times.end());
  std::printf("median: %.1f ms to %d mapped window(s)\n", times[times.size() / 2], windows);
  XCloseDisplay(display);
  return 0;
}
