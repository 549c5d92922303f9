#include "browser/WebBrowserEx.h"

#include <cstdio>

#include "base/Text.h"
#include "ui/Window.h"

namespace launcher {

namespace {

// url as a script string literal inside the page's HTML: quotes, backslashes, markup characters
// and controls escaped; GBK bytes kept (the page is converted as a whole).
std::string ScriptLiteral(std::string_view url) {
  std::string out = "\"";
  for (char c : url) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || c == '"' || c == '\'' || c == '\\' || c == '<' || c == '>' || c == '&') {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

constexpr char kUnreachableHead[] = R"html(<!DOCTYPE html>
<html lang="zh-CN"><head><meta charset="utf-8"><title>无法连接到服务器</title>
<style>
  html, body { margin: 0; height: 100%; overflow: hidden; }
  body {
    display: flex; align-items: center; justify-content: center; text-align: center;
    background: #14161f; color: #d6d9e6;
    font: 14px/1.6 "Noto Sans CJK SC", "WenQuanYi Zen Hei", "Microsoft YaHei", sans-serif;
  }
  .mark {
    width: 44px; height: 44px; margin: 0 auto 14px; border-radius: 50%;
    border: 3px solid #e0a03c; color: #e0a03c; font: bold 28px/44px sans-serif;
  }
  h1 { margin: 0 0 6px; font-size: 20px; color: #f3f4f8; letter-spacing: 2px; }
  p { margin: 0 0 20px; color: #979db2; }
  button {
    min-width: 120px; height: 36px; padding: 0 20px; border: 1px solid #3f66cf;
    border-radius: 4px; background: #2d54bd; color: #fff; font: inherit; font-size: 15px;
    letter-spacing: 4px; cursor: pointer;
  }
  button:hover { background: #3962d4; }
  #status { margin-top: 12px; min-height: 20px; font-size: 12px; color: #737a90; }
</style></head>
<body><div>
  <div class="mark">!</div>
  <h1>无法连接到服务器</h1>
  <p>请检查网络连接，连接恢复后将自动重试。</p>
  <button id="retry" type="button">重试</button>
  <div id="status"></div>
</div>
<script>
(function () {
  var target = )html";

// The script keeps to what every engine the control may be has: no arrow functions, no fetch.
constexpr char kUnreachableTail[] = R"html(;
  var status = document.getElementById('status');
  var busy = false;
  // Leaves for the address only once its server answers at all (any status).
  function attempt(byUser) {
    if (busy) return;
    busy = true;
    if (byUser) status.innerText = '正在连接……';
    var request = new XMLHttpRequest();
    request.onreadystatechange = function () {
      if (request.readyState !== 4) return;
      if (request.status !== 0) {
        location.replace(target);
        return;
      }
      busy = false;
      if (byUser) status.innerText = '仍无法连接，请稍后再试。';
    };
    try {
      request.open('HEAD', target, true);
      request.setRequestHeader('Cache-Control', 'no-cache');
      request.send();
    } catch (e) {
      busy = false;
    }
  }
  document.getElementById('retry').onclick = function () { attempt(true); };
  window.addEventListener('online', function () { attempt(false); });
  setInterval(function () { attempt(false); }, RETRY_MS);
})();
</script></body></html>
)html";

}  // namespace

std::string UnreachablePage(std::string_view url) {
  std::string tail = kUnreachableTail;
  const std::string retry = std::to_string(kUnreachableRetryMs);
  tail.replace(tail.find("RETRY_MS"), 8, retry);
  return Gbk(kUnreachableHead) + ScriptLiteral(url) + Gbk(tail);
}

CWebBrowserEx::~CWebBrowserEx() { DestroyWindow(); }

bool CWebBrowserEx::Create(std::string_view text, unsigned style, const ui::Rect& rect,
                           ui::Window* parent, int id) {
  return ui::BrowserControl::Create(text, style, rect, parent, id);
}

int CWebBrowserEx::AttachDocHostHandler(int option) {
  if (!HasWebView()) {
    return 0;
  }
  // The border goes whatever the option; the scroll bars only with option 0.
  controller_.SetShowBorder(0);
  if (option == 0) {
    controller_.SetShowScrollBars(0);
  }
  controller_.Connect(this);  // its result is not examined: the control exists
  return 1;
}

void CWebBrowserEx::OnNewWindow(std::string_view url) {
  if (IsWebAddress(url)) {
    ui::ShellOpen(url);
  }
}

bool CWebBrowserEx::OnNavigateError(std::string_view url) {
  return IsWebAddress(url) && LoadHtml(UnreachablePage(url), url);
}

}  // namespace launcher
