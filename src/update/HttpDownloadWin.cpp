// The transfer through WinINet. The client's own time-outs bound the connection and each wait
// for data; a watch thread beside the transfer adds what the client has no option for (the
// cancel flag, a body that trickles, a stall spread over many small reads) and ends a blocked
// call by closing its handle, which the client documents as the way to cancel one. Redirects
// are followed here, one at a time, so that each target is judged before it is asked for.
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

#include "base/Text.h"
#include "base/WinText.h"
#include "update/HttpDownload.h"
#include "update/UpdatePlatform.h"
#include "update/UpdateRules.h"

namespace launcher {
namespace {

using Clock = std::chrono::steady_clock;
const auto Narrow = WideToUtf8;
const auto Widen = Utf8ToWide;

// The reads handed to the client at a time: large enough that a fast link is not held up by
// calls, small enough that nothing like a whole body is ever in memory.
constexpr DWORD kReadChunk = 64 * 1024;
// Redirects followed before the transfer counts as a loop.
constexpr int kMaxRedirects = 20;
// How often the watch looks at the transfer.
constexpr std::chrono::milliseconds kWatchTick{50};
// No cached answer is taken, none is stored, and a proxy is told the same.
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_AUTO_REDIRECT |
                                INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI;
constexpr wchar_t kRequestHeaders[] = L"Cache-Control: no-cache\r\nPragma: no-cache\r\n";

const std::string& UserAgent() {
  static const std::string agent = ApplicationName(ExecutableFileName());
  return agent;
}

bool IsSuccessStatus(DWORD status) { return status >= 200 && status <= 299; }

bool IsRedirectStatus(DWORD status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// "http" or "https" for the URLs a transfer may ask for, empty for any other.
std::string SchemeOf(const std::string& url) {
  if (StartsWithNoCase(url, "https://")) {
    return "https";
  }
  if (StartsWithNoCase(url, "http://")) {
    return "http";
  }
  return {};
}

// Whether a redirect from url may be followed to target: by the same rule as every platform's
// transfer, applied at each step of a chain.
bool RedirectAllowed(const std::string& url, const std::string& target) {
  const std::string scheme = SchemeOf(target);
  if (scheme.empty()) {
    return false;
  }
  std::string_view allowed = RedirectProtocolsFor(url);
  while (!allowed.empty()) {
    std::size_t comma = allowed.find(',');
    if (allowed.substr(0, comma) == scheme) {
      return true;
    }
    allowed = comma == std::string_view::npos ? std::string_view() : allowed.substr(comma + 1);
  }
  return false;
}

// The client's error in words.
std::string ClientError(DWORD code) {
  wchar_t* text = nullptr;
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM |
                                    FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
                                GetModuleHandleW(L"wininet.dll"), code, 0,
                                reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string words;
  if (length > 0 && text) {
    words = Narrow(std::wstring_view(text, length));
    while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == ' ' ||
                              words.back() == '.')) {
      words.pop_back();
    }
  }
  if (text) {
    LocalFree(text);
  }
  if (words.empty()) {
    // Errors of the sockets beneath, which not every system words for the client.
    words = code == WSAETIMEDOUT ? "timed out" : "transfer error";
  }
  return words + " (error " + std::to_string(code) + ")";
}

// A header of the answer as text; empty when it is not there.
std::string HeaderText(HINTERNET request, DWORD query) {
  std::wstring value(256, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    DWORD bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (HttpQueryInfoW(request, query, value.data(), &bytes, nullptr)) {
      value.resize(bytes / sizeof(wchar_t));
      return Narrow(value);
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
      break;
    }
    value.assign(bytes / sizeof(wchar_t) + 1, L'\0');
  }
  return {};
}

// A decimal header value; false when the header is missing or not a plain number.
bool HeaderNumber(HINTERNET request, DWORD query, std::uint64_t* number) {
  const std::string text = HeaderText(request, query);
  if (text.empty() || text.size() > 19) {
    return false;
  }
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') {
      return false;
    }
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  *number = value;
  return true;
}

// Where a redirect leads, resolved against the URL that answered with it; empty when it cannot
// be resolved.
std::string ResolveLocation(const std::string& url, const std::string& location) {
  const std::wstring base = Widen(url);
  const std::wstring relative = Widen(location);
  DWORD length = 0;
  InternetCombineUrlW(base.c_str(), relative.c_str(), nullptr, &length, ICU_NO_ENCODE);
  if (length == 0) {
    return {};
  }
  std::wstring combined(length + 1, L'\0');
  length = static_cast<DWORD>(combined.size());
  if (!InternetCombineUrlW(base.c_str(), relative.c_str(), combined.data(), &length,
                           ICU_NO_ENCODE)) {
    return {};
  }
  combined.resize(length);
  return Narrow(combined);
}

DWORD Milliseconds(std::chrono::milliseconds duration) {
  return static_cast<DWORD>(std::clamp<long long>(duration.count(), 1, 0x7FFFFFFF));
}

// The watch beside one transfer. It holds the client's handles that a blocked call may be
// waiting on; the transfer and the watch close them only through it, under its lock, so that
// neither closes a handle twice.
class TransferWatch {
 public:
  enum class Reason { kNone, kCancelled, kStalled, kTooSlow };

  TransferWatch(const HttpTimeouts& timeouts, const std::atomic<bool>* cancel)
      : timeouts_(timeouts), cancel_(cancel) {}
  TransferWatch(const TransferWatch&) = delete;
  TransferWatch& operator=(const TransferWatch&) = delete;
  ~TransferWatch() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) {
      thread_.join();
    }
    CloseRequest();
    if (session_) {
      InternetCloseHandle(session_);
    }
  }

  void Start(HINTERNET session) {
    session_ = session;
    thread_ = std::thread([this] { Run(); });
  }

  // A request is being sent: the answer has the connection's time and a stall's to come.
  void AwaitAnswer() {
    std::lock_guard<std::mutex> lock(mutex_);
    inBody_ = false;
    phaseStart_ = Clock::now();
  }

  // A request and its connection, kept for the watch until CloseRequest; false when the watch
  // has ended the transfer meanwhile (both are then closed).
  bool TakeRequest(HINTERNET connection, HINTERNET request) {
    std::lock_guard<std::mutex> lock(mutex_);
    connection_ = connection;
    request_ = request;
    if (reason_ != Reason::kNone) {
      CloseRequestLocked();
      return false;
    }
    return true;
  }

  void CloseRequest() {
    std::lock_guard<std::mutex> lock(mutex_);
    CloseRequestLocked();
  }

  // The body starts: from here it must keep coming.
  void BodyStarts() {
    std::lock_guard<std::mutex> lock(mutex_);
    inBody_ = true;
    lastProgress_ = Clock::now();
    sampleStart_ = lastProgress_;
    sampleBytes_ = 0;
    slowSince_.reset();
  }

  void Received(std::size_t bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    lastProgress_ = Clock::now();
    sampleBytes_ += bytes;
  }

  Reason Ended() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return reason_;
  }

 private:
  void Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_ && reason_ == Reason::kNone) {
      wake_.wait_for(lock, kWatchTick);
      if (stopping_) {
        break;
      }
      reason_ = Judge(Clock::now());
      if (reason_ != Reason::kNone) {
        // A call blocked on the handle returns with an error once it is closed.
        if (request_ || connection_) {
          CloseRequestLocked();
        } else if (session_) {
          InternetCloseHandle(session_);
          session_ = nullptr;
        }
      }
    }
  }

  void CloseRequestLocked() {
    for (HINTERNET* handle : {&request_, &connection_}) {
      if (*handle) {
        InternetCloseHandle(*handle);
        *handle = nullptr;
      }
    }
  }

  // Under the lock.
  Reason Judge(Clock::time_point now) {
    if (cancel_ && cancel_->load()) {
      return Reason::kCancelled;
    }
    if (!inBody_) {
      // The client bounds the connection and the wait for the answer itself; this is the
      // backstop for a client that does not.
      return now - phaseStart_ > timeouts_.connect + timeouts_.stall ? Reason::kStalled
                                                                     : Reason::kNone;
    }
    if (now - lastProgress_ > timeouts_.stall) {
      return Reason::kStalled;
    }
    // The speed over each second of the body; too low for lowSpeedTime in a row fails.
    const auto elapsed = now - sampleStart_;
    if (elapsed >= std::chrono::seconds(1)) {
      const double seconds = std::chrono::duration<double>(elapsed).count();
      const bool slow = static_cast<double>(sampleBytes_) <
                        seconds * static_cast<double>(timeouts_.lowSpeedBytesPerSecond);
      if (!slow) {
        slowSince_.reset();
      } else if (!slowSince_) {
        slowSince_ = sampleStart_;
      }
      sampleStart_ = now;
      sampleBytes_ = 0;
    }
    if (slowSince_ && now - *slowSince_ >= timeouts_.lowSpeedTime) {
      return Reason::kTooSlow;
    }
    return Reason::kNone;
  }

  const HttpTimeouts timeouts_;
  const std::atomic<bool>* cancel_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::thread thread_;
  HINTERNET session_ = nullptr;
  HINTERNET connection_ = nullptr;
  HINTERNET request_ = nullptr;
  bool stopping_ = false;
  Reason reason_ = Reason::kNone;
  bool inBody_ = false;
  Clock::time_point phaseStart_ = Clock::now();
  Clock::time_point lastProgress_ = Clock::now();
  Clock::time_point sampleStart_ = Clock::now();
  std::uint64_t sampleBytes_ = 0;
  std::optional<Clock::time_point> slowSince_;
};

// The client's own limits: for the connection, and for each wait while sending and receiving.
void SetClientTimeouts(HINTERNET handle, const HttpTimeouts& timeouts) {
  DWORD connect = Milliseconds(timeouts.connect);
  DWORD stall = Milliseconds(timeouts.stall);
  InternetSetOptionW(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
  InternetSetOptionW(handle, INTERNET_OPTION_SEND_TIMEOUT, &stall, sizeof stall);
  InternetSetOptionW(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &stall, sizeof stall);
}

// A GET request for url, not sent yet, handed to the watch. The request carries the time-outs
// itself: clients differ in whether a request takes them over from its session.
bool OpenRequest(HINTERNET session, const std::string& url, const HttpTimeouts& timeouts,
                 TransferWatch* watch, HINTERNET* request) {
  const std::wstring wide = Widen(url);
  URL_COMPONENTSW parts{};
  parts.dwStructSize = sizeof parts;
  parts.dwHostNameLength = 1;  // pointers into wide, not copies
  parts.dwUrlPathLength = 1;
  parts.dwExtraInfoLength = 1;
  if (!InternetCrackUrlW(wide.c_str(), 0, 0, &parts) || parts.dwHostNameLength == 0) {
    SetLastError(ERROR_INTERNET_INVALID_URL);
    return false;
  }
  const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
  std::wstring object;
  if (parts.lpszUrlPath) {
    object.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
  }
  if (parts.lpszExtraInfo) {
    object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  }
  if (object.empty()) {
    object = L"/";
  }
  HINTERNET connection = InternetConnectW(session, host.c_str(), parts.nPort, nullptr, nullptr,
                                          INTERNET_SERVICE_HTTP, 0, 0);
  if (!connection) {
    return false;
  }
  const DWORD flags =
      kRequestFlags | (parts.nScheme == INTERNET_SCHEME_HTTPS ? INTERNET_FLAG_SECURE : 0);
  *request =
      HttpOpenRequestW(connection, L"GET", object.c_str(), nullptr, nullptr, nullptr, flags, 0);
  const DWORD error = GetLastError();
  if (!watch->TakeRequest(connection, *request)) {
    SetLastError(ERROR_INTERNET_OPERATION_CANCELLED);
    return false;
  }
  if (!*request) {
    SetLastError(error);
    return false;
  }
  SetClientTimeouts(*request, timeouts);
  return true;
}

}  // namespace

void CHttpDownload::InitGlobal() {
  // The client keeps no process-wide state to set up.
}

bool CHttpDownload::Transfer(bool* created) {
  if (Cancelled()) {
    lastError_ = "cancelled";
    return false;
  }
  // A file of that name is an earlier run's; deleting it takes away a link planted there too.
  RemoveFile(targetPath_);
  if (!file_.Create(targetPath_)) {
    lastError_ = "cannot create the target file";
    return false;
  }
  *created = true;

  HINTERNET session =
      InternetOpenW(Widen(UserAgent()).c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (!session) {
    lastError_ = "no transfer handle: " + ClientError(GetLastError());
    return false;
  }
  SetClientTimeouts(session, timeouts_);
  TransferWatch watch(timeouts_, cancel_);
  watch.Start(session);

  // What the watch ended, in words; empty when it ended nothing.
  auto watchError = [&]() -> std::string {
    switch (watch.Ended()) {
      case TransferWatch::Reason::kCancelled:
        return "cancelled";
      case TransferWatch::Reason::kStalled:
        return "no progress for " + std::to_string(timeouts_.stall.count()) + " ms";
      case TransferWatch::Reason::kTooSlow:
        return "slower than " + std::to_string(timeouts_.lowSpeedBytesPerSecond) +
               " bytes a second for " + std::to_string(timeouts_.lowSpeedTime.count()) + " s";
      case TransferWatch::Reason::kNone:
        break;
    }
    return {};
  };
  auto fail = [&](std::string words) {
    std::string ended = watchError();
    lastError_ = ended.empty() ? std::move(words) : std::move(ended);
    return false;
  };

  std::string url = url_;
  HINTERNET request = nullptr;
  for (int redirects = 0;; ++redirects) {
    if (SchemeOf(url).empty()) {
      return fail("not an http or https URL");
    }
    watch.AwaitAnswer();
    if (!OpenRequest(session, url, timeouts_, &watch, &request)) {
      return fail(ClientError(GetLastError()));
    }
    if (!HttpSendRequestW(request, kRequestHeaders, static_cast<DWORD>(-1), nullptr, 0)) {
      return fail(ClientError(GetLastError()));
    }
    std::uint64_t status = 0;
    if (!HeaderNumber(request, HTTP_QUERY_STATUS_CODE, &status)) {
      return fail("no status in the answer");
    }
    if (IsRedirectStatus(static_cast<DWORD>(status))) {
      const std::string location = HeaderText(request, HTTP_QUERY_LOCATION);
      if (location.empty()) {
        return fail("status " + std::to_string(status));
      }
      if (redirects >= kMaxRedirects) {
        return fail("more than " + std::to_string(kMaxRedirects) + " redirects");
      }
      const std::string target = ResolveLocation(url, location);
      if (!RedirectAllowed(url, target)) {
        return fail("redirect from " + SchemeOf(url) + " to " + target + " refused");
      }
      watch.CloseRequest();
      url = target;
      continue;
    }
    if (!IsSuccessStatus(static_cast<DWORD>(status))) {
      return fail("status " + std::to_string(status));
    }
    break;
  }

  // No encoding is asked for, so none is decoded: an encoded body is never taken for the file.
  const std::string encoding = HeaderText(request, HTTP_QUERY_CONTENT_ENCODING);
  if (!encoding.empty() && !StartsWithNoCase(encoding, "identity")) {
    return fail("body in the content encoding " + encoding);
  }
  std::uint64_t announced = 0;
  const bool hasLength = HeaderNumber(request, HTTP_QUERY_CONTENT_LENGTH, &announced);
  if (hasLength && limits_.maxBytes != 0 && announced > limits_.maxBytes) {
    return fail("body longer than " + std::to_string(limits_.maxBytes) + " bytes");
  }

  watch.BodyStarts();
  std::vector<char> buffer(kReadChunk);
  std::uint64_t received = 0;
  for (;;) {
    if (Cancelled()) {
      return fail("cancelled");
    }
    // A read waits until it has all it asked for, so it asks for what has arrived: the wait is
    // for the first byte of it, bounded by the stall time-out.
    DWORD available = 0;
    if (!InternetQueryDataAvailable(request, &available, 0, 0)) {
      return fail(ClientError(GetLastError()));
    }
    DWORD read = 0;
    if (available > 0 &&
        !InternetReadFile(request, buffer.data(), std::min(available, kReadChunk), &read)) {
      return fail(ClientError(GetLastError()));
    }
    if (read == 0) {
      break;
    }
    watch.Received(read);
    if (limits_.maxBytes != 0 && read > limits_.maxBytes - received) {
      return fail("body longer than " + std::to_string(limits_.maxBytes) + " bytes");
    }
    if (!file_.Write(buffer.data(), read)) {
      return fail("cannot write the target file");
    }
    received += read;
    if (!watchError().empty()) {
      return fail({});
    }
  }
  if (!watchError().empty()) {
    return fail({});
  }
  if (hasLength && announced != received) {
    return fail("body of " + std::to_string(received) + " bytes, announced " +
                std::to_string(announced));
  }
  if (received == 0 && !limits_.allowEmpty) {
    return fail("empty body");
  }
  return true;
}

}  // namespace launcher
