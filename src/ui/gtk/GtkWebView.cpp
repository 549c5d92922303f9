#include "ui/gtk/GtkWebView.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "base/Platform.h"
#include "base/Text.h"
#include "ui/MessageBox.h"
#include "ui/backend/Backend.h"
#include "ui/gtk/GtkChildContainer.h"
#include "ui/gtk/WebKitLoader.h"

namespace ui {
namespace gtk {
namespace {

struct GFree {
  void operator()(gpointer p) const { g_free(p); }
};
using GString = std::unique_ptr<gchar, GFree>;

struct ReplyUnref {
  void operator()(WebKitScriptMessageReply* r) const { webkit_script_message_reply_unref(r); }
};

// The channel our scripts post to: window.webkit.messageHandlers.launcherHost, which exists in
// our own script world only (the scripts below and the signal's detail name it too). The page's
// scripts live in another world and cannot reach it.
constexpr char kChannel[] = "launcherHost";
constexpr char kWorld[] = "launcher";

// Whether a document may have the external object: the page's top document, or a frame of
// exactly the top document's origin (reading the top's origin throws in any other frame).
constexpr char kTrustedTest[] = R"js(
  let trusted = window === window.top;
  if (!trusted) {
    try { trusted = window.origin === window.top.origin; } catch (e) {}
  }
)js";

// Runs in our world at the start of every document: reports the documents of frames (the
// page's own comes from the load events), and carries the external object's calls of trusted
// documents to the host, at most kMaxExternalArguments of them, texts within the limit, each as
// {type, value} (value for texts, numbers and booleans). Calls come from the page's world as
// events on the document, answers go back the same way.
constexpr char kWorldScript[] = R"js((() => {
  const channel = window.webkit.messageHandlers.launcherHost;
  const post = channel.postMessage.bind(channel);
  if (window !== window.top) post({kind: 'frame', url: document.URL});
  TRUSTED_TEST
  if (!trusted) return;
  const describe = (item) => {
    const type = item !== null && typeof item === 'object' ? item.type : undefined;
    const value = type === undefined ? undefined : item.value;
    if (type === 'null' || type === 'undefined') return {type};
    if (type === 'string' && typeof value === 'string' && value.length <= MAX_UNITS) {
      return {type, value};
    }
    if ((type === 'number' || type === 'boolean') && typeof value === type) return {type, value};
    return {type: 'other'};
  };
  const reply = (detail) => {
    document.dispatchEvent(new CustomEvent('launcher-external-reply', {detail}));
  };
  document.addEventListener('launcher-external-call', (event) => {
    const call = event.detail;
    if (call === null || typeof call !== 'object') return;
    const given = Array.isArray(call.args) ? call.args : [];
    const args = [];
    for (let i = 0; i < given.length && i < MAX_ARGS; ++i) args.push(describe(given[i]));
    post({kind: 'call', name: String(call.name), args}).then(
        (value) => reply({id: call.id, value}),
        (error) => reply({id: call.id, error: String(error && error.message)}));
  });
})();)js";

// Parts of the presentation script. Everything the parts use is taken before the page's own
// script runs, so that a page replacing built-ins changes nothing of them.
constexpr char kNoScrollBars[] = R"js(
  try {
    const sheet = new CSSStyleSheet();
    sheet.replaceSync('html, body { overflow: hidden !important; }');
    document.adoptedStyleSheets = [...document.adoptedStyleSheets, sheet];
  } catch (e) {}
)js";

constexpr char kNoContextMenu[] = R"js(
  try {
    const preventDefault = Function.prototype.call.bind(Event.prototype.preventDefault);
    window.addEventListener('contextmenu', (event) => preventDefault(event), true);
  } catch (e) {}
)js";

// Expects `members`, the names the object has. Only trusted documents get the object; a member
// looks at no more arguments than a call carries and describes texts over the limit without
// copying them, so that a call costs the page little and the host nothing.
constexpr char kExternal[] = R"js(
  try {
    TRUSTED_TEST
    if (trusted) {
      const dispatch = EventTarget.prototype.dispatchEvent.bind(document);
      const Custom = CustomEvent;
      const pending = new Map();
      let next = 1;
      document.addEventListener('launcher-external-reply', (event) => {
        const answer = event.detail;
        const waiting = answer !== null && typeof answer === 'object' && pending.get(answer.id);
        if (!waiting) return;
        pending.delete(answer.id);
        if ('error' in answer) {
          waiting.reject(new Error(answer.error));
        } else {
          waiting.resolve(answer.value);
        }
      });
      const describe = (value) => {
        if (value === null) return {type: 'null'};
        const type = typeof value;
        if (type === 'string') return value.length <= MAX_UNITS ? {type, value} : {type: 'other'};
        if (type === 'number' || type === 'boolean') return {type, value};
        return {type: type === 'undefined' ? type : 'other'};
      };
      const external = Object.create(null);
      for (const name of members) {
        Object.defineProperty(external, name, {enumerable: true, value: function () {
          const count = Math.min(arguments.length, MAX_ARGS);
          const args = [];
          for (let i = 0; i < count; ++i) args.push(describe(arguments[i]));
          return new Promise((resolve, reject) => {
            const id = next++;
            pending.set(id, {resolve, reject});
            dispatch(new Custom('launcher-external-call', {detail: {id, name, args}}));
          });
        }});
      }
      Object.freeze(external);
      Object.defineProperty(window, 'external', {value: external, enumerable: true});
    }
  } catch (e) {}
)js";

// A script's text with the shared parts and limits put in.
std::string WithLimits(std::string source) {
  const std::pair<std::string_view, std::string> parts[] = {
      {"TRUSTED_TEST", kTrustedTest},
      {"MAX_ARGS", std::to_string(kMaxExternalArguments)},
      {"MAX_UNITS", std::to_string(kMaxExternalTextBytes / 2)},  // UTF-16 units
  };
  for (const auto& [name, value] : parts) {
    for (std::size_t at = source.find(name); at != std::string::npos;
         at = source.find(name, at + value.size())) {
      source.replace(at, name.size(), value);
    }
  }
  return source;
}

// A JavaScript string literal holding text (UTF-8).
std::string ScriptString(std::string_view text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        if (c < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  // Line and paragraph separators end a line in older engines' string literals.
  for (std::string_view separator : {"\u2028", "\u2029"}) {
    for (std::size_t at = out.find(separator); at != std::string::npos;
         at = out.find(separator, at)) {
      out.replace(at, separator.size(), separator == "\u2028" ? "\\u2028" : "\\u2029");
    }
  }
  return out + "\"";
}

// The script that gives a document its presentation; empty for the engine's defaults.
std::string PresentationSource(const backend::DocumentPresentation& presentation) {
  if (presentation.scrollBars && presentation.contextMenu && !presentation.external) {
    return {};
  }
  std::string source = "(() => {";
  if (!presentation.scrollBars) {
    source += kNoScrollBars;
  }
  if (!presentation.contextMenu) {
    source += kNoContextMenu;
  }
  if (presentation.external) {
    source += "\n  const members = [";
    for (const std::string& name : presentation.externalMembers) {
      source += ScriptString(name) + ", ";
    }
    source += "];";
    source += kExternal;
  }
  return WithLimits(source + "})();");
}

// ---------------------------------------------------------------------------------------------
// The values page script posts.

std::string StringOf(JSCValue* value) {
  if (!value || !jsc_value_is_string(value)) {
    return {};
  }
  GString text(jsc_value_to_string(value));
  return text ? std::string(text.get()) : std::string();
}

ObjectPtr<JSCValue> Property(JSCValue* object, const char* name) {
  if (!object || !jsc_value_is_object(object)) {
    return nullptr;
  }
  return ObjectPtr<JSCValue>(jsc_value_object_get_property(object, name));
}

ScriptValue ArgumentOf(JSCValue* described) {
  const std::string type = StringOf(Property(described, "type").get());
  ObjectPtr<JSCValue> value = Property(described, "value");
  if (type == "undefined") {
    return ScriptValue::Undefined();
  }
  if (type == "null") {
    return ScriptValue::Null();
  }
  if (type == "boolean" && value && jsc_value_is_boolean(value.get())) {
    return ScriptValue::Boolean(jsc_value_to_boolean(value.get()) != FALSE);
  }
  if (type == "number" && value && jsc_value_is_number(value.get())) {
    return ScriptValue::Number(jsc_value_to_double(value.get()));
  }
  if (type == "string" && value && jsc_value_is_string(value.get())) {
    // Our world's script sent nothing longer; this only keeps the contract without it.
    std::string text = StringOf(value.get());
    if (text.size() > kMaxExternalTextBytes * 3 / 2) {
      return ScriptValue::Other();
    }
    return ScriptValue::Text(std::move(text));
  }
  return ScriptValue::Other();
}

std::vector<ScriptValue> ArgumentsOf(JSCValue* message) {
  std::vector<ScriptValue> args;
  ObjectPtr<JSCValue> list = Property(message, "args");
  if (!list || !jsc_value_is_array(list.get())) {
    return args;
  }
  ObjectPtr<JSCValue> length = Property(list.get(), "length");
  const int count = std::min(length ? jsc_value_to_int32(length.get()) : 0,
                             static_cast<int>(kMaxExternalArguments));
  for (int i = 0; i < count; ++i) {
    ObjectPtr<JSCValue> item(jsc_value_object_get_property_at_index(list.get(), i));
    args.push_back(ArgumentOf(item.get()));
  }
  return args;
}

ObjectPtr<JSCValue> ScriptValueIn(JSCContext* context, const ScriptValue& value) {
  switch (value.type) {
    case ScriptValue::Type::kNull:
      return ObjectPtr<JSCValue>(jsc_value_new_null(context));
    case ScriptValue::Type::kBoolean:
      return ObjectPtr<JSCValue>(jsc_value_new_boolean(context, value.boolean));
    case ScriptValue::Type::kNumber:
      return ObjectPtr<JSCValue>(jsc_value_new_number(context, value.number));
    case ScriptValue::Type::kText:
      return ObjectPtr<JSCValue>(jsc_value_new_string(context, value.text.c_str()));
    default:
      return ObjectPtr<JSCValue>(jsc_value_new_undefined(context));
  }
}

// scheme://host[:port] of an address (default ports left out); empty when it has no host.
std::string OriginOf(const char* address) {
  GUri* uri = g_uri_parse(address, G_URI_FLAGS_SCHEME_NORMALIZE, nullptr);
  if (!uri) {
    return {};
  }
  std::string origin;
  const char* scheme = g_uri_get_scheme(uri);
  const char* host = g_uri_get_host(uri);
  if (scheme && host && *host) {
    origin = std::string(scheme) + "://" + host;
    if (g_uri_get_port(uri) > 0) {
      origin += ":" + std::to_string(g_uri_get_port(uri));
    }
  }
  g_uri_unref(uri);
  return origin;
}

// Every download a page starts is refused: nothing is saved behind the player's back, and the
// launcher offers no way to choose where a file goes.
void RefuseDownload(WebKitWebContext*, WebKitDownload* download, gpointer) {
  webkit_download_cancel(download);
}

// ---------------------------------------------------------------------------------------------
// The shared engine.

struct Engine {
  ObjectPtr<WebKitWebsiteDataManager> data;
  ObjectPtr<WebKitWebContext> context;
  ObjectPtr<WebKitSettings> settings;
};

// The executable's own file name: each packaged launcher keeps its pages' data apart.
std::string ProgramName() {
  const std::string own = launcher::OwnExecutablePath();
  if (!own.empty()) {
    GString base(g_path_get_basename(own.c_str()));
    if (base && *base.get()) {
      return base.get();
    }
  }
  const char* name = g_get_prgname();
  return name && *name ? name : "launcher";
}

Engine MakeEngine() {
  Engine engine;
  const std::string name = ProgramName();
  GString cache(g_build_filename(g_get_user_cache_dir(), name.c_str(), nullptr));
  GString data(g_build_filename(g_get_user_data_dir(), name.c_str(), nullptr));
  GString cookies(g_build_filename(data.get(), "cookies.sqlite", nullptr));
  engine.data.reset(webkit_website_data_manager_new("base-cache-directory", cache.get(),
                                                    "base-data-directory", data.get(), nullptr));
  // Logins are remembered across runs, as the player's browser would remember them.
  webkit_cookie_manager_set_persistent_storage(
      webkit_website_data_manager_get_cookie_manager(engine.data.get()), cookies.get(),
      WEBKIT_COOKIE_PERSISTENT_STORAGE_SQLITE);

  engine.context.reset(webkit_web_context_new_with_website_data_manager(engine.data.get()));
  // Pages come from the operator's servers: their processes run confined. Where the confinement
  // cannot start (some containers), WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS=1 turns it off.
  webkit_web_context_set_sandbox_enabled(engine.context.get(), TRUE);
  // One page at a time, never a way back: a moderate memory cache, no page cache.
  webkit_web_context_set_cache_model(engine.context.get(), WEBKIT_CACHE_MODEL_DOCUMENT_BROWSER);
  g_signal_connect(engine.context.get(), "download-started", G_CALLBACK(RefuseDownload), nullptr);

  engine.settings.reset(webkit_settings_new());
  // No requests of our own making beyond what the page asks for: no name look-ups ahead.
  g_object_set(engine.settings.get(), "enable-dns-prefetching", FALSE, "enable-page-cache", FALSE,
               "enable-developer-extras", FALSE, nullptr);
  // Pages are drawn by the web process's own renderer, not composited through OpenGL: a page
  // that was hidden shows its first frame as soon as it is shown (with OpenGL it took seconds
  // where the GL is a software one), and every process needs far less memory. WebGL still works.
  webkit_settings_set_hardware_acceleration_policy(engine.settings.get(),
                                                   WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
  WebKitFeatureList* features = webkit_settings_get_all_features();
  for (gsize i = 0; i < webkit_feature_list_get_length(features); ++i) {
    WebKitFeature* feature = webkit_feature_list_get(features, i);
    if (g_strcmp0(webkit_feature_get_identifier(feature), "LinkDNSPrefetch") == 0) {
      webkit_settings_set_feature_enabled(engine.settings.get(), feature, FALSE);
    }
  }
  webkit_feature_list_unref(features);
  return engine;
}

Engine& SharedEngine() {
  static Engine engine = MakeEngine();
  return engine;
}

// Our last reference to a web view that was detached, given up once the event that detached it
// (which may be one of the view's own signals) is over.
gboolean ReleaseView(gpointer data) {
  ObjectPtr<GtkWidget> view(static_cast<GtkWidget*>(data));
  if (GtkWidget* parent = gtk_widget_get_parent(view.get())) {
    gtk_container_remove(GTK_CONTAINER(parent), view.get());
  }
  return G_SOURCE_REMOVE;
}

void CacheCleared(GObject* source, GAsyncResult* result, gpointer data) {
  std::unique_ptr<std::function<void(bool)>> done(static_cast<std::function<void(bool)>*>(data));
  GError* error = nullptr;
  const bool ok = webkit_website_data_manager_clear_finish(WEBKIT_WEBSITE_DATA_MANAGER(source),
                                                           result, &error) != FALSE;
  if (error) {
    g_error_free(error);
  }
  if (*done) {
    (*done)(ok);
  }
}

// Without the engine the pages keep their placeholders; the player is told once why.
void ReportMissingEngine() {
  static bool reported = false;
  if (std::exchange(reported, true)) {
    return;
  }
  std::fprintf(stderr, "%s\n", WebKitLoadError().c_str());
  const std::string text = std::string("无法加载网页组件 ") + kWebKitLibrary + "，网页无法显示。";
  backend::MessageBox(nullptr, text, ProgramName(), kMbOk | kMbIconError);
}

}  // namespace

WebKitWebContext* SharedWebContext() { return SharedEngine().context.get(); }

// ---------------------------------------------------------------------------------------------
// GtkWebView

GtkWebView::GtkWebView(backend::BrowserEvents* events) : events_(events) {}

GtkWebView::~GtkWebView() {
  *self_ = nullptr;
  DropView();
}

void GtkWebView::Attach(backend::NativeWindow* topLevel) {
  GtkFixed* container = ChildContainer(topLevel);
  // Attached there already, with its web view or waiting for the engine to make it (a second
  // wait would drop the addresses queued meanwhile).
  if (container == container_) {
    return;
  }
  DropView();
  container_ = container;
  if (!container_) {
    return;
  }
  std::weak_ptr<GtkWebView*> self = self_;
  WhenWebKitLoaded([self](bool loaded) {
    if (std::shared_ptr<GtkWebView*> alive = self.lock(); alive && *alive) {
      (*alive)->EngineLoaded(loaded);
    }
  });
}

void GtkWebView::EngineLoaded(bool loaded) {
  if (!loaded) {
    ReportMissingEngine();
    return;
  }
  if (container_ && !view_) {
    MakeView();
  }
}

void GtkWebView::MakeView() {
  Engine& engine = SharedEngine();
  content_.reset(webkit_user_content_manager_new());
  g_signal_connect(content_.get(), "script-message-with-reply-received::launcherHost",
                   G_CALLBACK(OnHostMessage), this);
  webkit_user_content_manager_register_script_message_handler_with_reply(content_.get(), kChannel,
                                                                         kWorld);
  UserScriptPtr world(webkit_user_script_new_for_world(
      WithLimits(kWorldScript).c_str(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
      WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, kWorld, nullptr, nullptr));
  webkit_user_content_manager_add_script(content_.get(), world.get());
  presentationSource_.clear();
  presentationScript_.reset();

  auto* view = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context",
                                            engine.context.get(), "settings", engine.settings.get(),
                                            "user-content-manager", content_.get(), nullptr));
  view_.reset(WEBKIT_WEB_VIEW(g_object_ref_sink(view)));
  InstallPresentation();

  g_signal_connect(view, "decide-policy", G_CALLBACK(OnDecidePolicy), this);
  g_signal_connect(view, "load-changed", G_CALLBACK(OnLoadChanged), this);
  g_signal_connect(view, "load-failed", G_CALLBACK(OnLoadFailed), this);
  g_signal_connect(view, "focus-in-event", G_CALLBACK(OnFocusIn), this);
  g_signal_connect(view, "button-press-event", G_CALLBACK(OnButtonPress), this);
  g_signal_connect(view, "create", G_CALLBACK(OnCreate), this);
  gtk_fixed_put(container_, GTK_WIDGET(view), bounds_.left, bounds_.top);
  Place();
  for (const std::string& url : std::exchange(queuedNavigations_, {})) {
    StartLoad(url);
  }
}

void GtkWebView::DropView() {
  queuedNavigations_.clear();
  if (!view_) {
    container_ = nullptr;
    return;
  }
  GtkWidget* view = GTK_WIDGET(view_.get());
  g_signal_handlers_disconnect_by_data(view, this);
  g_signal_handlers_disconnect_by_data(content_.get(), this);
  webkit_user_content_manager_unregister_script_message_handler_in_world(content_.get(), kChannel,
                                                                         kWorld);
  gtk_widget_hide(view);
  // The view may be in the middle of one of its own signals: it leaves its container and goes
  // once that is over.
  g_idle_add(ReleaseView, view_.release());
  content_.reset();
  presentationScript_.reset();
  presentationSource_.clear();
  container_ = nullptr;
}

void GtkWebView::Place() {
  if (!view_) {
    return;
  }
  GtkWidget* view = GTK_WIDGET(view_.get());
  gtk_fixed_move(container_, view, bounds_.left, bounds_.top);
  gtk_widget_set_size_request(view, std::max(bounds_.Width(), 0), std::max(bounds_.Height(), 0));
  gtk_widget_set_visible(view, visible_);
}

void GtkWebView::SetBounds(const Rect& inTopLevel) {
  bounds_ = inTopLevel;
  Place();
}

void GtkWebView::SetVisible(bool visible) {
  visible_ = visible;
  if (view_) {
    gtk_widget_set_visible(GTK_WIDGET(view_.get()), visible);
  }
}

void GtkWebView::Focus() {
  if (view_) {
    gtk_widget_grab_focus(GTK_WIDGET(view_.get()));
  }
}

bool GtkWebView::Navigate(const std::string& url) {
  if (!view_) {
    // The engine is still loading: the address waits for the web view.
    if (!container_ || !WebKitLoadError().empty()) {
      return false;
    }
    queuedNavigations_.push_back(url);
    return true;
  }
  StartLoad(url);
  return true;
}

void GtkWebView::StartLoad(const std::string& url) {
  ++pendingNavigations_;
  webkit_web_view_load_uri(view_.get(), url.c_str());
  // The engine's own spelling of the address (the view takes it at once) is what its decision
  // on the navigation will name.
  const char* asked = webkit_web_view_get_uri(view_.get());
  hostNavigations_.emplace_back(asked ? asked : url);
}

bool GtkWebView::LoadHtml(const std::string& html, const std::string& url) {
  if (!view_) {
    return false;
  }
  ++pendingNavigations_;
  substituteUri_ = url;
  webkit_web_view_load_alternate_html(view_.get(), html.c_str(), url.c_str(), url.c_str());
  const char* asked = webkit_web_view_get_uri(view_.get());
  if (asked) {
    substituteUri_ = asked;
  }
  return true;
}

// The engine reports script errors to its console only and never raises a dialog box for them:
// a silent page needs nothing more.
void GtkWebView::SetSilent(bool /*silent*/) {}

void GtkWebView::PresentationChanged() { InstallPresentation(); }

void GtkWebView::InstallPresentation() {
  if (!content_) {
    return;
  }
  std::string source = PresentationSource(events_->Presentation());
  if (source == presentationSource_) {
    return;
  }
  // Only documents that start from now on run the new script; those there already keep theirs.
  if (presentationScript_) {
    webkit_user_content_manager_remove_script(content_.get(), presentationScript_.get());
    presentationScript_.reset();
  }
  presentationSource_ = std::move(source);
  if (presentationSource_.empty()) {
    return;
  }
  presentationScript_.reset(
      webkit_user_script_new(presentationSource_.c_str(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                             WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr));
  webkit_user_content_manager_add_script(content_.get(), presentationScript_.get());
}

gboolean GtkWebView::OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                    WebKitPolicyDecisionType type, gpointer data) {
  // New windows come through the create signal; responses keep the engine's own handling (what
  // it cannot show becomes a download, which the engine's context refuses).
  if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION) {
    return FALSE;
  }
  auto* self = static_cast<GtkWebView*>(data);
  WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
      WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  WebKitURIRequest* request = webkit_navigation_action_get_request(action);
  const char* uri = webkit_uri_request_get_uri(request);
  const std::string address = uri ? uri : "";
  ObjectPtr<WebKitPolicyDecision> keep(WEBKIT_POLICY_DECISION(g_object_ref(decision)));
  // Our own page in place of one that could not be reached is no navigation of the page.
  if (!self->substituteUri_.empty() && address == self->substituteUri_) {
    self->substituteUri_.clear();
    webkit_policy_decision_use(keep.get());
    return TRUE;
  }
  const bool sameOrigin = self->StartedBySameOrigin(action, request, address);
  // The engine does not say which frame navigates.
  const bool proceed = self->events_->OnBeforeNavigate(address, true, sameOrigin);
  if (proceed) {
    webkit_policy_decision_use(keep.get());
  } else {
    webkit_policy_decision_ignore(keep.get());
  }
  return TRUE;
}

// Who started a navigation, as far as the engine tells: the decision names neither the frame nor
// the document that asked, but its request carries the Referer the engine computed from that
// document (the redirect of a request keeps it), and a form sent with POST its Origin even where
// the Referer is left out. Our own Navigate calls carry neither; nor does a redirect while our own
// load of the page has not yet made a document (no page script exists then). A document that
// withholds both is not trusted.
bool GtkWebView::StartedBySameOrigin(WebKitNavigationAction* action, WebKitURIRequest* request,
                                     const std::string& address) {
  SoupMessageHeaders* headers = webkit_uri_request_get_http_headers(request);
  for (const char* name : {"Referer", "Origin"}) {
    const char* value = headers ? soup_message_headers_get_one(headers, name) : nullptr;
    if (value && *value && g_strcmp0(value, "null") != 0) {
      const std::string origin = OriginOf(value);
      return !origin.empty() && origin == topOrigin_;
    }
  }
  if (webkit_navigation_action_is_redirect(action)) {
    return hostLoadInFlight_;
  }
  auto own = std::find(hostNavigations_.begin(), hostNavigations_.end(), address);
  if (own == hostNavigations_.end()) {
    return false;
  }
  hostNavigations_.erase(hostNavigations_.begin(), own + 1);
  hostLoadInFlight_ = true;
  return true;
}

void GtkWebView::OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer data) {
  auto* self = static_cast<GtkWebView*>(data);
  const char* uri = webkit_web_view_get_uri(view);
  if (event == WEBKIT_LOAD_STARTED) {
    if (self->pendingNavigations_ > 0) {
      --self->pendingNavigations_;
    }
  } else if (event == WEBKIT_LOAD_COMMITTED) {
    self->hostLoadInFlight_ = false;
    self->topOrigin_ = OriginOf(uri ? uri : "");
    self->events_->OnNavigateComplete(uri ? uri : "", true);
  } else if (event == WEBKIT_LOAD_FINISHED) {
    self->hostLoadInFlight_ = false;
    // A load replaced by a navigation asked for after it completes nothing; a load that failed
    // otherwise still leaves a document (the engine's empty one) and is reported like one.
    if (std::exchange(self->loadCancelled_, false) || self->pendingNavigations_ > 0) {
      return;
    }
    self->events_->OnDocumentComplete(uri ? uri : "");
  }
}

gboolean GtkWebView::OnLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error,
                                  gpointer data) {
  auto* self = static_cast<GtkWebView*>(data);
  if (g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED)) {
    self->loadCancelled_ = true;
    return FALSE;
  }
  // Loads stopped on purpose (a refused download, a policy) are not a server out of reach.
  if (error->domain == WEBKIT_POLICY_ERROR || error->domain == WEBKIT_DOWNLOAD_ERROR ||
      error->domain == WEBKIT_PLUGIN_ERROR) {
    return FALSE;
  }
  // The control may put its own page there, from inside this call.
  return self->events_->OnNavigateError(uri ? uri : "") ? TRUE : FALSE;
}

gboolean GtkWebView::OnFocusIn(GtkWidget*, GdkEventFocus*, gpointer data) {
  static_cast<GtkWebView*>(data)->events_->OnFocusIn();
  return FALSE;
}

// A click into the page gives it the keyboard, also where no window manager gives the window
// the keyboard on a click: the top-level takes the focus first (the view itself takes it inside
// its top-level as the engine handles the press).
gboolean GtkWebView::OnButtonPress(GtkWidget* widget, GdkEventButton* event, gpointer) {
  GtkWidget* top = gtk_widget_get_toplevel(widget);
  if (GTK_IS_WINDOW(top) && !gtk_window_is_active(GTK_WINDOW(top))) {
    gtk_window_present_with_time(GTK_WINDOW(top), event->time);
  }
  return FALSE;
}

// A page asks for a new window: the control decides what becomes of the address; the engine
// never gets a view for it.
GtkWidget* GtkWebView::OnCreate(WebKitWebView*, WebKitNavigationAction* action, gpointer data) {
  const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
  static_cast<GtkWebView*>(data)->events_->OnNewWindow(uri ? uri : "");
  return nullptr;
}

gboolean GtkWebView::OnHostMessage(WebKitUserContentManager*, JSCValue* message,
                                   WebKitScriptMessageReply* reply, gpointer data) {
  auto* self = static_cast<GtkWebView*>(data);
  std::unique_ptr<WebKitScriptMessageReply, ReplyUnref> answer(
      webkit_script_message_reply_ref(reply));
  const std::string kind = StringOf(Property(message, "kind").get());
  JSCContext* context = jsc_value_get_context(message);
  if (kind == "frame") {
    ObjectPtr<JSCValue> nothing(jsc_value_new_undefined(context));
    webkit_script_message_reply_return_value(answer.get(), nothing.get());
    self->events_->OnNavigateComplete(StringOf(Property(message, "url").get()), false);
    return TRUE;
  }
  if (kind == "call") {
    const std::string name = StringOf(Property(message, "name").get());
    const std::optional<ScriptValue> result =
        self->events_->OnExternalCall(name, ArgumentsOf(message));
    // The reply is the page's, whatever happened to this object meanwhile.
    if (result) {
      ObjectPtr<JSCValue> value = ScriptValueIn(context, *result);
      webkit_script_message_reply_return_value(answer.get(), value.get());
    } else {
      webkit_script_message_reply_return_error_message(answer.get(),
                                                       "The external object has no such member");
    }
    return TRUE;
  }
  webkit_script_message_reply_return_error_message(answer.get(), "Unknown message");
  return TRUE;
}

}  // namespace gtk

// ---------------------------------------------------------------------------------------------
// Backend entry points

namespace backend {

std::unique_ptr<NativeBrowser> CreateNativeBrowser(BrowserEvents* events) {
  if (!gdk_display_get_default()) {
    return nullptr;  // no toolkit, no web views
  }
  // The engine's library loads from the first web view on, while its window is made and drawn;
  // a program that shows no page never loads it. A module this thread loads meanwhile waits for
  // that load to end (the loader holds GModule's lock), so the text converters load before.
  launcher::PreloadTextConversion();
  gtk::StartLoadingWebKit();
  return std::make_unique<gtk::GtkWebView>(events);
}

void ClearBrowserCache(std::function<void(bool)> done) {
  if (!gtk::WebKitLoaded()) {
    if (done) {
      done(false);
    }
    return;
  }
  auto types = static_cast<WebKitWebsiteDataTypes>(WEBKIT_WEBSITE_DATA_MEMORY_CACHE |
                                                   WEBKIT_WEBSITE_DATA_DISK_CACHE);
  // The callback owns done from here on.
  auto pending = std::make_unique<std::function<void(bool)>>(std::move(done));
  webkit_website_data_manager_clear(gtk::SharedEngine().data.get(), types, 0, nullptr,
                                    gtk::CacheCleared, pending.release());
}

}  // namespace backend
}  // namespace ui
