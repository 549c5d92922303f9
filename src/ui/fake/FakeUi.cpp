// The fake backend: the whole window framework in memory, without a display, for the unit tests.
// It records what the code asked of the platform and lets a test deliver what a user, a window
// manager or a web engine would (FakeUi.h, FakeBrowser.h).
//
// Implements every duty of ui/backend/Backend.h:
// - process and loop: InitPlatform as a test sets it; posted work queued until a test (or
//   RunMessageLoop, ProcessPending) runs it; timers that run when a test fires them; modal runs
//   handed to a test's handler.
// - top-levels: a record per window (bounds, title, shown, minimised, shape, layered content,
//   colour key, grab, full screen); paints on request into a canvas that records every call;
//   input and window-manager events delivered by the test.
// - desktop: a fixed work area and screen, message boxes and menus recorded and answered from
//   queues, shell opens and started processes recorded (nothing starts), a notification area
//   that exists or not.
// - web views (FakeBrowser.cpp): navigations, documents and script calls played by the test.
// What it cannot: draw or measure real text (every ASCII character is one 6-pixel cell, any
// other character two), show anything, or time anything by the clock.
#include "ui/fake/FakeUi.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <utility>

#include "ui/Dialog.h"
#include "ui/MessageBox.h"
#include "ui/NotifyIcon.h"
#include "ui/Platform.h"
#include "ui/backend/Backend.h"

namespace ui {
namespace {

class FakeNative;

struct FakeState {
  bool platformAvailable = true;
  Bitmap appIcon;
  AppIconPainter builtInIcon;
  std::vector<fake::MessageBoxCall> boxes;
  std::deque<int> answers;
  std::function<void(const fake::MessageBoxCall&)> boxObserver;
  std::mutex postedMutex;
  std::condition_variable postedArrived;
  std::deque<std::function<void()>> posted;
  std::chrono::milliseconds loopTimeout{10000};
  int loopDepth = 0;
  bool quitRequested = false;
  Rect workArea{0, 0, 1920, 1040};
  Size screen{1920, 1080};
  bool systemLoops = false;
  Cursor cursor = Cursor::kArrow;
  std::vector<std::string> shellOpens;
  std::vector<std::string> startedProcesses;
  std::vector<NotifyIconData> notifyIcons;
  bool notificationArea = true;
  std::map<backend::TimerHandle, std::function<void()>> timers;
  backend::TimerHandle nextTimer = 1;
  std::vector<fake::MenuCall> menus;
  std::deque<int> menuChoices;
  std::function<void(Dialog&)> modalHandler;
  std::vector<FakeNative*> natives;
  std::uint64_t nextNative = 1;
  FakeNative* keyboard = nullptr;  // the top-level the desktop gave the keyboard
};

FakeState& State() {
  static FakeState state;
  return state;
}

int DefaultAnswer(unsigned style) {
  bool second = (style & kMbDefButton2) != 0;
  switch (style & 0xF) {
    case kMbOkCancel:
      return second ? kIdCancel : kIdOk;
    case kMbYesNo:
      return second ? kIdNo : kIdYes;
    default:
      return kIdOk;
  }
}

class FakeNative : public backend::NativeWindow {
 public:
  FakeNative(backend::TopLevelEvents* events, const backend::NativeWindowParams& params)
      : events(events),
        serial_(State().nextNative++),
        // Like the GTK backend's tool windows (tips), which never take the keyboard.
        takesKeyboard_((params.exStyle & kWsExToolWindow) == 0) {
    state.bounds = params.screen;
    state.title = params.titleUtf8;
    state.taskbarButton = params.taskbarButton;
    State().natives.push_back(this);
  }
  ~FakeNative() override {
    auto& all = State().natives;
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
    if (State().keyboard == this) {
      State().keyboard = nullptr;
    }
  }
  void SetBounds(const Rect& screen) override { state.bounds = screen; }
  void Show(int showCmd) override {
    switch (showCmd) {
      case kSwHide:
        state.shown = false;
        LoseKeyboard();
        break;
      case kSwMinimize:
      case kSwShowMinimized:
        state.shown = true;
        LoseKeyboard();
        if (!state.minimized) {
          state.minimized = true;
          events->OnMinimizedChange(true);
        }
        break;
      default:
        state.shown = true;
        if (state.minimized && (showCmd == kSwRestore || showCmd == kSwShowNormal)) {
          state.minimized = false;
          events->OnMinimizedChange(false);
        }
        if (showCmd != kSwShowNoActivate && !state.minimized) {
          TakeKeyboard();
        }
        break;
    }
  }
  void SetTitle(const std::string& utf8) override { state.title = utf8; }
  void SetTaskbarButton(bool shown) override { state.taskbarButton = shown; }
  void Invalidate(const Rect&) override { ++state.invalidations; }
  void Update() override { ++state.updates; }
  void SetCursor(Cursor cursor) override { State().cursor = cursor; }
  void SetShape(const Region* region) override {
    state.hasShape = region != nullptr;
    state.shape = region ? *region : Region{};
  }
  void SetLayeredContent(const Bitmap& picture) override {
    ++state.layeredUpdates;
    state.layeredSize = {picture.width, picture.height};
  }
  void SetColorKey(ColorRef key) override {
    state.colorKeyed = true;
    state.colorKey = key;
  }
  void GrabPointer(bool grab) override { state.grabbed = grab; }
  void Focus() override {
    if (state.shown && !state.minimized) {
      TakeKeyboard();
    }
  }
  void SetFullScreen(bool fullScreen) override { state.fullScreen = fullScreen; }
  bool BeginSystemLoop(unsigned command, Point) override {
    if (!State().systemLoops) {
      return false;
    }
    state.systemLoop = command;
    return true;
  }

  // The keyboard moves as a desktop moves it when a window is activated, shown or hidden; the
  // framework hears of it later, with the posted work, as from a window system.
  void TakeKeyboard() {
    FakeState& s = State();
    if (!takesKeyboard_ || s.keyboard == this) {
      return;
    }
    FakeNative* previous = s.keyboard;
    s.keyboard = this;
    if (previous) {
      previous->ReportFocus(false);
    }
    ReportFocus(true);
  }
  void LoseKeyboard() {
    if (State().keyboard == this) {
      State().keyboard = nullptr;
      ReportFocus(false);
    }
  }

  backend::TopLevelEvents* events;
  fake::NativeState state;

 private:
  void ReportFocus(bool focused) {
    backend::QueueOnUiThread([serial = serial_, focused] {
      for (FakeNative* native : State().natives) {
        if (native->serial_ == serial) {
          native->events->OnFocusChange(focused);
          return;
        }
      }
    });
  }

  std::uint64_t serial_;
  bool takesKeyboard_;
};

FakeNative& NativeOf(const Window& w) {
  return *static_cast<FakeNative*>(backend::WindowAccess::Native(w));
}

// Records drawing in top-level coordinates.
class RecordingCanvas : public backend::NativeCanvas {
 public:
  explicit RecordingCanvas(Rect clip) { frames_.push_back({{0, 0}, clip}); }
  std::vector<fake::DrawOp> ops;

  void DrawBitmap(const Bitmap& picture, const Rect& src, const Rect& dst) override {
    AddPicture(fake::DrawOp::Kind::kBitmap, picture, src, dst);
  }
  void BlendBitmap(const Bitmap& picture, const Rect& src, const Rect& dst) override {
    AddPicture(fake::DrawOp::Kind::kBlend, picture, src, dst);
  }
  void DrawMasked(const Bitmap& picture, const Bitmap&, const Rect& dst, bool) override {
    AddPicture(fake::DrawOp::Kind::kMasked, picture, {0, 0, picture.width, picture.height}, dst);
  }
  void FillRect(const Rect& rect, ColorRef color) override {
    fake::DrawOp op = Base(fake::DrawOp::Kind::kFill, rect);
    op.color = color;
    ops.push_back(op);
  }
  void DrawEdge(const Rect& rect, EdgeKind kind) override {
    fake::DrawOp op = Base(fake::DrawOp::Kind::kEdge, rect);
    op.flags = kind == EdgeKind::kRaised ? 1 : 2;
    ops.push_back(op);
  }
  void DrawFocusRect(const Rect& rect) override {
    ops.push_back(Base(fake::DrawOp::Kind::kFocusRect, rect));
  }
  void DrawText(std::string_view text, const Rect& rect, unsigned flags, ColorRef color,
                FontKind font) override {
    fake::DrawOp op = Base(fake::DrawOp::Kind::kText, rect);
    op.text = std::string(text);
    op.flags = flags;
    op.color = color;
    op.font = font;
    ops.push_back(op);
  }
  void TextOut(int x, int y, std::string_view text, ColorRef color, FontKind font) override {
    Size size = backend::MeasureText(text, font);
    DrawText(text, Rect::FromSize(x, y, size.cx, size.cy), kDtLeft | kDtSingleLine, color, font);
  }
  void Save(Point offset, const Rect& clip) override {
    const Frame& f = frames_.back();
    Rect absolute = clip.Offset(f.origin.x, f.origin.y).Intersect(f.clip);
    frames_.push_back({{f.origin.x + offset.x, f.origin.y + offset.y}, absolute, f.shapes});
  }
  void ClipRegion(const Region& region) override {
    Frame& f = frames_.back();
    Region absolute;
    for (const Rect& r : region.rects) {
      absolute.rects.push_back(r.Offset(f.origin.x, f.origin.y));
    }
    f.shapes.push_back(std::move(absolute));
  }
  void Restore() override {
    if (frames_.size() > 1) {
      frames_.pop_back();
    }
  }

 private:
  struct Frame {
    Point origin;
    Rect clip;
    std::vector<Region> shapes;
  };
  fake::DrawOp Base(fake::DrawOp::Kind kind, const Rect& r) const {
    const Frame& f = frames_.back();
    fake::DrawOp op{};
    op.kind = kind;
    op.dst = r.Offset(f.origin.x, f.origin.y);
    op.clip = f.clip;
    op.shapes = f.shapes;
    return op;
  }
  void AddPicture(fake::DrawOp::Kind kind, const Bitmap& picture, const Rect& src,
                  const Rect& dst) {
    fake::DrawOp op = Base(kind, dst);
    op.src = src;
    op.picture = &picture;
    op.pictureWidth = picture.width;
    op.pictureHeight = picture.height;
    ops.push_back(op);
  }
  std::vector<Frame> frames_;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Backend entry points

namespace backend {

bool InitPlatform() { return State().platformAvailable; }

void SetBuiltInAppIcon(AppIconPainter paint) { State().builtInIcon = std::move(paint); }

void SetAppIcon(const Bitmap& icon) { State().appIcon = icon; }

void ProcessPending() { fake::RunPostedWork(); }

// The fake loop runs posted work until a handler quits it, or until no work has arrived for the
// loop's time-out (a test would otherwise hang).
void RunMessageLoop() {
  FakeState& s = State();
  ++s.loopDepth;
  while (!s.quitRequested) {
    if (fake::RunOnePostedWork() != 0) {
      continue;
    }
    std::unique_lock lock(s.postedMutex);
    if (!s.postedArrived.wait_for(lock, s.loopTimeout, [&s] { return !s.posted.empty(); })) {
      break;
    }
  }
  s.quitRequested = false;
  --s.loopDepth;
}

void QuitMessageLoop() { State().quitRequested = true; }

int MessageBox(Window* owner, std::string_view text, std::string_view caption, unsigned style) {
  FakeState& s = State();
  s.boxes.push_back({owner != nullptr, owner, std::string(text), std::string(caption), style});
  if (s.boxObserver) {
    s.boxObserver(s.boxes.back());
  }
  if (s.answers.empty()) {
    return DefaultAnswer(style);
  }
  int answer = s.answers.front();
  s.answers.pop_front();
  return answer;
}

Rect GetWorkArea() { return State().workArea; }
Size GetScreenSize() { return State().screen; }
void SetCursor(Cursor cursor) { State().cursor = cursor; }

bool ShellOpen(std::string_view target) {
  State().shellOpens.emplace_back(target);
  return true;
}

bool StartProcess(std::string_view path) {
  if (path.empty()) {
    return false;
  }
  State().startedProcesses.emplace_back(path);
  return true;
}

namespace {
std::vector<NotifyIconData>::iterator FindIcon(const NotifyIconData& data) {
  auto& icons = State().notifyIcons;
  return std::find_if(icons.begin(), icons.end(), [&data](const NotifyIconData& icon) {
    return icon.window == data.window && icon.id == data.id;
  });
}
}  // namespace

bool AddNotifyIcon(const NotifyIconData& data) {
  FakeState& s = State();
  if (!s.notificationArea) {
    return false;
  }
  auto it = FindIcon(data);
  if (it != s.notifyIcons.end()) {
    it->tip = data.tip;
  } else {
    s.notifyIcons.push_back(data);
  }
  return true;
}

bool DeleteNotifyIcon(const NotifyIconData& data) {
  auto it = FindIcon(data);
  if (it == State().notifyIcons.end()) {
    return false;
  }
  State().notifyIcons.erase(it);
  return true;
}

bool HasNotificationArea() { return State().notificationArea; }

Size MeasureText(std::string_view text, FontKind) {
  // A fixed cell per ASCII character and two per other one (as wide as its bytes in the model's
  // double-byte code page) is all layout tests need.
  int cells = 0;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      cells += 1;
    } else if (byte >= 0xC0) {
      cells += 2;  // a sequence's lead byte; continuation bytes add nothing
    }
  }
  return {cells * 6, 12};
}

int TrackPopupMenu(const std::vector<MenuItem>& items, Point screen, Window* /*owner*/) {
  FakeState& s = State();
  s.menus.push_back({items, screen});
  int choice = 0;
  if (!s.menuChoices.empty()) {
    choice = s.menuChoices.front();
    s.menuChoices.pop_front();
  }
  return choice;
}

void QueueOnUiThread(std::function<void()> work) {
  FakeState& s = State();
  std::lock_guard lock(s.postedMutex);
  s.posted.push_back(std::move(work));
  s.postedArrived.notify_all();
}

std::unique_ptr<NativeWindow> CreateNativeWindow(TopLevelEvents* events,
                                                 const NativeWindowParams& params) {
  return std::make_unique<FakeNative>(events, params);
}

TimerHandle StartTimer(unsigned, std::function<void()> callback) {
  FakeState& s = State();
  TimerHandle handle = s.nextTimer++;
  s.timers[handle] = std::move(callback);
  return handle;
}

void StopTimer(TimerHandle handle) { State().timers.erase(handle); }

void RunModalLoop(Dialog& dialog) {
  FakeState& s = State();
  if (s.modalHandler) {
    auto handler = s.modalHandler;  // a nested modal run may replace it
    handler(dialog);
  }
}

void WakeModalLoop() {}

}  // namespace backend

// ---------------------------------------------------------------------------------------------
// Test control

namespace fake {

void Reset() {
  FakeState& s = State();
  s.platformAvailable = true;
  s.appIcon = {};
  s.builtInIcon = nullptr;
  s.boxes.clear();
  s.answers.clear();
  s.boxObserver = nullptr;
  s.loopDepth = 0;
  s.quitRequested = false;
  s.loopTimeout = std::chrono::milliseconds(10000);
  s.workArea = {0, 0, 1920, 1040};
  s.screen = {1920, 1080};
  s.systemLoops = false;
  s.cursor = Cursor::kArrow;
  s.shellOpens.clear();
  s.startedProcesses.clear();
  s.notifyIcons.clear();
  s.notificationArea = true;
  s.timers.clear();
  s.menus.clear();
  s.menuChoices.clear();
  s.modalHandler = nullptr;
  s.keyboard = nullptr;
  std::lock_guard lock(s.postedMutex);
  s.posted.clear();
}

void SetPlatformAvailable(bool available) { State().platformAvailable = available; }
const Bitmap& AppIcon() { return State().appIcon; }
const AppIconPainter& BuiltInAppIcon() { return State().builtInIcon; }
void SetMessageLoopTimeout(std::chrono::milliseconds timeout) { State().loopTimeout = timeout; }
const std::vector<MessageBoxCall>& MessageBoxes() { return State().boxes; }
void QueueMessageBoxAnswer(int answer) { State().answers.push_back(answer); }
void OnMessageBox(std::function<void(const MessageBoxCall&)> observer) {
  State().boxObserver = std::move(observer);
}

int RunOnePostedWork() {
  FakeState& s = State();
  std::function<void()> work;
  {
    std::lock_guard lock(s.postedMutex);
    if (s.posted.empty()) {
      return 0;
    }
    work = std::move(s.posted.front());
    s.posted.pop_front();
  }
  work();
  return 1;
}

int RunPostedWork() {
  int count = 0;
  while (RunOnePostedWork() != 0) {
    ++count;
  }
  return count;
}

std::size_t PendingPostedWork() {
  FakeState& s = State();
  std::lock_guard lock(s.postedMutex);
  return s.posted.size();
}

void SetWorkArea(const Rect& work) { State().workArea = work; }
void SetScreenSize(Size size) { State().screen = size; }
void SetSystemLoops(bool system) { State().systemLoops = system; }

const NativeState& Native(const Window& topLevel) {
  static const NativeState none{};
  if (!backend::WindowAccess::Native(topLevel)) {
    return none;
  }
  return NativeOf(topLevel).state;
}

Cursor CurrentCursor() { return State().cursor; }
const std::vector<std::string>& ShellOpens() { return State().shellOpens; }
const std::vector<std::string>& StartedProcesses() { return State().startedProcesses; }
const std::vector<NotifyIconData>& NotifyIcons() { return State().notifyIcons; }
void SetNotificationArea(bool present) { State().notificationArea = present; }

void Mouse(Window& topLevel, MouseKind kind, int button, Point screen, unsigned keyFlags) {
  using Reported = backend::TopLevelEvents::MouseKind;
  Reported reported = Reported::kMove;
  switch (kind) {
    case MouseKind::kMove:
      reported = Reported::kMove;
      break;
    case MouseKind::kDown:
      reported = Reported::kDown;
      break;
    case MouseKind::kUp:
      reported = Reported::kUp;
      break;
    case MouseKind::kDoubleClick:
      reported = Reported::kDoubleClick;
      break;
  }
  FakeNative& n = NativeOf(topLevel);
  Point client{screen.x - n.state.bounds.left, screen.y - n.state.bounds.top};
  n.events->OnMouse(reported, button, client, screen, keyFlags);
}

void Click(Window& topLevel, Point screen, unsigned extraFlags) {
  Mouse(topLevel, MouseKind::kMove, 0, screen, extraFlags);
  if (!topLevel.IsCreated()) {
    return;
  }
  Mouse(topLevel, MouseKind::kDown, 1, screen, kMkLButton | extraFlags);
  if (!topLevel.IsCreated()) {
    return;
  }
  Mouse(topLevel, MouseKind::kUp, 1, screen, extraFlags);
}

void PointerLeaves(Window& topLevel) { NativeOf(topLevel).events->OnPointerLeave(); }

bool Key(Window& topLevel, bool down, unsigned virtualKey, unsigned keyFlags) {
  return NativeOf(topLevel).events->OnKey(down, virtualKey, keyFlags);
}

void FocusChange(Window& topLevel, bool focused) {
  FakeNative& native = NativeOf(topLevel);
  FakeState& s = State();
  if (focused) {
    s.keyboard = &native;
  } else if (s.keyboard == &native) {
    s.keyboard = nullptr;
  }
  native.events->OnFocusChange(focused);
}

void Configure(Window& topLevel, const Rect& screen) {
  FakeNative& n = NativeOf(topLevel);
  n.state.bounds = screen;
  n.events->OnConfigure(screen);
}

void RequestClose(Window& topLevel) { NativeOf(topLevel).events->OnCloseRequest(); }

void DesktopMinimize(Window& topLevel, bool minimized) {
  FakeNative& n = NativeOf(topLevel);
  n.state.minimized = minimized;
  n.events->OnMinimizedChange(minimized);
}

std::vector<DrawOp> Paint(Window& topLevel) {
  Rect all = topLevel.GetClientRect();
  RecordingCanvas canvas(all);
  NativeOf(topLevel).events->OnExpose(canvas, all);
  return canvas.ops;
}

std::size_t ActiveTimers() { return State().timers.size(); }

void FireTimers() {
  auto timers = State().timers;  // a callback may stop timers
  for (auto& [handle, callback] : timers) {
    if (State().timers.count(handle)) {
      callback();
    }
  }
}

const std::vector<MenuCall>& Menus() { return State().menus; }
void QueueMenuChoice(int id) { State().menuChoices.push_back(id); }
void SetModalHandler(std::function<void(Dialog&)> handler) {
  State().modalHandler = std::move(handler);
}

}  // namespace fake
}  // namespace ui
