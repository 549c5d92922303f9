// Test control of the fake backend: what the code asked of the platform, and the answers and
// events a test hands in. Single-threaded except where noted.
#pragma once

#include <chrono>
#include <deque>
#include <string>
#include <vector>

namespace ui::fake {

// One message box the code showed. Texts are as the code passed them (GBK).
struct MessageBoxCall {
  bool hasOwner = false;
  std::string text;
  std::string caption;
  unsigned style = 0;
};

// Forgets everything recorded and queued, and makes the platform start again.
void Reset();

// Whether InitPlatform succeeds (default true).
void SetPlatformAvailable(bool available);

// RunMessageLoop ends by itself when no posted work arrives for this long (default 10 s).
void SetMessageLoopTimeout(std::chrono::milliseconds timeout);

const std::vector<MessageBoxCall>& MessageBoxes();

// Answers for the next message boxes, in order; a box with no queued answer gets the default
// button's answer.
void QueueMessageBoxAnswer(int answer);

// Runs work queued by PostMessage from any thread; returns how many ran.
int RunPostedWork();
// Runs the oldest queued work, if any; returns 1 when one ran.
int RunOnePostedWork();

// Any thread: how much posted work waits.
std::size_t PendingPostedWork();

}  // namespace ui::fake
