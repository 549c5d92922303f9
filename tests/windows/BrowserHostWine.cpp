// The Win32 browser host against the system's control, under Wine: navigation events and their
// cancelling, the error of a page the engine cannot show, the documents' host answers and the
// external object called as the page's script engine calls it. Wine's control here has no HTML
// engine: pages never complete, so the script side is driven from here.
//
// Usage: BrowserHostWine.exe <port of a 127.0.0.1 HTTP server> <closed port>
// Prints "ok" lines and ends with exit code 0 when everything held.
#include <mshtmhst.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "ui/win32/Win32WebView.h"

using ui::ScriptValue;
using namespace ui::win32;

namespace {

HWND topWindow = nullptr;
constexpr UINT kRunQueued = WM_APP + 1;
int failures = 0;

void Check(bool condition, const char* what) {
  std::printf("%s %s\n", condition ? "ok" : "FAIL", what);
  std::fflush(stdout);
  if (!condition) {
    ++failures;
  }
}

// Runs the thread's messages until done() or the time is over.
bool Pump(
    unsigned milliseconds, const std::function<bool()>& done = [] { return false; }) {
  const DWORD end = GetTickCount() + milliseconds;
  while (!done() && static_cast<int>(end - GetTickCount()) > 0) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == kRunQueued) {
        auto* work = reinterpret_cast<std::function<void()>*>(msg.lParam);
        (*work)();
        delete work;
        continue;
      }
      if (!PreTranslateBrowserMessage(&msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  return done();
}

struct Recorder : ui::backend::BrowserEvents {
  struct Before {
    std::string url;
    bool top;
    bool sameOrigin;
  };
  std::vector<Before> before;
  std::vector<std::string> complete, documents, errors, newWindows;
  std::vector<std::pair<std::string, std::vector<ScriptValue>>> calls;
  ui::backend::DocumentPresentation presentation;
  std::function<bool(const std::string&)> onError = [](const std::string&) { return false; };
  int focusIns = 0;

  bool OnBeforeNavigate(std::string_view url, bool top, bool sameOrigin) override {
    before.push_back({std::string(url), top, sameOrigin});
    return url.find("blocked") == std::string_view::npos;
  }
  void OnNavigateComplete(std::string_view url, bool) override { complete.emplace_back(url); }
  void OnDocumentComplete(std::string_view url) override { documents.emplace_back(url); }
  ui::backend::DocumentPresentation Presentation() override { return presentation; }
  std::optional<ScriptValue> OnExternalCall(std::string_view name,
                                            const std::vector<ScriptValue>& args) override {
    calls.emplace_back(std::string(name), args);
    if (name == "Missing") {
      return std::nullopt;
    }
    return ScriptValue::Text("\xE5\x9B\x9E\xE7\xAD\x94");  // 回答
  }
  void OnFocusIn() override { ++focusIns; }
  void OnNewWindow(std::string_view url) override { newWindows.emplace_back(url); }
  bool OnNavigateError(std::string_view url) override {
    errors.emplace_back(url);
    return onError(std::string(url));
  }
};

IDocHostUIHandler* HandlerOf(Win32WebView& view) {
  IOleObject* object = nullptr;
  IOleClientSite* site = nullptr;
  IDocHostUIHandler* handler = nullptr;
  view.Control()->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&object));
  if (object && SUCCEEDED(object->GetClientSite(&site)) && site) {
    site->QueryInterface(IID_IDocHostUIHandler, reinterpret_cast<void**>(&handler));
    site->Release();
  }
  if (object) {
    object->Release();
  }
  return handler;
}

VARIANT Text(const wchar_t* text) {
  VARIANT v;
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = SysAllocString(text);
  return v;
}

void TestExternal(Win32WebView& view, Recorder& events) {
  IDocHostUIHandler* handler = HandlerOf(view);
  Check(handler != nullptr, "the control's site answers as document host");
  if (!handler) {
    return;
  }
  // A document created with the engine's defaults.
  DOCHOSTUIINFO info{sizeof info};
  handler->GetHostInfo(&info);
  Check((info.dwFlags & (DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_SCROLL_NO)) == 0,
        "default presentation: border and scroll bars");
  Check(handler->ShowContextMenu(0, nullptr, nullptr, nullptr) == S_FALSE,
        "default presentation: the engine's context menu");
  IDispatch* external = reinterpret_cast<IDispatch*>(1);
  Check(handler->GetExternal(&external) == E_NOTIMPL && external == nullptr,
        "no external object by default");

  // The game page's presentation.
  events.presentation = {false, false, false, true, {"JsCallClient", "\xE5\x90\x8D"}};  // 名
  info = {sizeof info};
  handler->GetHostInfo(&info);
  Check((info.dwFlags & DOCHOSTUIFLAG_NO3DBORDER) && (info.dwFlags & DOCHOSTUIFLAG_SCROLL_NO),
        "no border, no scroll bars when asked");
  Check(handler->ShowContextMenu(0, nullptr, nullptr, nullptr) == S_OK,
        "context menu suppressed when asked");
  Check(handler->GetExternal(&external) == S_OK && external, "external object when asked");
  handler->Release();
  if (!external) {
    return;
  }
  DISPID id = 0;
  LPOLESTR name = const_cast<LPOLESTR>(L"JsCallClient");
  Check(external->GetIDsOfNames(IID_NULL, &name, 1, 0, &id) == S_OK && id == 1,
        "GetIDsOfNames: the first member is 1");
  name = const_cast<LPOLESTR>(L"\u540D");
  DISPID second = 0;
  Check(external->GetIDsOfNames(IID_NULL, &name, 1, 0, &second) == S_OK && second == 2,
        "GetIDsOfNames: a Chinese member name");
  name = const_cast<LPOLESTR>(L"jscallclient");
  DISPID unknown = 0;
  Check(external->GetIDsOfNames(IID_NULL, &name, 1, 0, &unknown) == DISP_E_UNKNOWNNAME &&
            unknown == DISPID_UNKNOWN,
        "GetIDsOfNames: letter case counts");

  // JsCallClient("6", "中文标题", 3): stored last to first; the third is not looked at.
  VARIANT args[3];
  V_VT(&args[0]) = VT_I4;
  V_I4(&args[0]) = 3;
  args[1] = Text(L"\u4E2D\u6587\u6807\u9898");
  args[2] = Text(L"6");
  DISPPARAMS params{args, nullptr, 3, 0};
  VARIANT result;
  VariantInit(&result);
  HRESULT hr =
      external->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
  Check(hr == S_OK && events.calls.size() == 1, "Invoke calls the member once");
  if (!events.calls.empty()) {
    const auto& [called, got] = events.calls.back();
    Check(called == "JsCallClient", "the call names its member");
    Check(got.size() == 2 && got[0] == ScriptValue::Text("6") &&
              got[1] == ScriptValue::Text("\xE4\xB8\xAD\xE6\x96\x87\xE6\xA0\x87\xE9\xA2\x98"),
          "two texts arrive in script order, Chinese as UTF-8; the third is left");
  }
  Check(V_VT(&result) == VT_BSTR && std::wstring(V_BSTR(&result)) == L"\u56DE\u7B54",
        "the text result goes back as UTF-16");
  VariantClear(&result);
  for (VARIANT& v : args) {
    VariantClear(&v);
  }

  // Numbers, booleans, objects, a text over the limit.
  std::wstring longText(ui::kMaxExternalTextBytes / 2 + 1, L'x');
  VARIANT kinds[2];
  V_VT(&kinds[1]) = VT_R8;
  V_R8(&kinds[1]) = 2.5;
  V_VT(&kinds[0]) = VT_BOOL;
  V_BOOL(&kinds[0]) = VARIANT_TRUE;
  params = {kinds, nullptr, 2, 0};
  external->Invoke(second, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
  Check(events.calls.size() == 2 && events.calls.back().first == "\xE5\x90\x8D" &&
            events.calls.back().second ==
                std::vector<ScriptValue>{ScriptValue::Number(2.5), ScriptValue::Boolean(true)},
        "a number and a boolean keep their kinds");
  VARIANT big[2];
  V_VT(&big[1]) = VT_BSTR;
  V_BSTR(&big[1]) = SysAllocStringLen(longText.data(), static_cast<UINT>(longText.size()));
  V_VT(&big[0]) = VT_DISPATCH;
  V_DISPATCH(&big[0]) = external;
  params = {big, nullptr, 2, 0};
  external->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
  Check(events.calls.size() == 3 &&
            events.calls.back().second ==
                std::vector<ScriptValue>{ScriptValue::Other(), ScriptValue::Other()},
        "a text over the limit and an object arrive without a value");
  SysFreeString(V_BSTR(&big[1]));
  // A name given once, and a member the handler no longer answers.
  params = {nullptr, nullptr, 0, 0};
  Check(external->Invoke(99, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr) ==
            DISP_E_MEMBERNOTFOUND,
        "an identifier that was never given is no member");
  external->Release();
}

}  // namespace

namespace ui::backend {
void QueueOnUiThread(std::function<void()> work) {
  PostMessageW(topWindow, kRunQueued, 0,
               reinterpret_cast<LPARAM>(new std::function<void()>(std::move(work))));
}
}  // namespace ui::backend

namespace ui::win32 {
HWND HwndOf(backend::NativeWindow* window) { return window ? topWindow : nullptr; }
}  // namespace ui::win32

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    return 2;
  }
  const std::string port = Narrow(argv[1]);
  const std::string closed = Narrow(argv[2]);
  const std::string base = "http://127.0.0.1:" + port;
  OleInitialize(nullptr);
  WNDCLASSW cls{};
  cls.lpfnWndProc = DefWindowProcW;
  cls.hInstance = GetModuleHandleW(nullptr);
  cls.lpszClassName = L"BrowserHostTest";
  RegisterClassW(&cls);
  topWindow = CreateWindowExW(0, cls.lpszClassName, L"Browser host test", WS_OVERLAPPEDWINDOW, 50,
                              50, 800, 600, nullptr, nullptr, cls.hInstance, nullptr);
  ShowWindow(topWindow, SW_SHOW);
  auto* fakeTop = reinterpret_cast<ui::backend::NativeWindow*>(&topWindow);

  Recorder events;
  auto native = ui::backend::CreateNativeBrowser(&events);
  auto& view = static_cast<Win32WebView&>(*native);
  view.Attach(fakeTop);
  Check(view.Ready(), "the control is created in place");
  if (!view.Ready()) {
    return 1;
  }
  view.SetBounds({10, 10, 790, 590});
  view.SetVisible(true);
  Check(view.ControlWindow() && IsWindowVisible(view.ControlWindow()) &&
            GetParent(view.ControlWindow()) == topWindow,
        "its window is a visible child of the top-level");

  // Emulation entry for this executable, by its file name.
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring exe(path, length);
  exe.erase(0, exe.find_last_of(L"\\/") + 1);
  DWORD value = 0, size = sizeof value;
  Check(RegGetValueW(HKEY_CURRENT_USER,
                     L"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\"
                     L"FEATURE_BROWSER_EMULATION",
                     exe.c_str(), RRF_RT_REG_DWORD, nullptr, &value, &size) == ERROR_SUCCESS &&
            value == 11001,
        "the engine's standards mode is asked for this executable");

  // A navigation the handler refuses never reaches the server.
  const std::string blocked = base + "/blocked";
  view.Navigate(blocked);
  Pump(1500);
  Check(!events.before.empty() && events.before[0].url == blocked && events.before[0].top &&
            events.before[0].sameOrigin,
        "BeforeNavigate2 of our own navigation: address, top, same origin");

  const std::string allowed = base + "/allowed?q=1";
  view.Navigate(allowed);
  Pump(15000, [&] { return !events.errors.empty(); });
  Check(events.before.size() >= 2 && events.before.back().url == allowed,
        "BeforeNavigate2 of the second navigation");
  Check(!events.errors.empty() && events.errors[0] == allowed,
        "NavigateError for the page the engine cannot show");
  std::printf("info: complete=%zu documents=%zu\n", events.complete.size(),
              events.documents.size());

  // A server out of reach; the handler puts a page of its own there.
  events.errors.clear();
  bool loaded = false;
  events.onError = [&](const std::string&) {
    loaded = view.LoadHtml("<p>\xE6\x97\xA0</p>", "http://127.0.0.1:" + closed + "/");
    return loaded;
  };
  view.Navigate("http://127.0.0.1:" + closed + "/");
  Pump(15000, [&] { return !events.errors.empty(); });
  Check(events.errors.size() == 1 && loaded, "NavigateError for a closed port; LoadHtml from it");
  Pump(2000);
  Check(events.errors.size() == 1, "our own page's empty document brings no error of its own");
  events.onError = [](const std::string&) { return false; };

  TestExternal(view, events);

  // Keys for the control's windows go through the control first; nothing breaks without a page.
  view.Focus();
  Pump(300);
  MSG key{GetFocus(), WM_KEYDOWN, VK_TAB, 0};
  const bool used = PreTranslateBrowserMessage(&key);
  std::printf("info: focus inside control=%d, Tab used=%d, focus-ins=%d\n",
              IsChild(view.ControlWindow(), GetFocus()) || GetFocus() == view.ControlWindow(), used,
              events.focusIns);

  // A handler that destroys the view from inside an event of its control.
  Recorder doomedEvents;
  std::unique_ptr<ui::backend::NativeBrowser> doomed =
      ui::backend::CreateNativeBrowser(&doomedEvents);
  doomed->Attach(fakeTop);
  doomed->SetBounds({0, 0, 100, 100});
  doomedEvents.onError = [&](const std::string&) {
    doomed.reset();
    return false;
  };
  doomed->Navigate("http://127.0.0.1:" + closed + "/gone");
  Pump(15000, [&] { return doomed == nullptr; });
  Pump(500);
  Check(doomed == nullptr, "a view destroyed by its own event handler goes quietly");

  bool cleared = false, clearedOk = false;
  ui::backend::ClearBrowserCache([&](bool ok) {
    cleared = true;
    clearedOk = ok;
  });
  Pump(10000, [&] { return cleared; });
  Check(cleared, "ClearBrowserCache reports on the UI thread");
  std::printf("info: cache cleared ok=%d\n", clearedOk);

  view.Attach(nullptr);
  Check(!view.Ready(), "detached");
  native.reset();
  Pump(300);
  DestroyWindow(topWindow);
  OleUninitialize();
  std::printf("%s\n", failures == 0 ? "ALL OK" : "FAILURES");
  return failures == 0 ? 0 : 1;
}
