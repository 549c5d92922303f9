// The browser control's web view on Windows: the system's WebBrowser ActiveX control hosted in
// place, in the window of its top-level (the framework's children are no windows of their own).
//
// What it does: navigation and the control's events (BeforeNavigate2 with cancelling,
// NavigateComplete2, DocumentComplete, NavigateError for the top document, NewWindow3 turned
// into OnNewWindow and cancelled), the documents' presentation through IDocHostUIHandler (border,
// scroll bars, context menu, window.external), page text shown with LoadHtml, silent mode, the
// control's accelerators, and emptying the engine's disk cache.
//
// What it cannot: the engine does not say which document started a navigation, so a navigation
// the host did not ask for counts as same-origin only while every document of the page has the
// top document's origin. The engine asks for window.external per host, not per document: a frame
// of another origin sees the same object as the page (the page's own frames are the operator's).
// A page shown with LoadHtml has about:blank as its document's address; its events report the
// address given. The engine's memory cache cannot be emptied from outside.
#include <exdispid.h>
#include <mshtmhst.h>
#include <mshtml.h>
#include <ocidl.h>
#include <oleidl.h>
#include <urlmon.h>
#include <wininet.h>

#include <algorithm>
#include <cwctype>
#include <thread>
#include <utility>

#include "ui/win32/Win32WebView.h"

namespace ui::win32 {
namespace {

// A reference to a COM object, given back when it goes.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  explicit ComPtr(T* adopted) : p_(adopted) {}
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ~ComPtr() { Reset(); }
  void Reset() {
    if (p_) {
      p_->Release();
      p_ = nullptr;
    }
  }
  T** Put() {
    Reset();
    return &p_;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }
  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

// The object's identity, for comparing two interface pointers of it.
ComPtr<IUnknown> IdentityOf(IUnknown* object) {
  ComPtr<IUnknown> identity;
  if (object) {
    object->QueryInterface(IID_IUnknown, identity.PutVoid());
  }
  return identity;
}

std::wstring TextOf(const VARIANT* value) {
  while (value && V_VT(value) == (VT_BYREF | VT_VARIANT)) {
    value = V_VARIANTREF(value);
  }
  if (!value || V_VT(value) != VT_BSTR || !V_BSTR(value)) {
    return {};
  }
  return std::wstring(V_BSTR(value), SysStringLen(V_BSTR(value)));
}

IDispatch* DispatchOf(const VARIANT& value) {
  if (V_VT(&value) == VT_DISPATCH) {
    return V_DISPATCH(&value);
  }
  if (V_VT(&value) == (VT_BYREF | VT_DISPATCH) && V_DISPATCHREF(&value)) {
    return *V_DISPATCHREF(&value);
  }
  return nullptr;
}

VARIANT_BOOL* CancelOf(const VARIANT& value) {
  return V_VT(&value) == (VT_BYREF | VT_BOOL) ? V_BOOLREF(&value) : nullptr;
}

long LongOf(const VARIANT* value) {
  while (value && V_VT(value) == (VT_BYREF | VT_VARIANT)) {
    value = V_VARIANTREF(value);
  }
  if (!value) {
    return 0;
  }
  VARIANT converted;
  VariantInit(&converted);
  if (FAILED(VariantChangeType(&converted, const_cast<VARIANT*>(value), 0, VT_I4))) {
    return 0;
  }
  return V_I4(&converted);
}

// scheme://host[:port] of an address, lower case, default ports left out; empty when it has no
// host.
std::wstring OriginOf(std::wstring_view url) {
  const std::size_t colon = url.find(L':');
  if (colon == std::wstring_view::npos || url.substr(colon + 1, 2) != L"//") {
    return {};
  }
  std::wstring scheme(url.substr(0, colon));
  std::wstring_view authority = url.substr(colon + 3);
  authority = authority.substr(0, authority.find_first_of(L"/?#\\"));
  if (const std::size_t at = authority.rfind(L'@'); at != std::wstring_view::npos) {
    authority.remove_prefix(at + 1);
  }
  std::wstring host(authority);
  for (std::wstring* part : {&scheme, &host}) {
    std::transform(part->begin(), part->end(), part->begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
  }
  const std::size_t portAt = host.rfind(L':');
  if (portAt != std::wstring::npos && host.find(L']', portAt) == std::wstring::npos) {
    const std::wstring port = host.substr(portAt + 1);
    if (port.empty() || (scheme == L"http" && port == L"80") ||
        (scheme == L"https" && port == L"443")) {
      host.erase(portAt);
    }
  }
  if (host.empty()) {
    return {};
  }
  return scheme + L"://" + host;
}

// The engine's answer on a top document that could not be loaded: true when the server was out
// of reach, false when the load was stopped on purpose (cancelled, refused by a policy) or the
// server answered (HTTP statuses come as positive numbers; the server's own page is shown then).
bool ServerOutOfReach(long status) {
  switch (static_cast<HRESULT>(status)) {
    case INET_E_NO_SESSION:
    case INET_E_CANNOT_CONNECT:
    case INET_E_RESOURCE_NOT_FOUND:
    case INET_E_OBJECT_NOT_FOUND:
    case INET_E_DATA_NOT_AVAILABLE:
    case INET_E_DOWNLOAD_FAILURE:
    case INET_E_CONNECTION_TIMEOUT:
    case INET_E_CANNOT_LOAD_DATA:
    case INET_E_INVALID_CERTIFICATE:
      return true;
    default:
      // Failures from outside the engine's own facility (a system error code, a document
      // class that cannot be made) leave the page unshown just the same; the engine's own
      // reasons are all above or stops on purpose.
      return status < 0 && HRESULT_FACILITY(status) != 0x0C && status != E_ABORT;
  }
}

// The engine's compatibility: without an entry for the executable the control renders every
// page as a browser of many versions ago did (quirks of another era, no modern script), whatever
// the system has. The entry is the user's own and asks for the engine's current standards mode;
// it is written only when missing or different, and never for all users.
void RegisterBrowserEmulation() {
  static bool done = false;
  if (done) {
    return;
  }
  done = true;
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    return;
  }
  std::wstring_view name(path, length);
  name.remove_prefix(name.find_last_of(L"\\/") + 1);
  const std::wstring valueName(name);
  constexpr DWORD kEdgeMode = 11001;
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER,
                      L"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\"
                      L"FEATURE_BROWSER_EMULATION",
                      0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return;
  }
  DWORD type = 0;
  DWORD value = 0;
  DWORD size = sizeof value;
  const bool current = RegQueryValueExW(key, valueName.c_str(), nullptr, &type,
                                        reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS &&
                       type == REG_DWORD && value == kEdgeMode;
  if (!current) {
    RegSetValueExW(key, valueName.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&kEdgeMode),
                   sizeof kEdgeMode);
  }
  RegCloseKey(key);
}

// The web views alive, for the message loop's accelerators and the focus hook.
std::vector<Win32WebView*>& LiveViews() {
  static std::vector<Win32WebView*> views;
  return views;
}

bool Inside(HWND container, HWND window) {
  return container && window && (window == container || IsChild(container, window));
}

HHOOK focusHook = nullptr;

}  // namespace

// ---------------------------------------------------------------------------------------------
// The site: the control's container, its document host and its event sink in one object. It
// outlives its view while the control still holds it; owner_ is null from then on and every
// question gets the answer of a host without a view.

class BrowserSite final : public IOleClientSite,
                          public IOleInPlaceSite,
                          public IOleInPlaceFrame,
                          public IDocHostUIHandler,
                          public IDispatch {
 public:
  explicit BrowserSite(Win32WebView* owner) : owner_(owner) {}

  Win32WebView* Owner() const { return owner_; }
  void Orphan() { owner_ = nullptr; }
  // Calls into the control or out to the events are under way: the view may go meanwhile, but
  // the control must then not be taken down under its own call.
  bool Busy() const { return busy_ > 0; }
  const backend::DocumentPresentation& Presentation() const { return presentation_; }

  class BusyScope {
   public:
    explicit BusyScope(BrowserSite* site) : site_(site) {
      site_->AddRef();
      ++site_->busy_;
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;
    ~BusyScope() {
      --site_->busy_;
      site_->Release();
    }

   private:
    BrowserSite* site_;
  };

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) {
      return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite) {
      *out = static_cast<IOleClientSite*>(this);
    } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite) {
      *out = static_cast<IOleInPlaceSite*>(this);
    } else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame) {
      *out = static_cast<IOleInPlaceFrame*>(this);
    } else if (iid == IID_IDocHostUIHandler) {
      *out = static_cast<IDocHostUIHandler*>(this);
    } else if (iid == IID_IDispatch || iid == DIID_DWebBrowserEvents2) {
      *out = static_cast<IDispatch*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) {
      delete this;
    }
    return left;
  }

  // IOleClientSite
  HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
    if (moniker) {
      *moniker = nullptr;
    }
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override {
    if (container) {
      *container = nullptr;
    }
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow (of the in-place site and of the frame)
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
    if (!window) {
      return E_POINTER;
    }
    *window = owner_ ? owner_->parent_ : nullptr;
    return *window ? S_OK : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return owner_ ? S_OK : S_FALSE; }
  HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                             LPRECT position, LPRECT clip,
                                             LPOLEINPLACEFRAMEINFO info) override {
    if (frame) {
      *frame = static_cast<IOleInPlaceFrame*>(this);
      AddRef();
    }
    if (doc) {
      *doc = nullptr;
    }
    RECT bounds{};
    if (owner_) {
      bounds = {owner_->bounds_.left, owner_->bounds_.top, owner_->bounds_.right,
                owner_->bounds_.bottom};
    }
    if (position) {
      *position = bounds;
    }
    if (clip) {
      *clip = bounds;
    }
    if (info) {
      info->fMDIApp = FALSE;
      info->hwndFrame = owner_ ? owner_->parent_ : nullptr;
      info->haccel = nullptr;
      info->cAccelEntries = 0;
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override {
    // The host places the control; the control's wishes do not move it.
    return S_OK;
  }

  // IOleInPlaceUIWindow and IOleInPlaceFrame: a frame without menus, tool bars or status bar.
  HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override {
    return INPLACE_E_NOTOOLSPACE;
  }
  HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

  // IDocHostUIHandler
  HRESULT STDMETHODCALLTYPE ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) override {
    // S_OK: the host took care of it (by showing nothing).
    return presentation_.contextMenu ? S_FALSE : S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetHostInfo(DOCHOSTUIINFO* info) override {
    // Each document asks once, as it is created: it keeps the answers of that time.
    if (owner_) {
      presentation_ = owner_->events_->Presentation();
    }
    if (!info) {
      return S_OK;
    }
    DWORD flags = DOCHOSTUIFLAG_THEME;
    if (!presentation_.border) {
      flags |= DOCHOSTUIFLAG_NO3DBORDER;
    }
    if (!presentation_.scrollBars) {
      flags |= DOCHOSTUIFLAG_SCROLL_NO;
    }
    info->dwFlags = flags;
    info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*,
                                   IOleInPlaceFrame*, IOleInPlaceUIWindow*) override {
    return S_OK;  // no menus or tool bars of the engine's in the host
  }
  HRESULT STDMETHODCALLTYPE HideUI() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE UpdateUI() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, const GUID*, DWORD) override {
    return S_FALSE;  // the engine handles its keys itself
  }
  HRESULT STDMETHODCALLTYPE GetOptionKeyPath(LPOLESTR* key, DWORD) override {
    if (key) {
      *key = nullptr;
    }
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetDropTarget(IDropTarget*, IDropTarget** target) override {
    if (target) {
      *target = nullptr;
    }
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetExternal(IDispatch** external) override;
  HRESULT STDMETHODCALLTYPE TranslateUrl(DWORD, LPWSTR, LPWSTR* out) override {
    if (out) {
      *out = nullptr;
    }
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE FilterDataObject(IDataObject*, IDataObject** out) override {
    if (out) {
      *out = nullptr;
    }
    return S_FALSE;
  }

  // IDispatch: the control's events (DWebBrowserEvents2), and the ambient properties it asks its
  // site for (none answered: the engine's defaults).
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count) {
      *count = 0;
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) {
      *info = nullptr;
    }
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                   EXCEPINFO*, UINT*) override;

 private:
  ~BrowserSite() = default;

  ULONG refs_ = 1;
  int busy_ = 0;
  Win32WebView* owner_;
  backend::DocumentPresentation presentation_;
};

// ---------------------------------------------------------------------------------------------
// window.external: the names the document was given, as dispatch identifiers 1..n, and calls of
// them carried to the view's events while the view exists.

class ExternalObject final : public IDispatch {
 public:
  ExternalObject(BrowserSite* site, std::vector<std::string> members)
      : site_(site), members_(std::move(members)) {
    site_->AddRef();
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) {
      return E_POINTER;
    }
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IDispatch) {
      return E_NOINTERFACE;
    }
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) {
      delete this;
    }
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count) {
      *count = 0;
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) {
      *info = nullptr;
    }
    return E_NOTIMPL;
  }
  // The member's name exactly (letter case counts); further names would be the names of its
  // parameters, which the members do not have.
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    if (!names || !ids) {
      return E_POINTER;
    }
    if (count == 0) {
      return S_OK;
    }
    for (UINT i = 0; i < count; ++i) {
      ids[i] = DISPID_UNKNOWN;
    }
    const std::string name = names[0] ? Narrow(names[0]) : std::string();
    auto found = std::find(members_.begin(), members_.end(), name);
    if (found == members_.end()) {
      return DISP_E_UNKNOWNNAME;
    }
    ids[0] = static_cast<DISPID>(found - members_.begin()) + 1;
    return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO*, UINT*) override {
    if (result) {
      VariantInit(result);
    }
    if (id < 1 || static_cast<std::size_t>(id) > members_.size()) {
      return DISP_E_MEMBERNOTFOUND;
    }
    // Reading a member without calling it (as a test of whether the page has it) calls nothing.
    if ((flags & DISPATCH_METHOD) == 0) {
      return (flags & DISPATCH_PROPERTYGET) ? S_OK : DISP_E_MEMBERNOTFOUND;
    }
    std::vector<ScriptValue> args;
    if (params && params->rgvarg) {
      // Stored last to first, after the named ones.
      const UINT positional = params->cArgs - std::min(params->cNamedArgs, params->cArgs);
      const UINT count = std::min<UINT>(positional, kMaxExternalArguments);
      for (UINT i = 0; i < count; ++i) {
        args.push_back(ArgumentOf(params->rgvarg[params->cArgs - 1 - i]));
      }
    }
    Win32WebView* view = site_->Owner();
    if (!view) {
      return DISP_E_MEMBERNOTFOUND;
    }
    std::optional<ScriptValue> answer;
    {
      BrowserSite::BusyScope busy(site_);
      answer = view->Events()->OnExternalCall(members_[static_cast<std::size_t>(id) - 1], args);
    }
    if (!answer) {
      return DISP_E_MEMBERNOTFOUND;
    }
    if (result) {
      ResultOf(*answer, result);
    }
    return S_OK;
  }

  // A script value as it arrives: texts up to the limit as the page holds them (UTF-16), longer
  // ones not converted at all; numbers of every width; everything else without a value.
  static ScriptValue ArgumentOf(const VARIANT& given) {
    const VARIANT* value = &given;
    while (V_VT(value) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(value)) {
      value = V_VARIANTREF(value);
    }
    switch (V_VT(value)) {
      case VT_EMPTY:
        return ScriptValue::Undefined();
      case VT_NULL:
        return ScriptValue::Null();
      case VT_BOOL:
        return ScriptValue::Boolean(V_BOOL(value) != VARIANT_FALSE);
      case VT_BSTR: {
        const UINT units = V_BSTR(value) ? SysStringLen(V_BSTR(value)) : 0;
        if (std::size_t{units} * sizeof(wchar_t) > kMaxExternalTextBytes) {
          return ScriptValue::Other();
        }
        return ScriptValue::Text(Narrow(std::wstring_view(V_BSTR(value), units)));
      }
      case VT_I1:
      case VT_UI1:
      case VT_I2:
      case VT_UI2:
      case VT_I4:
      case VT_UI4:
      case VT_INT:
      case VT_UINT:
      case VT_I8:
      case VT_UI8:
      case VT_R4:
      case VT_R8: {
        VARIANT number;
        VariantInit(&number);
        if (FAILED(VariantChangeType(&number, const_cast<VARIANT*>(value), 0, VT_R8))) {
          return ScriptValue::Other();
        }
        return ScriptValue::Number(V_R8(&number));
      }
      default:
        return ScriptValue::Other();
    }
  }

  static void ResultOf(const ScriptValue& value, VARIANT* result) {
    switch (value.type) {
      case ScriptValue::Type::kNull:
        V_VT(result) = VT_NULL;
        break;
      case ScriptValue::Type::kBoolean:
        V_VT(result) = VT_BOOL;
        V_BOOL(result) = value.boolean ? VARIANT_TRUE : VARIANT_FALSE;
        break;
      case ScriptValue::Type::kNumber:
        V_VT(result) = VT_R8;
        V_R8(result) = value.number;
        break;
      case ScriptValue::Type::kText: {
        const std::wstring text = Widen(value.text);
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        break;
      }
      default:
        break;  // VT_EMPTY: undefined
    }
  }

 private:
  ~ExternalObject() { site_->Release(); }

  ULONG refs_ = 1;
  BrowserSite* site_;  // one reference
  std::vector<std::string> members_;
};

HRESULT BrowserSite::GetExternal(IDispatch** external) {
  if (!external) {
    return E_POINTER;
  }
  *external = nullptr;
  if (!owner_ || !presentation_.external) {
    return E_NOTIMPL;
  }
  *external = new ExternalObject(this, presentation_.externalMembers);
  return S_OK;
}

HRESULT BrowserSite::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                            UINT*) {
  if (!params) {
    return E_INVALIDARG;
  }
  Win32WebView* view = owner_;
  // The arguments are stored last to first.
  VARIANTARG* a = params->rgvarg;
  const UINT n = params->cArgs;
  BusyScope busy(this);
  switch (id) {
    case DISPID_BEFORENAVIGATE2:
      if (view && n >= 7) {
        view->BeforeNavigate(DispatchOf(a[6]), TextOf(&a[5]), CancelOf(a[0]));
      }
      return S_OK;
    case DISPID_NAVIGATECOMPLETE2:
      if (view && n >= 2) {
        view->NavigateComplete(DispatchOf(a[1]), TextOf(&a[0]));
      }
      return S_OK;
    case DISPID_DOCUMENTCOMPLETE:
      if (view && n >= 2) {
        view->DocumentComplete(DispatchOf(a[1]), TextOf(&a[0]));
      }
      return S_OK;
    case DISPID_NAVIGATEERROR:
      if (view && n >= 5) {
        view->NavigateError(DispatchOf(a[4]), TextOf(&a[3]), LongOf(&a[1]), CancelOf(a[0]));
      }
      return S_OK;
    case DISPID_NEWWINDOW3:
      // The control never opens a window of its own; the view decides what becomes of the
      // address.
      if (n >= 5) {
        if (VARIANT_BOOL* cancel = CancelOf(a[3])) {
          *cancel = VARIANT_TRUE;
        }
        if (view) {
          view->events_->OnNewWindow(Narrow(TextOf(&a[0])));
        }
      }
      return S_OK;
    case DISPID_NEWWINDOW2:
      // Engines that ask without the address: no window either.
      if (n >= 2) {
        if (VARIANT_BOOL* cancel = CancelOf(a[0])) {
          *cancel = VARIANT_TRUE;
        }
      }
      return S_OK;
    case DISPID_WINDOWCLOSING:
      // The page's window.close(): the control lives as long as its window.
      if (n >= 2) {
        if (VARIANT_BOOL* cancel = CancelOf(a[0])) {
          *cancel = VARIANT_TRUE;
        }
      }
      return S_OK;
    case DISPID_FILEDOWNLOAD:
      // Downloads are refused: nothing is saved behind the player's back. A document the engine
      // shows itself is no download.
      if (n >= 2 && V_VT(&a[1]) == VT_BOOL && V_BOOL(&a[1]) == VARIANT_FALSE) {
        if (VARIANT_BOOL* cancel = CancelOf(a[0])) {
          *cancel = VARIANT_TRUE;
        }
      }
      return S_OK;
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}

namespace {

// The control's windows took the keyboard from elsewhere: tell their view.
LRESULT CALLBACK FocusHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_SETFOCUS) {
    Win32WebView::FocusMoved(reinterpret_cast<HWND>(wParam), reinterpret_cast<HWND>(lParam));
  }
  return CallNextHookEx(focusHook, code, wParam, lParam);
}

// What DropControl takes down: the control and the connection of its events.
struct ControlParts {
  IOleObject* object = nullptr;
  IWebBrowser2* browser = nullptr;
  IOleInPlaceObject* inPlace = nullptr;
  DWORD cookie = 0;
};

void TakeDown(const ControlParts& parts) {
  if (parts.inPlace) {
    parts.inPlace->InPlaceDeactivate();
    parts.inPlace->Release();
  }
  ComPtr<IConnectionPointContainer> points;
  ComPtr<IConnectionPoint> point;
  if (parts.cookie &&
      SUCCEEDED(parts.object->QueryInterface(IID_IConnectionPointContainer, points.PutVoid())) &&
      SUCCEEDED(points->FindConnectionPoint(DIID_DWebBrowserEvents2, point.Put()))) {
    point->Unadvise(parts.cookie);
  }
  parts.object->Close(OLECLOSE_NOSAVE);
  parts.object->SetClientSite(nullptr);
  parts.browser->Release();
  parts.object->Release();
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Win32WebView

Win32WebView::Win32WebView(backend::BrowserEvents* events)
    : events_(events), site_(new BrowserSite(this)) {
  LiveViews().push_back(this);
}

Win32WebView::~Win32WebView() {
  auto& views = LiveViews();
  views.erase(std::remove(views.begin(), views.end(), this), views.end());
  DropControl();
  site_->Orphan();
  site_->Release();
}

void Win32WebView::Attach(backend::NativeWindow* topLevel) {
  const HWND parent = HwndOf(topLevel);
  if (parent == parent_ && browser_) {
    return;
  }
  DropControl();
  if (parent) {
    MakeControl(parent);
  }
}

bool Win32WebView::MakeControl(HWND parent) {
  RegisterBrowserEmulation();
  ComPtr<IOleObject> object;
  if (FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                              object.PutVoid()))) {
    return false;
  }
  parent_ = parent;
  BrowserSite::BusyScope busy(site_);
  object->SetClientSite(static_cast<IOleClientSite*>(site_));
  ComPtr<IWebBrowser2> browser;
  object->QueryInterface(IID_IWebBrowser2, browser.PutVoid());
  ComPtr<IConnectionPointContainer> points;
  object->QueryInterface(IID_IConnectionPointContainer, points.PutVoid());
  ComPtr<IConnectionPoint> point;
  DWORD cookie = 0;
  if (browser && points &&
      SUCCEEDED(points->FindConnectionPoint(DIID_DWebBrowserEvents2, point.Put()))) {
    point->Advise(static_cast<IDispatch*>(site_), &cookie);
  }
  RECT rect{bounds_.left, bounds_.top, bounds_.right, bounds_.bottom};
  if (!browser || !cookie ||
      FAILED(object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(site_),
                            0, parent, &rect))) {
    if (cookie) {
      point->Unadvise(cookie);
    }
    object->Close(OLECLOSE_NOSAVE);
    object->SetClientSite(nullptr);
    parent_ = nullptr;
    return false;
  }
  cookie_ = cookie;
  oleObject_ = object.Get();
  oleObject_->AddRef();
  browser_ = browser.Get();
  browser_->AddRef();
  object->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace_));
  if (inPlace_) {
    inPlace_->GetWindow(&controlWindow_);
  }
  browser_->put_Silent(silent_ ? VARIANT_TRUE : VARIANT_FALSE);
  browser_->put_RegisterAsDropTarget(VARIANT_FALSE);
  if (!focusHook) {
    focusHook = SetWindowsHookExW(WH_CBT, FocusHook, nullptr, GetCurrentThreadId());
  }
  Place();
  return true;
}

void Win32WebView::DropControl() {
  hostAddresses_.clear();
  pendingHtml_.reset();
  shownHtmlUrl_.reset();
  substituteLoading_ = false;
  if (!oleObject_) {
    parent_ = nullptr;
    return;
  }
  if (controlWindow_) {
    if (Inside(controlWindow_, GetFocus()) && IsWindow(parent_)) {
      SetFocus(parent_);
    }
    ShowWindow(controlWindow_, SW_HIDE);
  }
  const ControlParts parts{oleObject_, browser_, inPlace_, cookie_};
  oleObject_ = nullptr;
  browser_ = nullptr;
  inPlace_ = nullptr;
  cookie_ = 0;
  controlWindow_ = nullptr;
  parent_ = nullptr;
  // Taken down under one of its own calls (an event whose handler closes the window), the
  // control would return into freed code: it goes once that call is over.
  if (site_->Busy()) {
    backend::QueueOnUiThread([parts] { TakeDown(parts); });
  } else {
    TakeDown(parts);
  }
}

void Win32WebView::Place() {
  if (!inPlace_) {
    return;
  }
  RECT rect{bounds_.left, bounds_.top, std::max(bounds_.right, bounds_.left),
            std::max(bounds_.bottom, bounds_.top)};
  inPlace_->SetObjectRects(&rect, &rect);
  if (controlWindow_) {
    ShowWindow(controlWindow_, visible_ ? SW_SHOWNA : SW_HIDE);
  }
}

void Win32WebView::SetBounds(const Rect& inTopLevel) {
  bounds_ = inTopLevel;
  Place();
}

void Win32WebView::SetVisible(bool visible) {
  visible_ = visible;
  if (controlWindow_) {
    ShowWindow(controlWindow_, visible_ ? SW_SHOWNA : SW_HIDE);
  }
}

void Win32WebView::Focus() {
  if (!oleObject_ || !controlWindow_) {
    return;
  }
  BrowserSite::BusyScope busy(site_);
  RECT rect{bounds_.left, bounds_.top, bounds_.right, bounds_.bottom};
  oleObject_->DoVerb(OLEIVERB_UIACTIVATE, nullptr, static_cast<IOleClientSite*>(site_), 0, parent_,
                     &rect);
  if (!site_->Owner() || !controlWindow_) {
    return;
  }
  // The document's own window takes the keys: the innermost first child.
  if (!Inside(controlWindow_, GetFocus())) {
    HWND target = controlWindow_;
    for (HWND child = GetWindow(target, GW_CHILD); child; child = GetWindow(child, GW_CHILD)) {
      target = child;
    }
    SetFocus(target);
  }
}

void Win32WebView::FocusMoved(HWND gaining, HWND losing) {
  for (Win32WebView* view : LiveViews()) {
    const HWND control = view->controlWindow_;
    if (!Inside(control, gaining) || Inside(control, losing)) {
      continue;
    }
    // Told once the focus has settled: the framework moves it again meanwhile, and must not
    // from inside the system's change of it.
    BrowserSite* site = view->site_;
    site->AddRef();
    backend::QueueOnUiThread([site] {
      Win32WebView* owner = site->Owner();
      if (owner && Inside(owner->controlWindow_, ::GetFocus())) {
        owner->events_->OnFocusIn();
      }
      site->Release();
    });
    return;
  }
}

bool Win32WebView::NavigateTo(const std::wstring& url) {
  BSTR address = SysAllocStringLen(url.data(), static_cast<UINT>(url.size()));
  if (!address) {
    return false;
  }
  VARIANT none;
  VariantInit(&none);
  BrowserSite* site = site_;
  BrowserSite::BusyScope busy(site);
  ++hostNavigating_;
  // Addresses whose navigation the engine dropped before reporting it must not make a later
  // navigation of the page our own: only the last few are kept.
  constexpr std::size_t kKeptAddresses = 4;
  if (hostAddresses_.size() >= kKeptAddresses) {
    hostAddresses_.erase(hostAddresses_.begin());
  }
  hostAddresses_.push_back(url);
  IWebBrowser2* browser = browser_;
  browser->AddRef();
  browser->Navigate(address, &none, &none, &none, &none);
  browser->Release();
  SysFreeString(address);
  if (site->Owner() != this) {
    return false;  // the view went during the call
  }
  --hostNavigating_;
  return true;
}

bool Win32WebView::Navigate(const std::string& url) {
  if (!browser_) {
    return false;
  }
  pendingHtml_.reset();
  NavigateTo(Widen(url));
  return true;
}

// The text is written into an empty document once that exists; until then and while it loads
// the empty document's own events are not the page's.
bool Win32WebView::LoadHtml(const std::string& html, const std::string& url) {
  if (!browser_) {
    return false;
  }
  pendingHtml_ = Substitute{html, url};
  shownHtmlUrl_.reset();
  substituteLoading_ = false;
  NavigateTo(L"about:blank");
  return true;
}

void Win32WebView::ShowPendingHtml() {
  Substitute substitute = std::move(*pendingHtml_);
  pendingHtml_.reset();
  ComPtr<IDispatch> document;
  ComPtr<IPersistStreamInit> persist;
  if (FAILED(browser_->get_Document(document.Put())) || !document ||
      FAILED(document->QueryInterface(IID_IPersistStreamInit, persist.PutVoid()))) {
    return;
  }
  // UTF-8 with its byte order mark, so that the engine reads it as such whatever the page says.
  const std::string bytes = "\xEF\xBB\xBF" + substitute.html;
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (!memory) {
    return;
  }
  if (void* data = GlobalLock(memory)) {
    std::copy(bytes.begin(), bytes.end(), static_cast<char*>(data));
    GlobalUnlock(memory);
  }
  ComPtr<IStream> stream;
  if (FAILED(CreateStreamOnHGlobal(memory, TRUE, stream.Put()))) {
    GlobalFree(memory);
    return;
  }
  shownHtmlUrl_ = substitute.url;
  substituteLoading_ = true;
  BrowserSite* site = site_;
  persist->InitNew();
  persist->Load(stream.Get());
  if (site->Owner() == this) {
    events_->OnNavigateComplete(substitute.url, true);
  }
}

void Win32WebView::SetSilent(bool silent) {
  silent_ = silent;
  if (browser_) {
    browser_->put_Silent(silent ? VARIANT_TRUE : VARIANT_FALSE);
  }
}

// Each document asks for its presentation as it is created (GetHostInfo): nothing to redo.
void Win32WebView::PresentationChanged() {}

bool Win32WebView::IsTop(IDispatch* frame) const {
  if (!frame || !browser_) {
    return false;
  }
  return IdentityOf(frame).Get() == IdentityOf(browser_).Get();
}

namespace {

// The addresses of the frames' documents of a document, all levels down.
void FrameAddresses(IDispatch* document, std::vector<std::wstring>& out, int depth) {
  ComPtr<IOleContainer> container;
  ComPtr<IEnumUnknown> items;
  if (!document || depth > 16 ||
      FAILED(document->QueryInterface(IID_IOleContainer, container.PutVoid())) ||
      FAILED(container->EnumObjects(OLECONTF_EMBEDDINGS, items.Put())) || !items) {
    return;
  }
  for (;;) {
    ComPtr<IUnknown> item;
    if (items->Next(1, item.Put(), nullptr) != S_OK) {
      break;
    }
    ComPtr<IWebBrowser2> frame;
    if (!item || FAILED(item->QueryInterface(IID_IWebBrowser2, frame.PutVoid()))) {
      continue;
    }
    BSTR location = nullptr;
    std::wstring address;
    if (SUCCEEDED(frame->get_LocationURL(&location)) && location) {
      address.assign(location, SysStringLen(location));
    }
    SysFreeString(location);
    out.push_back(std::move(address));
    ComPtr<IDispatch> inner;
    if (SUCCEEDED(frame->get_Document(inner.Put()))) {
      FrameAddresses(inner.Get(), out, depth + 1);
    }
  }
}

}  // namespace

// The engine does not say which document started a navigation. When every document of the page
// has the top document's origin, whichever did had it too. Frames with no address of their own
// yet (about:blank, empty) are their creator's and do not count.
bool Win32WebView::PageOfOneOrigin() {
  std::wstring top;
  if (shownHtmlUrl_) {
    top = Widen(*shownHtmlUrl_);
  } else {
    BSTR location = nullptr;
    if (SUCCEEDED(browser_->get_LocationURL(&location)) && location) {
      top.assign(location, SysStringLen(location));
    }
    SysFreeString(location);
  }
  const std::wstring origin = OriginOf(top);
  if (origin.empty()) {
    return false;
  }
  std::vector<std::wstring> frames;
  ComPtr<IDispatch> document;
  if (SUCCEEDED(browser_->get_Document(document.Put()))) {
    FrameAddresses(document.Get(), frames, 0);
  }
  return std::all_of(frames.begin(), frames.end(), [&origin](const std::wstring& address) {
    return address.empty() || address == L"about:blank" || OriginOf(address) == origin;
  });
}

void Win32WebView::BeforeNavigate(IDispatch* frame, const std::wstring& url, VARIANT_BOOL* cancel) {
  const bool top = IsTop(frame);
  bool own = false;
  if (top) {
    // Our own call of Navigate reports its navigation before it returns; an engine that reports
    // it later still names the address as given.
    auto asked = std::find(hostAddresses_.begin(), hostAddresses_.end(), url);
    if (asked != hostAddresses_.end()) {
      hostAddresses_.erase(hostAddresses_.begin(), asked + 1);
      own = true;
    } else if (hostNavigating_ > 0) {
      hostAddresses_.clear();
      own = true;
    }
  }
  // The empty document our own page is written into is no navigation of the page.
  if (own && pendingHtml_ && url == L"about:blank") {
    return;
  }
  const bool sameOrigin = own || PageOfOneOrigin();
  BrowserSite* site = site_;
  const bool proceed = events_->OnBeforeNavigate(Narrow(url), top, sameOrigin);
  if (!proceed) {
    if (cancel) {
      *cancel = VARIANT_TRUE;
    }
    return;
  }
  if (top && site->Owner() == this) {
    // Our own page goes with the next one.
    shownHtmlUrl_.reset();
    substituteLoading_ = false;
  }
}

void Win32WebView::NavigateComplete(IDispatch* frame, const std::wstring& url) {
  const bool top = IsTop(frame);
  if (top && pendingHtml_) {
    return;  // the empty document of our own page
  }
  events_->OnNavigateComplete(Narrow(url), top);
}

void Win32WebView::DocumentComplete(IDispatch* frame, const std::wstring& url) {
  if (!IsTop(frame)) {
    return;  // a frame's: the page is complete with its top document
  }
  if (pendingHtml_) {
    // Only the empty document takes the text; a page still completing before it does not.
    if (url == L"about:blank") {
      ShowPendingHtml();
    }
    return;
  }
  if (shownHtmlUrl_) {
    if (substituteLoading_) {
      substituteLoading_ = false;
      events_->OnDocumentComplete(*shownHtmlUrl_);
    }
    return;
  }
  events_->OnDocumentComplete(Narrow(url));
}

void Win32WebView::NavigateError(IDispatch* frame, const std::wstring& url, long status,
                                 VARIANT_BOOL* cancel) {
  if (!IsTop(frame)) {
    return;
  }
  if (pendingHtml_) {
    // Not even the empty document for our own page: the engine's error page stays away.
    pendingHtml_.reset();
    if (cancel) {
      *cancel = VARIANT_TRUE;
    }
    return;
  }
  if (!ServerOutOfReach(status)) {
    return;
  }
  if (events_->OnNavigateError(Narrow(url)) && cancel) {
    *cancel = VARIANT_TRUE;  // the control's own page stays; the engine's error page never comes
  }
}

}  // namespace ui::win32

// ---------------------------------------------------------------------------------------------
// Entry points

namespace ui::win32 {

bool PreTranslateBrowserMessage(MSG* msg) {
  if (!msg || msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST) {
    return false;
  }
  for (Win32WebView* view : LiveViews()) {
    if (!view->Control() || !Inside(view->ControlWindow(), msg->hwnd)) {
      continue;
    }
    ComPtr<IOleInPlaceActiveObject> active;
    if (FAILED(view->Control()->QueryInterface(IID_IOleInPlaceActiveObject, active.PutVoid()))) {
      return false;
    }
    return active->TranslateAccelerator(msg) == S_OK;
  }
  return false;
}

}  // namespace ui::win32

namespace ui::backend {

std::unique_ptr<NativeBrowser> CreateNativeBrowser(BrowserEvents* events) {
  return std::make_unique<win32::Win32WebView>(events);
}

// The engine's disk cache, entry by entry, on a worker: the cache is the user's whole one and
// may be large. Cookies and history are entries of other kinds and stay. The cache's functions
// are looked up where the engine has them, loaded with it.
void ClearBrowserCache(std::function<void(bool)> done) {
  std::thread([done = std::move(done)]() mutable {
    using FindFirst = HANDLE(WINAPI*)(LPCWSTR, INTERNET_CACHE_ENTRY_INFOW*, DWORD*);
    using FindNext = BOOL(WINAPI*)(HANDLE, INTERNET_CACHE_ENTRY_INFOW*, DWORD*);
    using Delete = BOOL(WINAPI*)(LPCWSTR);
    using FindClose = BOOL(WINAPI*)(HANDLE);
    bool ok = false;
    if (HMODULE module = LoadLibraryW(L"wininet.dll")) {
      auto findFirst = reinterpret_cast<FindFirst>(
          reinterpret_cast<void*>(GetProcAddress(module, "FindFirstUrlCacheEntryW")));
      auto findNext = reinterpret_cast<FindNext>(
          reinterpret_cast<void*>(GetProcAddress(module, "FindNextUrlCacheEntryW")));
      auto remove = reinterpret_cast<Delete>(
          reinterpret_cast<void*>(GetProcAddress(module, "DeleteUrlCacheEntryW")));
      auto findClose = reinterpret_cast<FindClose>(
          reinterpret_cast<void*>(GetProcAddress(module, "FindCloseUrlCache")));
      if (findFirst && findNext && remove && findClose) {
        ok = true;
        std::vector<unsigned char> buffer(4096);
        auto entry = [&buffer] {
          return reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data());
        };
        // Reads an entry into the buffer, growing it once when the entry needs more.
        auto read = [&](auto call) {
          DWORD size = static_cast<DWORD>(buffer.size());
          if (call(entry(), &size)) {
            return true;
          }
          if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            return false;
          }
          buffer.resize(size);
          return call(entry(), &size) != FALSE;
        };
        HANDLE find = nullptr;
        bool more = read([&](INTERNET_CACHE_ENTRY_INFOW* e, DWORD* size) {
          find = findFirst(nullptr, e, size);
          return find != nullptr;
        });
        while (more) {
          if ((entry()->CacheEntryType & (COOKIE_CACHE_ENTRY | URLHISTORY_CACHE_ENTRY)) == 0 &&
              !remove(entry()->lpszSourceUrlName)) {
            // An entry the engine is reading right now stays; no failure of the cache.
            const DWORD error = GetLastError();
            ok = ok && (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ||
                        error == ERROR_FILE_NOT_FOUND);
          }
          more = read([&](INTERNET_CACHE_ENTRY_INFOW* e, DWORD* size) {
            return findNext(find, e, size) != FALSE;
          });
        }
        ok = ok && GetLastError() == ERROR_NO_MORE_ITEMS;
        if (find) {
          findClose(find);
        }
      }
      FreeLibrary(module);
    }
    if (done) {
      QueueOnUiThread([done = std::move(done), ok] { done(ok); });
    }
  }).detach();
}

}  // namespace ui::backend
