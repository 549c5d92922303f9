#include "ui/fake/FakeUi.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "ui/MessageBox.h"
#include "ui/Platform.h"
#include "ui/detail/Backend.h"

namespace ui {
namespace {

struct FakeState {
  bool platformAvailable = true;
  std::vector<fake::MessageBoxCall> boxes;
  std::deque<int> answers;
  std::mutex postedMutex;
  std::deque<std::function<void()>> posted;
  std::condition_variable postedArrived;
  std::chrono::milliseconds loopTimeout{10000};
  int loopDepth = 0;
  bool quitRequested = false;
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

}  // namespace

bool InitPlatform() { return State().platformAvailable; }

void ProcessPending() { fake::RunPostedWork(); }

// The fake loop runs posted work until a handler quits it, or until no work has arrived for the
// loop's time-out (a test would otherwise hang).
void RunMessageLoop() {
  FakeState& s = State();
  ++s.loopDepth;
  while (!s.quitRequested) {
    if (fake::RunOnePostedWork() != 0) continue;
    std::unique_lock lock(s.postedMutex);
    if (!s.postedArrived.wait_for(lock, s.loopTimeout, [&s] { return !s.posted.empty(); })) break;
  }
  s.quitRequested = false;
  --s.loopDepth;
}

void QuitMessageLoop() { State().quitRequested = true; }

int MessageBox(Window* owner, std::string_view text, std::string_view caption, unsigned style) {
  FakeState& s = State();
  s.boxes.push_back({owner != nullptr, std::string(text), std::string(caption), style});
  if (s.answers.empty()) return DefaultAnswer(style);
  int answer = s.answers.front();
  s.answers.pop_front();
  return answer;
}

namespace detail {
void QueueOnUiThread(std::function<void()> work) {
  FakeState& s = State();
  std::lock_guard lock(s.postedMutex);
  s.posted.push_back(std::move(work));
  s.postedArrived.notify_all();
}
}  // namespace detail

namespace fake {

void Reset() {
  FakeState& s = State();
  s.platformAvailable = true;
  s.boxes.clear();
  s.answers.clear();
  s.loopDepth = 0;
  s.loopTimeout = std::chrono::milliseconds(10000);
  s.quitRequested = false;
  std::lock_guard lock(s.postedMutex);
  s.posted.clear();
}

void SetPlatformAvailable(bool available) { State().platformAvailable = available; }

void SetMessageLoopTimeout(std::chrono::milliseconds timeout) { State().loopTimeout = timeout; }

const std::vector<MessageBoxCall>& MessageBoxes() { return State().boxes; }

void QueueMessageBoxAnswer(int answer) { State().answers.push_back(answer); }

int RunOnePostedWork() {
  FakeState& s = State();
  std::function<void()> work;
  {
    std::lock_guard lock(s.postedMutex);
    if (s.posted.empty()) return 0;
    work = std::move(s.posted.front());
    s.posted.pop_front();
  }
  work();
  return 1;
}

int RunPostedWork() {
  int count = 0;
  while (RunOnePostedWork() != 0) ++count;
  return count;
}

std::size_t PendingPostedWork() {
  FakeState& s = State();
  std::lock_guard lock(s.postedMutex);
  return s.posted.size();
}

}  // namespace fake
}  // namespace ui
