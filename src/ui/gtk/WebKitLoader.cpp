#include "ui/gtk/WebKitLoader.h"

#include <glib.h>
#include <gmodule.h>

#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#define LAUNCHER_WEBKIT_LOADER
#include "ui/gtk/WebKitApi.h"

namespace ui::gtk {
namespace {

// Written by the loading thread before it hands over to the UI thread, read on the UI thread
// only after that hand-over; the queued hand-over orders the two.
WebKitEntryPoints table;

struct LoadState {
  bool ended = false;
  bool loaded = false;
  std::string error;
  std::vector<std::function<void(bool)>> waiting;
};

LoadState& State() {
  static LoadState state;
  return state;
}

// The outcome of the loading thread, handed to the UI thread.
struct Outcome {
  bool loaded = false;
  std::string error;
};

Outcome LoadLibrary() {
  // Through GModule, not dlopen itself: the engine's libraries open modules from their
  // initialisers, which takes GModule's lock while the loader's lock is held. The UI thread,
  // starting the toolkit meanwhile, takes the two in the other order; GModule's lock taken here
  // first (it is recursive) keeps the order one.
  // Kept for the rest of the process: the engine's code runs until the process ends.
  GModule* library = g_module_open(kWebKitLibrary, G_MODULE_BIND_LOCAL);
  if (!library) {
    const char* why = g_module_error();
    return {false, why ? why : kWebKitLibrary};
  }
  g_module_make_resident(library);
  WebKitEntryPoints found;
  std::string missing;
  gpointer symbol = nullptr;
#define LAUNCHER_WEBKIT_RESOLVE(name)                                 \
  symbol = nullptr;                                                   \
  if (!g_module_symbol(library, #name, &symbol) && missing.empty()) { \
    missing = #name;                                                  \
  }                                                                   \
  found.name = reinterpret_cast<decltype(found.name)>(symbol);
  LAUNCHER_WEBKIT_ENTRY_POINTS(LAUNCHER_WEBKIT_RESOLVE)
#undef LAUNCHER_WEBKIT_RESOLVE
  if (!missing.empty()) {
    return {false, std::string(kWebKitLibrary) + ": no " + missing};
  }
  table = found;
  return {true, {}};
}

// Below the toolkit's drawing (and event handling): windows shown before the engine is in are
// drawn before any web view is made for them.
constexpr int kAfterDrawing = G_PRIORITY_DEFAULT_IDLE;

gboolean RunWaiting(gpointer) {
  LoadState& state = State();
  // A callback may add callbacks; they run after the ones waiting now.
  while (!state.waiting.empty()) {
    std::vector<std::function<void(bool)>> now = std::move(state.waiting);
    state.waiting.clear();
    for (auto& ready : now) {
      ready(state.loaded);
    }
  }
  return G_SOURCE_REMOVE;
}

gboolean HandOver(gpointer data) {
  std::unique_ptr<Outcome> outcome(static_cast<Outcome*>(data));
  LoadState& state = State();
  state.ended = true;
  state.loaded = outcome->loaded;
  state.error = std::move(outcome->error);
  return RunWaiting(nullptr);
}

}  // namespace

const WebKitEntryPoints& WebKitTable() { return table; }

void StartLoadingWebKit() {
  static bool started = false;
  if (std::exchange(started, true)) {
    return;
  }
  // The thread starts once the windows shown meanwhile have been drawn: while the library loads,
  // the loader's lock is held, and the toolkit takes it too on its way to a first frame.
  g_idle_add_full(
      kAfterDrawing,
      [](gpointer) -> gboolean {
        // Detached: the thread ends after its hand-over, and the process does not wait for it.
        std::thread([] {
          auto outcome = std::make_unique<Outcome>(LoadLibrary());
          g_idle_add_full(kAfterDrawing, HandOver, outcome.release(), nullptr);
        }).detach();
        return G_SOURCE_REMOVE;
      },
      nullptr, nullptr);
}

void WhenWebKitLoaded(std::function<void(bool loaded)> ready) {
  StartLoadingWebKit();
  LoadState& state = State();
  state.waiting.push_back(std::move(ready));
  if (state.ended && state.waiting.size() == 1) {
    g_idle_add_full(kAfterDrawing, RunWaiting, nullptr, nullptr);
  }
}

bool WebKitLoaded() { return State().ended && State().loaded; }

const std::string& WebKitLoadError() { return State().error; }

}  // namespace ui::gtk
