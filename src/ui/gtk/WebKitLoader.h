// Loading of the web engine's library at run time. The program does not link the engine: the
// library and its dependencies load on a thread of their own while the toolkit starts and the
// windows appear, and web views are made once it is in. Without the library the program still
// runs: its page areas keep their placeholder and one message box names what is missing.
#pragma once

#include <functional>
#include <string>

namespace ui::gtk {

// The engine's library, by its versioned name.
inline constexpr char kWebKitLibrary[] = "libwebkit2gtk-4.1.so.0";

// Starts loading the library on a thread of its own once the windows shown meanwhile are drawn;
// later calls do nothing. UI thread.
void StartLoadingWebKit();

// Runs ready on the UI thread once the load has ended, with true when the engine's entry points
// can be called: from the main loop, never from within this call, and after the windows shown
// meanwhile have been drawn. Callbacks run in the order they were given. UI thread.
void WhenWebKitLoaded(std::function<void(bool loaded)> ready);

// Whether the load has ended with the engine usable. UI thread.
bool WebKitLoaded();

// Why the load failed (the loader's own words), empty while loading or after success. UI thread.
const std::string& WebKitLoadError();

}  // namespace ui::gtk
