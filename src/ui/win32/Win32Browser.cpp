// Placeholder: the browser control's host, still to be written.
#include "ui/win32/Win32.h"

namespace ui::backend {

std::unique_ptr<NativeBrowser> CreateNativeBrowser(BrowserEvents*) { return nullptr; }
void ClearBrowserCache(std::function<void(bool)> done) {
  if (done) {
    done(false);
  }
}

}  // namespace ui::backend

namespace ui::win32 {

bool PreTranslateBrowserMessage(MSG*) { return false; }

}  // namespace ui::win32
