#include "update/HttpDownload.h"

#include <curl/curl.h>

#include <cstdio>
#include <memory>
#include <mutex>

#include "update/UpdatePlatform.h"
#include "update/UpdateRules.h"

namespace launcher {
namespace {

using Clock = std::chrono::steady_clock;

struct CurlEasyDeleter {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct CurlListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// The reads the client hands over at a time; large enough that a fast link is not held up by
// calls, small enough that nothing like a whole body is ever in memory.
constexpr long kReceiveBuffer = 128L * 1024;
// Redirects followed before the transfer counts as a loop.
constexpr long kMaxRedirects = 20;

const std::string& UserAgent() {
  static const std::string agent = ApplicationName(ExecutableFileName());
  return agent;
}

// What the callbacks share with the transfer; lives on the worker's stack for one Transfer.
struct Progress {
  CURL* curl = nullptr;
  NewFile* file = nullptr;
  const std::atomic<bool>* cancel = nullptr;
  std::uint64_t maxBytes = 0;
  std::uint64_t received = 0;
  Clock::duration stall{};
  Clock::time_point lastProgress = Clock::now();
  bool statusRejected = false;
  bool tooLarge = false;
  bool writeFailed = false;
  bool stalled = false;
  bool cancelled = false;
};

bool IsSuccessStatus(long status) { return status >= 200 && status <= 299; }

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto* p = static_cast<Progress*>(user);
  const std::size_t length = size * count;
  p->lastProgress = Clock::now();
  // Only the final answer's body arrives here (redirect bodies are skipped), so an error page is
  // refused before a byte of it reaches the file.
  long status = 0;
  curl_easy_getinfo(p->curl, CURLINFO_RESPONSE_CODE, &status);
  if (!IsSuccessStatus(status)) {
    p->statusRejected = true;
    return 0;
  }
  if (p->maxBytes != 0 && length > p->maxBytes - p->received) {
    p->tooLarge = true;
    return 0;
  }
  if (!p->file->Write(data, length)) {
    p->writeFailed = true;
    return 0;
  }
  p->received += length;
  return length;
}

std::size_t OnHeader(char* /*data*/, std::size_t size, std::size_t count, void* user) {
  static_cast<Progress*>(user)->lastProgress = Clock::now();
  return size * count;
}

// Called after each connection is made, before its request goes out: the wait for the
// connection has its own limit, the stall clock starts here.
int OnConnected(void* user, char* /*remoteIp*/, char* /*localIp*/, int /*remotePort*/,
                int /*localPort*/) {
  static_cast<Progress*>(user)->lastProgress = Clock::now();
  return CURL_PREREQFUNC_OK;
}

// Called about once a second while nothing arrives, and more often while data flows.
int OnTick(void* user, curl_off_t /*dlTotal*/, curl_off_t /*dlNow*/, curl_off_t /*ulTotal*/,
           curl_off_t /*ulNow*/) {
  auto* p = static_cast<Progress*>(user);
  if (p->cancel && p->cancel->load()) {
    p->cancelled = true;
    return 1;
  }
  if (Clock::now() - p->lastProgress > p->stall) {
    p->stalled = true;
    return 1;
  }
  return 0;
}

}  // namespace

void CHttpDownload::InitGlobal() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool CHttpDownload::Transfer(bool* created) {
  InitGlobal();
  std::unique_ptr<CURL, CurlEasyDeleter> curl(curl_easy_init());
  if (!curl) {
    lastError_ = "no transfer handle";
    return false;
  }
  if (Cancelled()) {
    lastError_ = "cancelled";
    return false;
  }
  // A file of that name is an earlier run's; removing it takes away a link planted there too.
  std::remove(targetPath_.c_str());
  if (!file_.Create(targetPath_)) {
    lastError_ = "cannot create the target file";
    return false;
  }
  *created = true;

  curl_slist* rawHeaders = curl_slist_append(nullptr, "Cache-Control: no-cache");
  std::unique_ptr<curl_slist, CurlListDeleter> headers(rawHeaders);
  if (rawHeaders) {
    // Appending to a list that exists returns that list (or null, leaving it as it was).
    curl_slist_append(rawHeaders, "Pragma: no-cache");
  }

  Progress progress;
  progress.curl = curl.get();
  progress.file = &file_;
  progress.cancel = cancel_;
  progress.maxBytes = limits_.maxBytes;
  progress.stall = timeouts_.stall;

  char errorText[CURL_ERROR_SIZE] = {};
  CURL* c = curl.get();
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorText);
  curl_easy_setopt(c, CURLOPT_URL, url_.c_str());
  curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, RedirectProtocolsFor(url_));
  curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(c, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(c, CURLOPT_USERAGENT, UserAgent().c_str());
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
  // The worker is one thread among others: no signals for time-outs.
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeouts_.connect.count()));
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, timeouts_.lowSpeedBytesPerSecond);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, static_cast<long>(timeouts_.lowSpeedTime.count()));
  // Every encoding the client knows is offered and decoded; one it does not know fails the
  // transfer. An encoded body is never taken for the file itself.
  curl_easy_setopt(c, CURLOPT_ACCEPT_ENCODING, "");
  curl_easy_setopt(c, CURLOPT_BUFFERSIZE, kReceiveBuffer);
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &progress);
  curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, OnHeader);
  curl_easy_setopt(c, CURLOPT_HEADERDATA, &progress);
  curl_easy_setopt(c, CURLOPT_PREREQFUNCTION, OnConnected);
  curl_easy_setopt(c, CURLOPT_PREREQDATA, &progress);
  curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, OnTick);
  curl_easy_setopt(c, CURLOPT_XFERINFODATA, &progress);
  curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);

  CURLcode result = curl_easy_perform(c);
  long status = 0;
  curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
  curl_off_t announced = -1;
  curl_easy_getinfo(c, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
  // The body's bytes as sent, before any decoding: what the announced length counts.
  curl_off_t sent = 0;
  curl_easy_getinfo(c, CURLINFO_SIZE_DOWNLOAD_T, &sent);

  if (progress.statusRejected || (result == CURLE_OK && !IsSuccessStatus(status))) {
    lastError_ = "status " + std::to_string(status);
  } else if (progress.tooLarge) {
    lastError_ = "body longer than " + std::to_string(limits_.maxBytes) + " bytes";
  } else if (progress.writeFailed) {
    lastError_ = "cannot write the target file";
  } else if (progress.cancelled || Cancelled()) {
    lastError_ = "cancelled";
  } else if (progress.stalled) {
    lastError_ = "no progress for " + std::to_string(timeouts_.stall.count()) + " ms";
  } else if (result != CURLE_OK) {
    lastError_ = errorText[0] ? errorText : curl_easy_strerror(result);
  } else if (announced >= 0 && announced != sent) {
    lastError_ =
        "body of " + std::to_string(sent) + " bytes, announced " + std::to_string(announced);
  } else if (progress.received == 0 && !limits_.allowEmpty) {
    lastError_ = "empty body";
  } else {
    return true;
  }
  return false;
}

}  // namespace launcher
