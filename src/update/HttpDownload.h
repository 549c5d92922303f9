// One HTTP transfer of one URL into one local file (libcurl on Linux, WinINet on Windows).
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

#include "update/UpdatePlatform.h"

namespace launcher {

// How long a transfer may wait. Both as the platform clients have them; tests shorten them.
struct HttpTimeouts {
  // For the connection to be made (per address tried by the client).
  std::chrono::milliseconds connect{60000};
  // For any progress: a transfer that receives nothing at all (no header, no body byte) for
  // this long fails, also while it waits for the answer.
  std::chrono::milliseconds stall{60000};
  // A body that keeps coming slower than this many bytes a second, for lowSpeedTime, fails:
  // a trickling server cannot keep the worker for ever.
  long lowSpeedBytesPerSecond = 1024;
  std::chrono::seconds lowSpeedTime{60};
};

// The protocols a transfer of url may be redirected to: an "https://" address is never taken
// to plain HTTP, where anyone on the way could answer in the server's name.
const char* RedirectProtocolsFor(const std::string& url);

// What a transfer accepts as a body.
struct HttpBodyLimits {
  // A body longer than this fails the transfer; no byte beyond it is written. 0: no bound.
  std::uint64_t maxBytes = 0;
  // Whether an empty body counts as success.
  bool allowEmpty = true;
};

// Worker thread only; one object per transfer. GET, always from the server (caches are told
// not to answer), redirects followed (never from https to http), the application's name as
// user agent, the proxy the system names (the usual environment variables on Linux, the system's
// settings on Windows), certificates of "https://" URLs checked against the system's. A body
// sent with a content encoding is decoded (an encoding the client does not know fails; the
// Windows client asks for none and decodes none). Success needs a status of 200..299 and the whole
// body: fewer bytes than the announced length, a broken connection, a time-out, a cancellation or a
// write error fail, and a failed transfer never leaves its target file behind.
class CHttpDownload {
 public:
  CHttpDownload() = default;
  CHttpDownload(const CHttpDownload&) = delete;
  CHttpDownload& operator=(const CHttpDownload&) = delete;

  // Sets up the HTTP client's process-wide state once. Called on the UI thread before the worker
  // starts, while no other thread can be setting up the libraries the client shares; a download
  // calls it too, for callers that did not.
  static void InitGlobal();

  void SetUrlAndTarget(std::string url, std::string targetPath);
  void SetTimeouts(const HttpTimeouts& timeouts) { timeouts_ = timeouts; }
  void SetBodyLimits(const HttpBodyLimits& limits) { limits_ = limits; }
  // A transfer fails soon after *flag becomes true (any thread may set it). Null: never.
  void SetCancelFlag(const std::atomic<bool>* flag) { cancel_ = flag; }

  // Creates the target as a new file (removing a file of that name first; a symbolic link there
  // is removed, never followed) and fills it with the body. Once a transfer of this object has
  // succeeded, returns true at once without another.
  bool Download();
  // After a successful Download: the target, still open and marked in use until the object
  // goes or the caller closes it.
  NewFile& File() { return file_; }

  bool IsCompleted() const { return completed_; }
  // What went wrong in the last failed Download, in words, for diagnosis only.
  const std::string& LastError() const { return lastError_; }

 private:
  // *created tells whether the target file was made (and so is to be removed on failure).
  bool Transfer(bool* created);
  bool Cancelled() const { return cancel_ && cancel_->load(); }

  std::string url_;
  std::string targetPath_;
  bool completed_ = false;
  HttpTimeouts timeouts_;
  HttpBodyLimits limits_;
  const std::atomic<bool>* cancel_ = nullptr;
  NewFile file_;
  std::string lastError_;
};

}  // namespace launcher
