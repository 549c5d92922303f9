#include "browser/WebBrowserEx.h"

namespace launcher {

CWebBrowserEx::~CWebBrowserEx() { DestroyWindow(); }

bool CWebBrowserEx::Create(std::string_view text, unsigned style, const ui::Rect& rect,
                           ui::Window* parent, int id) {
  return ui::BrowserControl::Create(text, style, rect, parent, id);
}

int CWebBrowserEx::AttachDocHostHandler(int option) {
  if (!IsCreated() || !NativeChildHost()) return 0;
  // The border goes whatever the option; the scroll bars only with option 0.
  controller_.SetShowBorder(0);
  if (option == 0) controller_.SetShowScrollBars(0);
  controller_.Connect(this);  // its result is not examined: the control exists
  return 1;
}

}  // namespace launcher
